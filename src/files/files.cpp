// Whole-file reads that never wait on a special file, and atomic writes.
#include "files/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

long plain_write(int fd, const void *data, std::size_t size) { return long(::write(fd, data, size)); }

std::string system_word(int error) { return std::strerror(error); }

// What a file that is not a regular file is, for the message.
std::string kind_of(mode_t mode) {
    if (S_ISDIR(mode)) return "It is a folder, not a file.";
    if (S_ISFIFO(mode)) return "It is a named pipe (FIFO), not a file.";
    if (S_ISSOCK(mode)) return "It is a socket, not a file.";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "It is a device, not a file.";
    return "It is not a regular file.";
}

file_read failed(read_failure why, std::string reason) { return {why, std::move(reason)}; }

// Closes a descriptor when it goes out of scope.
struct closer {
    int fd;
    ~closer() {
        if (fd >= 0) ::close(fd);
    }
};

// The folder part of path ("." when it has none), and the file name.
void split(const std::string &path, std::string &folder, std::string &name) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

// A path that may be written: named, and not something other than a regular file.
bool may_write(const std::string &path, std::string &reason) {
    if (path.empty()) {
        reason = "No file name was given.";
        return false;
    }
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        reason = kind_of(st.st_mode);
        return false;
    }
    return true;
}

// Makes a rename or link in the folder itself durable.
void sync_folder(const std::string &folder) {
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// The temporary file of path: ".NAME" then our mark and six characters
// mkstemp fills in, in path's folder.
constexpr const char temporary_mark[] = ".brenvik-";
constexpr int temporary_letters = 6;
std::string temporary_pattern(const std::string &folder, const std::string &name) {
    return folder + "/." + name + temporary_mark + std::string(temporary_letters, 'X');
}

bool letter_or_digit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Whether a file name has the form of our temporary files.
bool temporary_name(const std::string &name) {
    const std::size_t mark = name.rfind(temporary_mark);
    if (name.size() < 2 || name[0] != '.' || mark == std::string::npos || mark < 2) return false;
    if (name.size() - mark - (sizeof temporary_mark - 1) != std::size_t(temporary_letters)) return false;
    return std::all_of(name.end() - temporary_letters, name.end(), letter_or_digit);
}

// A temporary file of ours is removed at once when a write fails; one is
// left only when the program was killed in the middle of a write. Such files
// in the folder, regular, ours and older than leftover_age, go before the
// next write there.
void remove_leftovers(const std::string &folder) {
    DIR *dir = ::opendir(folder.c_str());
    if (!dir) return;
    const std::time_t now = std::time(nullptr);
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!temporary_name(name)) continue;
        const std::string path = folder + "/" + name;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (now - st.st_mtime >= leftover_age) ::unlink(path.c_str());
    }
    ::closedir(dir);
}

}  // namespace

long (*atomic_write_chunk)(int fd, const void *data, std::size_t size) = plain_write;

file_read read_whole_file(const std::string &path, std::size_t limit, std::vector<uint8_t> &data) {
    if (path.empty()) return failed(read_failure::cannot_open, "No file name was given.");
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return failed(read_failure::cannot_open, system_word(errno));
    if (!S_ISREG(st.st_mode)) return failed(read_failure::not_regular, kind_of(st.st_mode));
    if (std::size_t(st.st_size) > limit)
        return failed(read_failure::too_large, "It is larger than " + std::to_string(limit) + " bytes.");

    closer file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) return failed(read_failure::cannot_open, system_word(errno));
    // The name may have been replaced between the two looks: check what was opened.
    if (::fstat(file.fd, &st) != 0) return failed(read_failure::read_error, system_word(errno));
    if (!S_ISREG(st.st_mode)) return failed(read_failure::not_regular, kind_of(st.st_mode));

    // Read one byte past the limit, so a file that grew meanwhile is noticed.
    std::vector<uint8_t> bytes(std::min<std::size_t>(std::size_t(st.st_size), limit) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() > limit)
                return failed(read_failure::too_large, "It is larger than " + std::to_string(limit) + " bytes.");
            bytes.resize(std::min(limit + 1, bytes.size() * 2));
        }
        ssize_t n = ::read(file.fd, bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return failed(read_failure::read_error, system_word(errno));
        }
        if (n == 0) break;
        got += std::size_t(n);
    }
    bytes.resize(got);
    data.swap(bytes);
    return {read_failure::none, {}};
}

