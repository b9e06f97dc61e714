// The diagnostic log, "Logfile.txt": one flushed line per event.
#pragma once

#include <string>

int open_log(const char *path);
int write_to_log(const char *format, ...) __attribute__((format(printf, 1, 2)));
int close_log();

// text with its control bytes (C0, DEL and C1, but not the newline) written
// as \xNN, so a file name cannot steer the terminal it is printed on.
std::string printable(const std::string &text);
// "brenvik: caption: text" on standard error, made printable.
void report_on_stderr(const std::string &caption, const std::string &text);
