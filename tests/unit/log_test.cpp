#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

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


// A log that cannot be written is said once on standard error, and the
// program goes on without it.
TEST(LogFailure, AnUnwritableLogIsSaidOnce) {
    char pattern[] = "/tmp/brenvik-logfail-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    ASSERT_EQ(mkdir((dir + "/Logfile.txt").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0644), 0);
    ASSERT_EQ(mkdir((dir + "/ro").c_str(), 0555), 0);
    const struct {
        const char *what;
        std::string path;
        const char *says;
        bool needs_user;  // root writes into a read-only folder all the same
    } rows[] = {
        {"a folder of that name", dir + "/Logfile.txt", "it is a folder", false},
        {"a named pipe, not waited on", dir + "/pipe", "it is not a regular file", false},
        {"a read-only folder", dir + "/ro/Logfile.txt", "Permission denied", true},
    };
    for (const auto &r : rows) {
        if (r.needs_user && geteuid() == 0) {
            std::printf("skipped: %s (running as root)\n", r.what);
            continue;
        }
        testing::internal::CaptureStderr();
        EXPECT_EQ(open_log(r.path.c_str()), -1) << r.what;
        EXPECT_EQ(write_to_log("Setup."), -1) << r.what;
        EXPECT_EQ(write_to_log("more"), -1) << r.what;
        close_log();
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("cannot write the log " + r.path + ": " + r.says + "; running without it."),
                  std::string::npos)
            << said;
        EXPECT_EQ(said.find('\n'), said.size() - 1) << r.what << ": said more than once: " << said;
    }
    EXPECT_EQ(std::system(("chmod -R u+rwx '" + dir + "'; rm -rf '" + dir + "'").c_str()), 0);
}

// The disk fills up after the log was opened (a file size limit stands in
// for it): the first failed line is said, once, and the program runs on.
TEST_F(LogFile, ADiskThatFillsUpIsSaidOnce) {
    ASSERT_EQ(open_log(path.c_str()), 0);
    EXPECT_EQ(write_to_log("Setup."), 6);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 256;  // the captured standard error is held to it too
    void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_to_log("%s", std::string(400, 'x').c_str()), -1);
    EXPECT_EQ(write_to_log("more"), -1);
    std::string said = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_NE(said.find("cannot write the log " + path + ": File too large; running without it."), std::string::npos)
        << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << "said more than once: " << said;
    EXPECT_EQ(slurp(path).rfind("Setup.\n", 0), 0u);  // what was written stays
}

}  // namespace

// A file name's control bytes never reach the terminal as they are.
TEST(Log, PrintableEscapesControlBytes) {
    const struct {
        std::string text, shown;
    } cases[] = {
        {"plain/name.tap\n\nreason", "plain/name.tap\n\nreason"},
        {"a\x1b[31mred.tap", "a\\x1B[31mred.tap"},
        {"bell\a del\x7f tab\t", "bell\\x07 del\\x7F tab\\x09"},
        {"c1 \xc2\x9b csi, \xc3\xa9t\xc3\xa9", "c1 \\xC2\\x9B csi, \xc3\xa9t\xc3\xa9"},
    };
    for (const auto &c : cases) EXPECT_EQ(printable(c.text), c.shown) << c.shown;
}
