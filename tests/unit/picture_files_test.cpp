// Files written through a path writer (a library that opens the file by
// name), screenshots' names that never replace a file, and the power-saving
// wait.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "files/files.h"
#include "picture/picture.h"
#include "screen/screen.h"
#include "ula/ula.h"

namespace {

class Folder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/brenvik-picture.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        for (const std::string &name : names()) std::remove((dir + "/" + name).c_str());
        rmdir(dir.c_str());
    }
    void put(const std::string &name, const std::string &text) { std::ofstream(dir + "/" + name) << text; }
    std::string read(const std::string &name) {
        std::ifstream in(dir + "/" + name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::set<std::string> names() {
        std::set<std::string> all;
        if (DIR *d = opendir(dir.c_str())) {
            while (dirent *e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") all.insert(e->d_name);
            closedir(d);
        }
        return all;
    }
    std::string dir;
};

std::string numbered(int k) { return "shot-" + std::to_string(k) + ".png"; }

path_writer writes(const std::string &text) {
    return [text](const std::string &path) { return bool(std::ofstream(path) << text); };
}
const path_writer fails = [](const std::string &path) {
    std::ofstream(path) << "half";  // a library that gives up half way
    return false;
};

TEST_F(Folder, NewFilesTakeTheFirstFreeNameAndReplaceNothing) {
    const struct {
        const char *what;
        std::set<std::string> before;
        const char *chosen;
    } cases[] = {
        {"an empty folder", {}, "shot-1.png"},
        {"after two", {"shot-1.png", "shot-2.png"}, "shot-3.png"},
        {"a gap is filled", {"shot-1.png", "shot-3.png"}, "shot-2.png"},
    };
    for (const auto &c : cases) {
        TearDown();
        SetUp();
        for (const std::string &name : c.before) put(name, "earlier " + name);
        std::string chosen, reason;
        ASSERT_TRUE(write_new_file_atomically(dir, numbered, writes("new"), chosen, reason)) << c.what << reason;
        EXPECT_EQ(chosen, c.chosen) << c.what;
        EXPECT_EQ(read(chosen), "new") << c.what;
        for (const std::string &name : c.before) EXPECT_EQ(read(name), "earlier " + name) << c.what;
        std::set<std::string> want = c.before;
        want.insert(c.chosen);
        EXPECT_EQ(names(), want) << c.what << ": no temporary file is left";
    }
}

TEST_F(Folder, AFailedWriterLeavesNothingAndNoFileChanged) {
    put("shot-1.png", "earlier");
    put("kept.png", "earlier");
    std::string chosen, reason;
    EXPECT_FALSE(write_new_file_atomically(dir, numbered, fails, chosen, reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(write_path_atomically(dir + "/kept.png", fails, reason));
    EXPECT_EQ(read("kept.png"), "earlier");
    EXPECT_EQ(names(), (std::set<std::string>{"shot-1.png", "kept.png"}));
    EXPECT_FALSE(write_path_atomically(dir, writes("x"), reason)) << "a folder is not replaced";
}

TEST_F(Folder, APathWriterReplacesTheFileWhole) {
    put("out.png", "earlier and longer");
    std::string reason;
    ASSERT_TRUE(write_path_atomically(dir + "/out.png", writes("new"), reason)) << reason;
    EXPECT_EQ(read("out.png"), "new");
    EXPECT_EQ(names(), std::set<std::string>{"out.png"});
}

// ---- The power-saving wait ----

double waited_ms(int32_t frames_owed) {
    const auto start = std::chrono::steady_clock::now();
    power_idle(frames_owed);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

TEST(PowerSaving, WaitsForTheNextTickOnlyWhenThereIsNothingToDo) {
    display.use_dsquares = 1;
    clear_dsquares();
    power_saving = 0;
    EXPECT_LT(waited_ms(0), 50.0) << "off: no wait";
    power_saving = 1;
    EXPECT_LT(waited_ms(1), 50.0) << "a frame owed: no wait";
    dsquare[100] = 1;
    EXPECT_LT(waited_ms(0), 50.0) << "a cell to redraw: no wait";
    clear_dsquares();
    EXPECT_GE(waited_ms(0), 90.0) << "no tick: the wait ends only at its limit";
    // Ticks that came while the pass ran are counted in frames_owed already:
    // a tick posted before the wait does not end it.
    power_tick();
    EXPECT_GE(waited_ms(0), 90.0);
    std::thread timer([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        power_tick();
    });
    const double ms = waited_ms(0);
    timer.join();
    EXPECT_GE(ms, 15.0);
    EXPECT_LT(ms, 80.0) << "the tick ends the wait";
    display.use_dsquares = 0;
    dsquare[100] = 1;
    EXPECT_GE(waited_ms(0), 90.0) << "whole-picture mode: the piled-up marks do not count";
    power_saving = 0;
    display.use_dsquares = 1;
    clear_dsquares();
}

}  // namespace
