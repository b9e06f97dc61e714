// The temporary files a killed write leaves behind: the next write into the
// folder removes those that are ours and old, and nothing else.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "files/files.h"

namespace {

bool exists(const std::string &path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

void make_file(const std::string &path, long age_seconds) {
    std::ofstream(path) << "left";
    const time_t then = std::time(nullptr) - age_seconds;
    const timeval times[2] = {{then, 0}, {then, 0}};
    ::utimes(path.c_str(), times);
}

}  // namespace

TEST(AtomicWriteLeftovers, NextWriteRemovesOnlyOurOldTemporaryFiles) {
    char name[] = "/tmp/brenvik_leftovers_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const std::string dir = name;
    struct entry {
        const char *name;
        long age;
        bool removed;
    };
    const entry entries[] = {
        {".game.z80.brenvik-Ab12Yz", leftover_age + 60, true},
        {".shot.png.brenvik-000000", leftover_age * 10, true},
        {".game.z80.brenvik-Cd34Xw", 30, false},            // a write in progress now
        {".profile.backup", leftover_age * 10, false},      // not our pattern
        {".game.z80.brenvik-Ab12", leftover_age * 10, false},   // too short
        {".game.z80.brenvik-Ab1_Yz", leftover_age * 10, false}, // not mkstemp's letters
        {"game.z80.brenvik-Ab12Yz", leftover_age * 10, false},  // not hidden
    };
    for (const entry &e : entries) make_file(dir + "/" + e.name, e.age);
    // A folder of the same form is not a file of ours.
    ASSERT_EQ(::mkdir((dir + "/.old.z80.brenvik-Qq11Qq").c_str(), 0755), 0);

    std::string reason;
    ASSERT_TRUE(write_file_atomically(dir + "/new.z80", "x", 1, reason)) << reason;
    for (const entry &e : entries) EXPECT_EQ(!exists(dir + "/" + e.name), e.removed) << e.name;
    EXPECT_TRUE(exists(dir + "/.old.z80.brenvik-Qq11Qq"));

    // The writer that fills a temporary file by name cleans up the same way.
    make_file(dir + "/" + entries[0].name, leftover_age + 60);
    ASSERT_TRUE(write_path_atomically(
        dir + "/other.png", [](const std::string &temporary) { return bool(std::ofstream(temporary) << "y"); },
        reason))
        << reason;
    EXPECT_FALSE(exists(dir + "/" + entries[0].name));
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}
