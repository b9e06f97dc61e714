// Fuzz target for the archives (FUZZ_GZ picks the gzip reader, else the zip
// reader): archive bytes to members, and each member to its loader.
//
// Any input must be taken or refused. A refused archive must say why and
// leave the list of members as it was; a taken one holds only snapshots and
// tapes within the limits, and each is handed to its loader, which takes or
// refuses it as for a file of its own.
#include <cstdint>
#include <cstdlib>

#include "archive/archive.h"
#include "tape/tape.h"
#include "z80/z80.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    initz80();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    std::vector<archive_member> members(1, archive_member{"sentinel.tap", program_kind::tape, {1, 2, 3}});
#if FUZZ_GZ
    const archive_result result = read_archive(data, size, "fuzz.tap.gz", true, members);
#else
    const archive_result result = read_archive(data, size, "fuzz.zip", false, members);
#endif
    if (!result.ok) {
        if (result.caption.empty() || result.text.empty() || members.size() != 1 || members[0].name != "sentinel.tap")
            std::abort();  // a refusal without its message, or one that changed the members
        return 0;
    }
    if (members.empty()) std::abort();  // an archive taken with nothing in it
    for (const archive_member &m : members) {
        if (m.kind == program_kind::none || m.bytes.size() > (16u << 20)) std::abort();
        const std::string name = member_title("fuzz", m);
        bool loaded = false;
        std::string caption;
        if (m.kind == program_kind::tape) {
            const tape_result r = insert_named_tape(m.bytes.data(), m.bytes.size(), name, m.name);
            loaded = r.ok;
            caption = r.caption;
        } else {
            const snapshot_result r = m.kind == program_kind::z80 ? openz80_bytes(m.bytes.data(), m.bytes.size(), name)
                                                                  : opensna_bytes(m.bytes.data(), m.bytes.size(), name);
            loaded = r.ok;
            caption = r.caption;
        }
        if (!loaded && caption.empty()) std::abort();  // a member refused without a message
    }
    return 0;
}
