// The diagnostic log: one line per event, each flushed at once so that the
// file is complete even if the program dies right after writing it.
#include "log/log.h"

#include <cstdarg>
#include <cstdio>

namespace {
std::FILE *logfile = nullptr;
}

int open_log(const char *path) {
    // A second open replaces the first stream rather than leaking it.
    if (logfile) std::fclose(logfile);
    logfile = std::fopen(path, "w");
    return logfile ? 0 : -1;
}

int write_to_log(const char *format, ...) {
    if (!logfile) return -1;
    std::va_list args;
    va_start(args, format);
    int written = std::vfprintf(logfile, format, args);
    va_end(args);
    std::fputc('\n', logfile);
    std::fflush(logfile);
    return written;
}

int close_log() {
    if (logfile) {
        std::fflush(logfile);
        std::fclose(logfile);
        logfile = nullptr;
    }
    return -1;
}
