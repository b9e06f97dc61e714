// Whole files in and out, safely.
//
// Every file the program reads is read whole into memory by read_whole_file
// before any of it is used, so a reader can check it all before it changes
// anything. Every file the program writes goes through write_file_atomically:
// an existing file is either replaced whole or left exactly as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class read_failure {
    none,         // the file was read whole
    cannot_open,  // it does not exist, or may not be opened (reason: the system's word)
    not_regular,  // a folder, FIFO, socket or device: refused without waiting on it
    too_large,    // larger than the reader's limit: refused without being read
    read_error,   // it opened but reading failed (reason: the system's word)
};

struct file_read {
    read_failure failure;
    std::string reason;  // empty when failure is none; otherwise one sentence, no path
};

// Reads all of the regular file at path, at most limit bytes, into data.
// Never blocks: the path is checked with stat and opened with O_NONBLOCK, so
// a FIFO or device is refused at once. data is changed only on success.
file_read read_whole_file(const std::string &path, std::size_t limit, std::vector<uint8_t> &data);

// The extension of path's file name (after its last dot) in small letters,
// or empty when the name has none.
std::string lowercase_extension(const std::string &path);

// The temporary files are named ".NAME.brenvik-" and six letters or digits.
// One is left behind only when the program is killed in the middle of a
// write; each write removes those of the folder it writes into that are ours
// (regular, of our user) and at least leftover_age seconds old.
constexpr long leftover_age = 5 * 60;

// Writes size bytes to path atomically: a temporary file in path's folder is
// written, flushed and synced, then renamed over path. Returns false with the
// reason (the system's word) when anything fails; the old file at path is
// then untouched and no temporary file is left behind.
bool write_file_atomically(const std::string &path, const void *data, std::size_t size, std::string &reason);

// Writes a file through a writer that opens it by name itself (a library's
// save function), as atomically: the writer fills a temporary file in the
// folder, which is synced and renamed over path. The writer returns false
// when it failed; nothing is left behind then and path is untouched.
using path_writer = std::function<bool(const std::string &temporary)>;
bool write_path_atomically(const std::string &path, const path_writer &write, std::string &reason);

// Writes a new file in folder that never replaces one: the temporary file is
// linked to the first of name(1), name(2), ... up to new_file_limit that does
// not exist yet (link(2) refuses a name that exists, even one made by another
// program in between). The name given is put in chosen.
constexpr int new_file_limit = 99999;
bool write_new_file_atomically(const std::string &folder, const std::function<std::string(int)> &name,
                               const path_writer &write, std::string &chosen, std::string &reason);

// The temporary-file step write_file_atomically uses; tests replace the
// write with one that fails (a full disk) to see that nothing is left.
extern long (*atomic_write_chunk)(int fd, const void *data, std::size_t size);
