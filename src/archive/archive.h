// Archives: .zip and .gz files around snapshots and tapes, as programs are
// downloaded. The archive is read whole and unpacked into memory by libzip
// or zlib; the snapshots and tapes inside it are then handed to their own
// loaders as bytes, so an archive or a member refused changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What a file holds, told by its name's extension (any letter case), or for
// a name without a snapshot's or tape's extension by the tape signatures.
enum class program_kind { none, sna, z80, tape };
program_kind program_kind_of(const std::string &name, const uint8_t *data, std::size_t size);

// One snapshot or tape unpacked from an archive: its name inside the archive
// (for a .gz, the archive's own file name without ".gz") and its bytes.
struct archive_member {
    std::string name;
    program_kind kind;
    std::vector<uint8_t> bytes;
};

struct archive_result {
    bool ok;
    std::string caption;  // message box caption when !ok ("Damaged Archive" for a broken one)
    std::string text;     // message box text when !ok
};

// True when the extension names an archive: .zip or .gz, any letter case.
bool is_archive_name(const std::string &path);

// Reads the archive at path whole and unpacks every snapshot and tape in
// it, in the archive's order, into out (written only when ok). An archive
// that holds none is refused too, with the caption "Nothing to Load".
archive_result open_archive(const std::string &path, std::vector<archive_member> &out);
// The same over an archive already in memory; gz picks the gzip reader over
// the zip reader, and name stands for the file in messages and gives a
// .gz's member its name.
archive_result read_archive(const uint8_t *data, std::size_t size, const std::string &name, bool gz,
                            std::vector<archive_member> &out);

// How a member is named in messages and the deck: "game.zip (manic.tap)".
std::string member_title(const std::string &archive, const archive_member &member);
