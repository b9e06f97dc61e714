// Files written through a path writer (a library that opens the file by
// name), screenshots' names that never replace a file, and the power-saving
// wait.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

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

// Counts the waits a pass makes instead of timing them.
int waits = 0;
bool counted_wait(long) {
    ++waits;
    return true;
}

TEST(PowerSaving, WaitsForTheNextTickOnlyWhenThereIsNothingToDo) {
    struct idle_case {
        const char *what;
        int32_t saving, owed, whole_picture, marked;
        int waits;
    };
    const idle_case cases[] = {
        {"off: no wait", 0, 0, 0, 0, 0},
        {"a frame owed: no wait", 1, 1, 0, 0, 0},
        {"a cell to redraw: no wait", 1, 0, 0, 1, 0},
        {"nothing to do: one wait", 1, 0, 0, 0, 1},
        {"whole-picture mode: the piled-up marks do not count", 1, 0, 1, 1, 1},
    };
    wait_for_tick = counted_wait;
    for (const idle_case &c : cases) {
        SCOPED_TRACE(c.what);
        power_saving = c.saving;
        display.use_dsquares = !c.whole_picture;
        clear_dsquares();
        dsquare[100] = uint8_t(c.marked);
        waits = 0;
        power_idle(c.owed);
        EXPECT_EQ(waits, c.waits);
    }
    wait_for_tick = tick_wait;
    power_saving = 0;
    display.use_dsquares = 1;
    clear_dsquares();
}

TEST(PowerSaving, OnlyATickPostedAfterTheWaitBeginsEndsIt) {
    power_saving = 1;
    power_tick();
    EXPECT_TRUE(tick_wait(0)) << "a posted tick is there to take";
    // Ticks that came while the pass ran are counted in the frames owed
    // already: they are dropped before the wait, which then finds none.
    power_tick();
    power_tick();
    drop_ticks();
    EXPECT_FALSE(tick_wait(1'000'000));
    power_saving = 0;
    paused = 1;
    power_tick();
    EXPECT_TRUE(tick_wait(0)) << "the paused machine waits for ticks too";
    paused = 0;
    power_tick();
    EXPECT_FALSE(tick_wait(0)) << "neither paused nor saving: the timer posts nothing";
}

}  // namespace
