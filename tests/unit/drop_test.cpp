// The file a drop names: the first URI of the text/uri-list a drag source
// sends, as a local path, or the reason it cannot be loaded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/drop.h"

namespace {

struct uri_case {
    std::string list;
    std::string path;  // empty: refused
    std::string why;   // the start of the reason for a refusal
};

const std::vector<uri_case> cases = {
    // What file managers send: one URI per line, CR LF after each.
    {"file:///home/me/games/manic.z80\r\n", "/home/me/games/manic.z80", ""},
    {"file:///a.sna", "/a.sna", ""},
    {"file:///a.sna\nfile:///b.tap\n", "/a.sna", ""},
    {"# dragged from somewhere\r\n\r\nfile:///a.tzx\r\n", "/a.tzx", ""},
    {"FILE:///A.SNA\r\n", "/A.SNA", ""},
    // Escapes: spaces, the escape itself, bytes of UTF-8 names, either case of hex.
    {"file:///my%20games/Jet%20Set%20Willy.tap", "/my games/Jet Set Willy.tap", ""},
    {"file:///100%25.z80", "/100%.z80", ""},
    {"file:///sp%C3%A9cial/%c3%a9.sna", "/sp\xC3\xA9" "cial/\xC3\xA9.sna", ""},
    // This machine by name, by localhost or in the short form.
    {"file://localhost/tmp/x.sna", "/tmp/x.sna", ""},
    {"file://spectrum/tmp/x.sna", "/tmp/x.sna", ""},
    {"file:/tmp/x.sna", "/tmp/x.sna", ""},
    // Refused.
    {"", "", "Nothing was dropped"},
    {"# only a comment\r\n\r\n", "", "Nothing was dropped"},
    {"http://example.org/game.tap\r\n", "", "Only files can be dropped"},
    {"smb://server/share/game.tap", "", "Only files can be dropped"},
    {"file://elsewhere/tmp/x.sna", "", "The file is on another computer (elsewhere)"},
    {"file://localhost", "", "The dropped address names no file"},
    {"file:relative.sna", "", "The dropped address names no file"},
    {"file:///bad%2", "", "The dropped address is garbled"},
    {"file:///bad%zz.sna", "", "The dropped address is garbled"},
    {"file:///nul%00.sna", "", "The dropped address is garbled"},
    {std::string("file:///nul\0.sna", 16), "", "The dropped address is garbled"},
};

TEST(Drop, FirstUriOfTheListAsALocalPath) {
    for (const uri_case &c : cases) {
        SCOPED_TRACE(c.list);
        std::string path = "unchanged", why;
        bool ok = path_from_uri_list(c.list, "spectrum", path, why);
        EXPECT_EQ(ok, !c.path.empty());
        if (ok) {
            EXPECT_EQ(path, c.path);
        } else {
            EXPECT_EQ(why.compare(0, c.why.size(), c.why), 0) << why;
        }
    }
}

}  // namespace
