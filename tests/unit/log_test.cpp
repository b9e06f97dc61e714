#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "log/log.h"

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

class LogFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/brenvik-log-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        path = dir + "/Logfile.txt";
    }
    void TearDown() override {
        close_log();
        std::remove(path.c_str());
        rmdir(dir.c_str());
    }
    std::string dir, path;
};

TEST_F(LogFile, EachLineIsOnDiskAsSoonAsItIsWritten) {
    ASSERT_EQ(open_log(path.c_str()), 0);
    EXPECT_EQ(write_to_log("Setup."), 6);
    // Flushed at once: another reader sees the line before the log is closed.
    EXPECT_EQ(slurp(path), "Setup.\n");
    EXPECT_EQ(write_to_log("trying to set screen: %d x %d", 1280, 1024), 33);
    EXPECT_EQ(slurp(path), "Setup.\ntrying to set screen: 1280 x 1024\n");
    EXPECT_EQ(close_log(), -1);
    EXPECT_EQ(slurp(path), "Setup.\ntrying to set screen: 1280 x 1024\n");
}

TEST_F(LogFile, ASecondRunReplacesThePreviousLog) {
    ASSERT_EQ(open_log(path.c_str()), 0);
    write_to_log("trying to set window size: %d x %d", 512, 384);
    write_to_log("an old line");
    close_log();
    ASSERT_EQ(open_log(path.c_str()), 0);
    write_to_log("Setup.");
    EXPECT_EQ(slurp(path), "Setup.\n");
}

TEST_F(LogFile, WithoutAnOpenLogNothingIsWritten) {
    EXPECT_EQ(write_to_log("Setup."), -1);
    EXPECT_FALSE(exists(path));
    EXPECT_EQ(close_log(), -1);
}

TEST_F(LogFile, AfterCloseWritesAreRefused) {
    ASSERT_EQ(open_log(path.c_str()), 0);
    write_to_log("Setup.");
    close_log();
    EXPECT_EQ(write_to_log("late"), -1);
    EXPECT_EQ(slurp(path), "Setup.\n");
    EXPECT_EQ(close_log(), -1);  // closing twice is harmless
}

TEST_F(LogFile, AnUnopenableLogLeavesTheProgramWithoutOne) {
    EXPECT_EQ(open_log((dir + "/no/such/dir/Logfile.txt").c_str()), -1);
    EXPECT_EQ(write_to_log("Setup."), -1);
}

TEST_F(LogFile, ReopeningWritesToTheNewFileOnly) {
    const std::string other = dir + "/other.txt";
    ASSERT_EQ(open_log(other.c_str()), 0);
    write_to_log("first");
    ASSERT_EQ(open_log(path.c_str()), 0);
    write_to_log("second");
    close_log();
    EXPECT_EQ(slurp(other), "first\n");
    EXPECT_EQ(slurp(path), "second\n");
    std::remove(other.c_str());
}

}  // namespace
