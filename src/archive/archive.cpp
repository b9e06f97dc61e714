// The .zip reader (libzip over the bytes in memory) and the .gz reader
// (zlib's inflate with the gzip wrapper, which checks each member's CRC and
// length). Whatever the library reports, our limits hold: no member larger
// than any snapshot or tape, and no more unpacked in all than a collection
// of tapes could hold, counted as the bytes come out, not as the archive's
// directory claims.
#include "archive/archive.h"

#include <zip.h>
#include <zlib.h>

#include <memory>

#include "files/files.h"
#include "tape/tape.h"

namespace {

constexpr const char *caption_not_found = "Not Found";
constexpr const char *caption_unreadable = "Cannot Read Archive";
constexpr const char *caption_damaged = "Damaged Archive";
constexpr const char *caption_unsupported = "Unsupported Archive";
constexpr const char *caption_empty = "Nothing to Load";

constexpr std::size_t archive_limit = 64u << 20;  // the archive file
constexpr std::size_t member_limit = 16u << 20;   // one snapshot or tape, unpacked
constexpr std::size_t total_limit = 64u << 20;    // all of them together
constexpr std::size_t member_count_limit = 4096;

archive_result refused(const std::string &name, const char *caption, const std::string &reason) {
    return {false, caption, name + "\n\n" + reason};
}

std::string too_large_text(std::size_t limit) {
    return "A file inside the archive unpacks to more than " + std::to_string(limit >> 20) +
           " MB, far larger than any snapshot or tape.";
}

// ---- .gz ----

archive_result read_gz(const uint8_t *data, std::size_t size, const std::string &name,
                       std::vector<archive_member> &out) {
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return refused(name, caption_unreadable, "zlib cannot start.");
    std::unique_ptr<z_stream, int (*)(z_stream *)> guard(&z, inflateEnd);
    std::vector<uint8_t> bytes;
    std::size_t at = 0;
    uint8_t chunk[1 << 15];
    // A .gz may be several gzip members one after another; they unpack to
    // one file.
    for (;;) {
        z.next_in = const_cast<uint8_t *>(data + at);
        z.avail_in = uInt(std::min<std::size_t>(size - at, 1u << 30));
        int r = Z_OK;
        while (r != Z_STREAM_END) {
            z.next_out = chunk;
            z.avail_out = sizeof chunk;
            r = inflate(&z, Z_NO_FLUSH);
            if (r == Z_NEED_DICT || r == Z_DATA_ERROR || r == Z_MEM_ERROR || r == Z_STREAM_ERROR ||
                (r == Z_BUF_ERROR && z.avail_in == 0))
                return refused(name, caption_damaged,
                               r == Z_BUF_ERROR ? "The gzip file ends before its data does."
                                                : std::string("The gzip data is damaged: ") +
                                                      (z.msg ? z.msg : "it cannot be unpacked") + ".");
            const std::size_t got = sizeof chunk - z.avail_out;
            if (bytes.size() + got > member_limit) return refused(name, caption_unsupported, too_large_text(member_limit));
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        at = std::size_t(z.next_in - data);
        if (at == size) break;
        if (size - at < 2 || data[at] != 0x1F || data[at + 1] != 0x8B)
            return refused(name, caption_damaged, "The gzip file has bytes after its end.");
        inflateReset(&z);
    }
    // The member is the archive's own name without ".gz".
    std::string inner = name;
    const std::size_t slash = inner.find_last_of('/');
    if (slash != std::string::npos) inner = inner.substr(slash + 1);
    if (lowercase_extension(inner) == "gz") inner.resize(inner.size() - 3);
    const program_kind kind = program_kind_of(inner, bytes.data(), bytes.size());
    if (kind == program_kind::none)
        return refused(name, caption_empty,
                       "The gzip file holds \"" + inner + "\", which is not a snapshot (.sna, .z80) or a tape.");
    out.clear();
    out.push_back({inner, kind, std::move(bytes)});
    return {true, "", ""};
}

// ---- .zip ----

std::string zip_reason(zip_error_t *e) { return zip_error_strerror(e); }

archive_result read_zip(const uint8_t *data, std::size_t size, const std::string &name,
                        std::vector<archive_member> &out) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(data, size, 0, &error);
    if (!source) {
        const archive_result r = refused(name, caption_unreadable, "libzip: " + zip_reason(&error) + ".");
        zip_error_fini(&error);
        return r;
    }
    zip_t *zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!zip) {
        zip_source_free(source);
        const archive_result r =
            refused(name, caption_damaged, "It is not a zip archive libzip can read: " + zip_reason(&error) + ".");
        zip_error_fini(&error);
        return r;
    }
    zip_error_fini(&error);
    std::unique_ptr<zip_t, int (*)(zip_t *)> guard(zip, zip_close);
    std::vector<archive_member> members;
    std::size_t total = 0;
    const zip_int64_t entries = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        zip_stat_t st;
        if (zip_stat_index(zip, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            return refused(name, caption_damaged, "Entry " + std::to_string(i + 1) + " of the zip cannot be read.");
        const std::string inner = st.name;
        if (inner.empty() || inner.back() == '/') continue;  // a folder
        // Told by the name, or for a name without an extension by the first
        // bytes; anything else (a text, a picture) is left packed.
        const std::string ext = lowercase_extension(inner);
        if (!ext.empty() && ext != "sna" && ext != "z80" && !is_tape_name(inner)) continue;
        if (members.size() >= member_count_limit)
            return refused(name, caption_unsupported,
                           "The zip holds more than " + std::to_string(member_count_limit) + " snapshots and tapes.");
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            return refused(name, caption_unsupported, "\"" + inner + "\" is encrypted.");
        zip_file_t *f = zip_fopen_index(zip, zip_uint64_t(i), 0);
        if (!f)
            return refused(name, caption_unsupported,
                           "\"" + inner + "\" cannot be unpacked: " + zip_strerror(zip) + ".");
        std::vector<uint8_t> bytes;
        uint8_t chunk[1 << 15];
        zip_int64_t got = 0;
        std::string damage;
        while ((got = zip_fread(f, chunk, sizeof chunk)) > 0) {
            if (bytes.size() + std::size_t(got) > member_limit) {
                zip_fclose(f);
                return refused(name, caption_unsupported, too_large_text(member_limit));
            }
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        if (got < 0) damage = zip_file_strerror(f);
        zip_fclose(f);
        if (damage.empty() && (st.valid & ZIP_STAT_SIZE) && st.size != bytes.size())
            damage = "its size is not the one the zip gives";
        if (!damage.empty()) return refused(name, caption_damaged, "\"" + inner + "\" is damaged: " + damage + ".");
        const program_kind kind = program_kind_of(inner, bytes.data(), bytes.size());
        if (kind == program_kind::none) continue;
        total += bytes.size();
        if (total > total_limit)
            return refused(name, caption_unsupported,
                           "The snapshots and tapes in the zip unpack to more than " +
                               std::to_string(total_limit >> 20) + " MB together.");
        members.push_back({inner, kind, std::move(bytes)});
    }
    if (members.empty())
        return refused(name, caption_empty, "The zip holds no snapshot (.sna, .z80) or tape.");
    out = std::move(members);
    return {true, "", ""};
}

}  // namespace

program_kind program_kind_of(const std::string &name, const uint8_t *data, std::size_t size) {
    const std::string ext = lowercase_extension(name);
    if (ext == "sna") return program_kind::sna;
    if (ext == "z80") return program_kind::z80;
    if (is_tape_name(name)) return program_kind::tape;
    return has_tape_signature(data, size) ? program_kind::tape : program_kind::none;
}

bool is_archive_name(const std::string &path) {
    const std::string ext = lowercase_extension(path);
    return ext == "zip" || ext == "gz";
}

archive_result read_archive(const uint8_t *data, std::size_t size, const std::string &name, bool gz,
                            std::vector<archive_member> &out) {
    return gz ? read_gz(data, size, name, out) : read_zip(data, size, name, out);
}

archive_result open_archive(const std::string &path, std::vector<archive_member> &out) {
    std::vector<uint8_t> data;
    const file_read got = read_whole_file(path, archive_limit, data);
    switch (got.failure) {
    case read_failure::none: break;
    case read_failure::cannot_open: return {false, caption_not_found, path + "\n\n" + got.reason};
    case read_failure::too_large:
        return refused(path, caption_unsupported,
                       "The archive is larger than " + std::to_string(archive_limit >> 20) + " MB.");
    default: return refused(path, caption_unreadable, "The file cannot be read: " + got.reason);
    }
    return read_archive(data.data(), data.size(), path, lowercase_extension(path) == "gz", out);
}

std::string member_title(const std::string &archive, const archive_member &member) {
    return archive + " (" + member.name + ")";
}
