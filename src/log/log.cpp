// The diagnostic log: one line per event, each flushed at once so that the
// file is complete even if the program dies right after writing it.
//
// A log that cannot be written (a read-only folder, a folder or pipe of that
// name, a full disk) is said once on standard error; the program runs on
// without it.
#include "log/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
std::FILE *logfile = nullptr;
std::string log_path;

void give_up(const char *reason) {
    std::fprintf(stderr, "brenvik: cannot write the log %s: %s; running without it.\n", log_path.c_str(), reason);
    if (logfile) std::fclose(logfile);
    logfile = nullptr;
}
}  // namespace

int open_log(const char *path) {
    // A second open replaces the first stream rather than leaking it.
    if (logfile) std::fclose(logfile);
    logfile = nullptr;
    log_path = path;
    // Only a regular file is written; a named pipe would wait for a reader.
    struct stat st;
    if (::stat(path, &st) == 0 && !S_ISREG(st.st_mode)) {
        give_up(S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file");
        return -1;
    }
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd >= 0) logfile = ::fdopen(fd, "w");
    if (!logfile) {
        int error = errno;
        if (fd >= 0) ::close(fd);
        give_up(std::strerror(error));
        return -1;
    }
    return 0;
}

int write_to_log(const char *format, ...) {
    if (!logfile) return -1;
    std::va_list args;
    va_start(args, format);
    int written = std::vfprintf(logfile, format, args);
    va_end(args);
    std::fputc('\n', logfile);
    if (std::fflush(logfile) != 0 || written < 0) {
        give_up(std::strerror(errno));
        return -1;
    }
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

std::string printable(const std::string &text) {
    std::string out;
    auto escaped = [&](uint8_t c) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += hex;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = uint8_t(text[i]);
        const auto next = i + 1 < text.size() ? uint8_t(text[i + 1]) : 0;
        if ((c < 0x20 && c != '\n') || c == 0x7F) {
            escaped(c);
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {  // a C1 control in UTF-8
            escaped(c);
            escaped(next);
            ++i;
        } else {
            out += char(c);
        }
    }
    return out;
}

void report_on_stderr(const std::string &caption, const std::string &text) {
    std::fprintf(stderr, "brenvik: %s: %s\n", printable(caption).c_str(), printable(text).c_str());
}