bool write_file_atomically(const std::string &path, const void *data, std::size_t size, std::string &reason) {
    if (!may_write(path, reason)) return false;
    std::string folder, name;
    split(path, folder, name);
    remove_leftovers(folder);
    std::string temporary = temporary_pattern(folder, name);
    std::vector<char> pattern(temporary.begin(), temporary.end());
    pattern.push_back('\0');
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        reason = system_word(errno);
        return false;
    }
    temporary = pattern.data();

    auto give_up = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        reason = system_word(error);
        return false;
    };
    // mkstemp makes the file readable by its owner only; a saved file gets
    // the usual permissions, as any new file would.
    mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0) return give_up(errno);
    const uint8_t *p = static_cast<const uint8_t *>(data);
    std::size_t left = size;
    while (left > 0) {
        long n = atomic_write_chunk(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return give_up(n < 0 ? errno : ENOSPC);
        p += n;
        left -= std::size_t(n);
    }
    if (::fsync(fd) != 0) return give_up(errno);
    if (::close(fd) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        reason = system_word(error);
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        reason = system_word(error);
        return false;
    }
    // Make the rename itself durable.
    sync_folder(folder);
    return true;
}

namespace {

// The temporary file of a path writer: made in the folder with the usual
// permissions, filled by the writer, then synced. On failure nothing is left.
bool write_temporary(const std::string &folder, const std::string &name, const path_writer &write,
                     std::string &temporary, std::string &reason) {
    remove_leftovers(folder);
    std::string pattern_text = temporary_pattern(folder, name);
    std::vector<char> pattern(pattern_text.begin(), pattern_text.end());
    pattern.push_back('\0');
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        reason = system_word(errno);
        return false;
    }
    temporary = pattern.data();
    mode_t mask = ::umask(0);
    ::umask(mask);
    const bool made = ::fchmod(fd, 0666 & ~mask) == 0;
    const int error = errno;
    ::close(fd);
    auto give_up = [&](const std::string &why) {
        ::unlink(temporary.c_str());
        reason = why;
        return false;
    };
    if (!made) return give_up(system_word(error));
    if (!write(temporary)) return give_up("The file could not be written.");
    const int again = ::open(temporary.c_str(), O_RDWR | O_CLOEXEC);
    if (again < 0) return give_up(system_word(errno));
    const bool synced = ::fsync(again) == 0;
    const int sync_error = errno;
    if (::close(again) != 0 || !synced) return give_up(system_word(synced ? errno : sync_error));
    return true;
}

}  // namespace

bool write_path_atomically(const std::string &path, const path_writer &write, std::string &reason) {
    if (!may_write(path, reason)) return false;
    std::string folder, name, temporary;
    split(path, folder, name);
    if (!write_temporary(folder, name, write, temporary, reason)) return false;
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        reason = system_word(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    sync_folder(folder);
    return true;
}

bool write_new_file_atomically(const std::string &folder, const std::function<std::string(int)> &name,
                               const path_writer &write, std::string &chosen, std::string &reason) {
    std::string temporary;
    if (!write_temporary(folder, name(1), write, temporary, reason)) return false;
    // link(2) gives the file its name only when nothing has that name yet.
    bool linked = false;
    for (int k = 1; k <= new_file_limit && !linked; ++k) {
        chosen = name(k);
        const std::string path = folder + "/" + chosen;
        linked = ::link(temporary.c_str(), path.c_str()) == 0;
        if (!linked && errno != EEXIST) {
            reason = system_word(errno);
            break;
        }
        if (!linked && k == new_file_limit) reason = "Every name is taken.";
    }
    ::unlink(temporary.c_str());
    if (!linked) return false;
    sync_folder(folder);
    return true;
}

std::string lowercase_extension(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    for (char &c : ext) c = char(std::tolower(uint8_t(c)));
    return ext;
}
