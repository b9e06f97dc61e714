// The diagnostic log, "Logfile.txt": one flushed line per event.
#pragma once

int open_log(const char *path);
int write_to_log(const char *format, ...) __attribute__((format(printf, 1, 2)));
int close_log();
