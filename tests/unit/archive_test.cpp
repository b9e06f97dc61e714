// Archives made by Info-ZIP's zip and by gzip around a tape (zmakebas) and a
// snapshot: what comes out is what went in, a damaged archive is refused as
// one, and an archive without a program says so.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "files/files.h"
#include "z80/z80.h"

namespace {

using bytes = std::vector<uint8_t>;

std::string scratch_dir() {
    static std::string dir;
    if (dir.empty()) {
        char name[] = "/tmp/brenvik_archive_XXXXXX";
        dir = mkdtemp(name) ? name : "/tmp";
    }
    return dir;
}

bool have(const char *program) { return access(program, X_OK) == 0; }

void write(const std::string &name, const bytes &data) {
    std::string reason;
    ASSERT_TRUE(write_file_atomically(scratch_dir() + "/" + name, data.data(), data.size(), reason)) << reason;
}

bytes read(const std::string &name) {
    bytes data;
    read_whole_file(scratch_dir() + "/" + name, 1 << 24, data);
    return data;
}

// Runs a command in the scratch folder.
void run(const std::string &command) {
    ASSERT_EQ(std::system(("cd " + scratch_dir() + " && " + command).c_str()), 0) << command;
}

// A tape of a BASIC program and a snapshot of the machine just started.
struct programs {
    bytes tap, z80;
};
programs make_programs() {
    programs p;
    bytes listing;
    for (char c : std::string("10 PRINT \"IN A ZIP\"\n")) listing.push_back(uint8_t(c));
    write("prog.bas", listing);
    run(std::string(ZMAKEBAS_PROGRAM) + " -a 10 -n zipped -o prog.tap prog.bas");
    p.tap = read("prog.tap");
    initz80();
    p.z80 = savez80_bytes();
    write("snap.z80", p.z80);
    write("readme.txt", listing);
    return p;
}

TEST(Archive, MembersComeOutAsTheyWentIn) {
    if (!have(ZIP_PROGRAM) || !have(GZIP_PROGRAM) || !have(ZMAKEBAS_PROGRAM)) GTEST_SKIP() << "zip, gzip or zmakebas missing";
    const programs p = make_programs();
    run(std::string(ZIP_PROGRAM) + " -q both.zip prog.tap snap.z80 readme.txt");
    run(std::string(GZIP_PROGRAM) + " -kf prog.tap snap.z80");
    std::vector<archive_member> m;
    const archive_result zipped = open_archive(scratch_dir() + "/both.zip", m);
    ASSERT_TRUE(zipped.ok) << zipped.caption << ": " << zipped.text;
    ASSERT_EQ(m.size(), 2u);  // the text is left out
    EXPECT_EQ(m[0].name, "prog.tap");
    EXPECT_EQ(m[0].kind, program_kind::tape);
    EXPECT_EQ(m[0].bytes, p.tap);
    EXPECT_EQ(m[1].name, "snap.z80");
    EXPECT_EQ(m[1].kind, program_kind::z80);
    EXPECT_EQ(m[1].bytes, p.z80);
    for (const auto &[file, kind, original] :
         {std::tuple{"prog.tap.gz", program_kind::tape, &p.tap}, std::tuple{"snap.z80.gz", program_kind::z80, &p.z80}}) {
        const archive_result gz = open_archive(scratch_dir() + "/" + file, m);
        ASSERT_TRUE(gz.ok) << gz.caption << ": " << gz.text;
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0].name + ".gz", file);
        EXPECT_EQ(m[0].kind, kind);
        EXPECT_EQ(m[0].bytes, *original);
    }
}

TEST(Archive, DamagedOrEmptyArchivesAreRefusedAndChangeNothing) {
    if (!have(ZIP_PROGRAM) || !have(GZIP_PROGRAM) || !have(ZMAKEBAS_PROGRAM)) GTEST_SKIP() << "zip, gzip or zmakebas missing";
    const programs p = make_programs();
    run(std::string(ZIP_PROGRAM) + " -q one.zip prog.tap");
    run(std::string(ZIP_PROGRAM) + " -q text.zip readme.txt");
    run(std::string(GZIP_PROGRAM) + " -kf prog.tap");
    const bytes zip = read("one.zip"), gz = read("prog.tap.gz");
    ASSERT_FALSE(zip.empty());
    ASSERT_FALSE(gz.empty());
    // The tape's data lies after the zip's 30-byte local header, its name and
    // its extra field.
    bytes flipped = zip;
    flipped[30 + (zip[26] | zip[27] << 8) + (zip[28] | zip[29] << 8) + 4] ^= 0x55;
    bytes gz_flipped = gz;
    gz_flipped[gz.size() - 12] ^= 0x55;
    struct refusal {
        const char *name;
        bytes data;
        bool gz;
        const char *caption;
    };
    const refusal cases[] = {
        {"zip data flipped", flipped, false, "Damaged Archive"},
        {"zip cut short", bytes(zip.begin(), zip.begin() + long(zip.size() / 2)), false, "Damaged Archive"},
        {"not a zip", p.tap, false, "Damaged Archive"},
        {"zip of a text", read("text.zip"), false, "Nothing to Load"},
        {"gz data flipped", gz_flipped, true, "Damaged Archive"},
        {"gz cut short", bytes(gz.begin(), gz.end() - 6), true, "Damaged Archive"},
        {"gz with bytes after it", [&] { bytes b = gz; b.push_back(0); return b; }(), true, "Damaged Archive"},
    };
    for (const refusal &c : cases) {
        std::vector<archive_member> m(1, archive_member{"kept.sna", program_kind::sna, {1, 2}});
        const archive_result r = read_archive(c.data.data(), c.data.size(), "prog.tap.gz", c.gz, m);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_EQ(r.caption, c.caption) << c.name << ": " << r.text;
        ASSERT_EQ(m.size(), 1u) << c.name;
        EXPECT_EQ(m[0].name, "kept.sna") << c.name;
    }
    std::vector<archive_member> m;
    EXPECT_EQ(open_archive(scratch_dir() + "/missing.zip", m).caption, "Not Found");
}

}  // namespace
