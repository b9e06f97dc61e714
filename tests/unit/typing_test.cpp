// Text as the keys a user would press: keywords spelled out or as keys in
// their cursor mode, symbols through SYMBOL SHIFT, capitals through CAPS
// SHIFT, ENTER at line breaks, and characters the Spectrum has not left out.
#include <gtest/gtest.h>

#include <string>

#include "typing/typing.h"

namespace {

// A key by its name: the letter or digit, or SP, EN, CS, SS.
std::string name(matrix_key k) {
    static constexpr const char *rows[8][5] = {
        {"CS", "z", "x", "c", "v"}, {"a", "s", "d", "f", "g"}, {"q", "w", "e", "r", "t"},
        {"1", "2", "3", "4", "5"},  {"0", "9", "8", "7", "6"}, {"p", "o", "i", "u", "y"},
        {"EN", "l", "k", "j", "h"}, {"SP", "SS", "m", "n", "b"},
    };
    return rows[k.half_row][k.bit];
}

// The strokes as "a SS+p CS+SS ...", one word a stroke.
std::string keys_of(const std::string &text, bool spelled, std::string &left_out) {
    std::string out;
    for (const stroke &s : strokes_for_text(text, spelled, left_out)) {
        if (!out.empty()) out += ' ';
        out += name(s.keys[0]);
        if (s.count == 2) out += "+" + name(s.keys[1]);
    }
    return out;
}

TEST(Typing, KeysForText) {
    struct { const char *text; bool spelled; const char *keys; const char *left_out; } cases[] = {
        // Spelled out: every character by its own key.
        {"load \"\"\n", true, "l o a d SP SS+p SS+p EN", ""},
        {"10 print A;\r\n", true, "1 0 SP p r i n t SP CS+a SS+o EN", ""},
        {"x\ry", true, "x EN y", ""},
        {"caf\xc3\xa9\t\xc3\xa9!\x01", true, "c a f SS+1", "\xc3\xa9\t\x01"},
        {"[\xc2\xa3]", true, "CS+SS SS+y SS+x CS+SS SS+u", ""},
        // Keywords as keys: the K cursor at the start of a statement.
        {"load \"\"\n", false, "j SS+p SS+p EN", ""},
        {"10 PRINT AT 1,2;\"to a\"\n", false, "1 0 p SS+i 1 SS+n 2 SS+o SS+p t o SP a SS+p EN", ""},
        {"20 for i=1 to 10 step 2: next i", false, "2 0 f i SS+l 1 SP SS+f 1 0 SP SS+d 2 SS+z n i", ""},
        {"30 IF a<>b THEN GO TO 10", false, "3 0 u a SS+w b SP SS+g g 1 0", ""},
        {"40 LET total=CHR$ 65", false, "4 0 l t o t a l SS+l CS+SS u 6 5", ""},
        {"50 REM print to", false, "5 0 e p r i n t SP t o", ""},
        {"60 BEEP 1,INT RND", false, "6 0 CS+SS SS+z 1 SS+n CS+SS r CS+SS t", ""},
        {"70 GOSUB 9", false, "7 0 h 9", ""},
        {"80 PRINT INKEY$;INK", false, "8 0 p CS+SS n SS+o CS+SS SS+x", ""},
    };
    for (const auto &c : cases) {
        std::string left_out = "unset";
        EXPECT_EQ(keys_of(c.text, c.spelled, left_out), c.keys) << c.text;
        EXPECT_EQ(left_out, c.left_out) << c.text;
    }
}

TEST(Typing, EnterWaitsLongerForTheEditor) {
    std::string left_out;
    const auto strokes = strokes_for_text("a\nb", true, left_out);
    ASSERT_EQ(strokes.size(), 3u);
    EXPECT_GT(strokes[1].gap, strokes[0].gap);
}

}  // namespace
