// Typing text into the Spectrum: the strokes for each character or keyword
// and their pacing.
#include "typing/typing.h"

#include <allegro.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "tape/tape.h"

uint8_t typed_keys[8];

namespace {

constexpr int8_t hold_frames = 6;   // the ROM reads the keyboard once a frame
constexpr int8_t gap_frames = 6;    // and takes a key again only after it was up
constexpr int8_t enter_gap = 25;    // the editor checks and stores the line

constexpr matrix_key caps_shift{0, 0};
constexpr matrix_key enter_key{6, 0};

// The key of each letter, digit and space, by half-row and bit.
// CAPS SHIFT, ENTER and SYMBOL SHIFT stand as NUL: no character types them.
matrix_key plain_key(int c) {
    static constexpr const char *rows[8] = {"\0zxcv", "asdfg", "qwert", "12345", "09876", "poiuy", "\0lkjh", " \0mnb"};
    if (c <= 0) return no_matrix_key;
    for (int8_t r = 0; r < 8; ++r)
        for (int8_t b = 0; b < 5; ++b)
            if (rows[r][b] == c) return {r, b};
    return no_matrix_key;
}

// How a keyword or character is reached on the 48K keyboard.
enum class way : uint8_t {
    k_mode,  // the bare key at the K cursor: a command
    symbol,  // SYMBOL SHIFT and the key, in any mode
    e_mode,  // E mode, then the bare key
    e_symbol,  // E mode, then SYMBOL SHIFT and the key
};

struct token {
    const char *name;  // a space in it may be left out or doubled in the text
    way how;
    char key;
};

constexpr token tokens[] = {
    {"NEW", way::k_mode, 'a'},      {"BORDER", way::k_mode, 'b'},  {"CONTINUE", way::k_mode, 'c'},
    {"DIM", way::k_mode, 'd'},      {"REM", way::k_mode, 'e'},     {"FOR", way::k_mode, 'f'},
    {"GO TO", way::k_mode, 'g'},    {"GO SUB", way::k_mode, 'h'},  {"INPUT", way::k_mode, 'i'},
    {"LOAD", way::k_mode, 'j'},     {"LIST", way::k_mode, 'k'},    {"LET", way::k_mode, 'l'},
    {"PAUSE", way::k_mode, 'm'},    {"NEXT", way::k_mode, 'n'},    {"POKE", way::k_mode, 'o'},
    {"PRINT", way::k_mode, 'p'},    {"PLOT", way::k_mode, 'q'},    {"RUN", way::k_mode, 'r'},
    {"SAVE", way::k_mode, 's'},     {"RANDOMIZE", way::k_mode, 't'}, {"IF", way::k_mode, 'u'},
    {"CLS", way::k_mode, 'v'},      {"DRAW", way::k_mode, 'w'},    {"CLEAR", way::k_mode, 'x'},
    {"RETURN", way::k_mode, 'y'},   {"COPY", way::k_mode, 'z'},
    {"STOP", way::symbol, 'a'},     {"NOT", way::symbol, 's'},     {"STEP", way::symbol, 'd'},
    {"TO", way::symbol, 'f'},       {"THEN", way::symbol, 'g'},    {"AND", way::symbol, 'y'},
    {"OR", way::symbol, 'u'},       {"AT", way::symbol, 'i'},      {"<=", way::symbol, 'q'},
    {"<>", way::symbol, 'w'},       {">=", way::symbol, 'e'},
    {"READ", way::e_mode, 'a'},     {"BIN", way::e_mode, 'b'},     {"LPRINT", way::e_mode, 'c'},
    {"DATA", way::e_mode, 'd'},     {"TAN", way::e_mode, 'e'},     {"SGN", way::e_mode, 'f'},
    {"ABS", way::e_mode, 'g'},      {"SQR", way::e_mode, 'h'},     {"CODE", way::e_mode, 'i'},
    {"VAL", way::e_mode, 'j'},      {"LEN", way::e_mode, 'k'},     {"USR", way::e_mode, 'l'},
    {"PI", way::e_mode, 'm'},       {"INKEY$", way::e_mode, 'n'},  {"PEEK", way::e_mode, 'o'},
    {"TAB", way::e_mode, 'p'},      {"SIN", way::e_mode, 'q'},     {"INT", way::e_mode, 'r'},
    {"RESTORE", way::e_mode, 's'},  {"RND", way::e_mode, 't'},     {"CHR$", way::e_mode, 'u'},
    {"LLIST", way::e_mode, 'v'},    {"COS", way::e_mode, 'w'},     {"EXP", way::e_mode, 'x'},
    {"STR$", way::e_mode, 'y'},     {"LN", way::e_mode, 'z'},
    {"BEEP", way::e_symbol, 'z'},   {"INK", way::e_symbol, 'x'},   {"PAPER", way::e_symbol, 'c'},
    {"FLASH", way::e_symbol, 'v'},  {"BRIGHT", way::e_symbol, 'b'}, {"INVERSE", way::e_symbol, 'm'},
    {"OVER", way::e_symbol, 'n'},   {"CIRCLE", way::e_symbol, 'h'}, {"VAL$", way::e_symbol, 'j'},
    {"SCREEN$", way::e_symbol, 'k'}, {"ATTR", way::e_symbol, 'l'}, {"ASN", way::e_symbol, 'q'},
    {"ACS", way::e_symbol, 'w'},    {"ATN", way::e_symbol, 'e'},   {"VERIFY", way::e_symbol, 'r'},
    {"MERGE", way::e_symbol, 't'},  {"IN", way::e_symbol, 'i'},    {"OUT", way::e_symbol, 'o'},
    {"DEF FN", way::e_symbol, '1'}, {"FN", way::e_symbol, '2'},    {"LINE", way::e_symbol, '3'},
    {"OPEN #", way::e_symbol, '4'}, {"CLOSE #", way::e_symbol, '5'}, {"MOVE", way::e_symbol, '6'},
    {"ERASE", way::e_symbol, '7'},  {"POINT", way::e_symbol, '8'}, {"CAT", way::e_symbol, '9'},
    {"FORMAT", way::e_symbol, '0'},
};

// Characters that only the E mode with SYMBOL SHIFT types.
struct e_char {
    int ch;
    char key;
};
constexpr e_char e_chars[] = {{'[', 'y'}, {']', 'u'}, {'~', 'a'}, {'|', 's'},
                              {'\\', 'd'}, {'{', 'f'}, {'}', 'g'}, {0xA9, 'p'}};

struct typer {
    std::vector<stroke> out;
    std::vector<int> bad;

    void press(matrix_key a, matrix_key b = no_matrix_key, int8_t gap = gap_frames) {
        out.push_back({{a, b}, int8_t(b.half_row >= 0 ? 2 : 1), gap});
    }
    void keyword(way how, char key) {
        if (how == way::e_mode || how == way::e_symbol) press(caps_shift, symbol_shift_key);
        if (how == way::symbol || how == way::e_symbol)
            press(symbol_shift_key, plain_key(key));
        else
            press(plain_key(key));
    }
    // One character by its own key: letters, digits, space and symbols.
    void character(int ch) {
        if (ch == '\n') return press(enter_key, no_matrix_key, enter_gap);
        if (ch < 0x80 && std::isupper(ch)) return press(caps_shift, plain_key(std::tolower(ch)));
        const matrix_key k = plain_key(ch);
        if (k.half_row >= 0) return press(k);
        const matrix_key s = symbol_key(ch);
        if (s.half_row >= 0) return press(symbol_shift_key, s);
        for (const e_char &e : e_chars)
            if (e.ch == ch) return keyword(way::e_symbol, e.key);
        if (std::find(bad.begin(), bad.end(), ch) == bad.end()) bad.push_back(ch);
    }
};

// Code points of UTF-8 text; a byte that starts no valid sequence stands for itself.
std::vector<int> code_points(const std::string &s) {
    std::vector<int> out;
    for (std::size_t i = 0; i < s.size();) {
        const uint8_t c = uint8_t(s[i]);
        const int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        int cp = extra ? c & (0x3F >> extra) : c;
        bool ok = i + extra < s.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const uint8_t n = uint8_t(s[i + k]);
            ok = (n & 0xC0) == 0x80;
            cp = cp << 6 | (n & 0x3F);
        }
        out.push_back(ok ? cp : c);
        i += ok ? extra + 1 : 1;
    }
    return out;
}

void utf8(int cp, std::string &out) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6), out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12), out += char(0x80 | (cp >> 6 & 0x3F)), out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18), out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F)), out += char(0x80 | (cp & 0x3F));
    }
}

bool letter(int c) { return c < 0x80 && std::isalpha(c); }
bool word_char(int c) { return c < 0x80 && (std::isalnum(c) || c == '$'); }

// The length of the token name at text[i] (any case, the spaces in it
// optional), or 0. A name that ends in a letter must not run on into a word.
std::size_t match(const std::vector<int> &text, std::size_t i, const char *name) {
    if (i > 0 && letter(text[i - 1]) && letter(name[0])) return 0;
    std::size_t at = i;
    for (const char *n = name; *n; ++n) {
        if (*n == ' ') {
            while (at < text.size() && text[at] == ' ') ++at;
            continue;
        }
        if (at >= text.size() || text[at] >= 0x80 || std::toupper(text[at]) != *n) return 0;
        ++at;
    }
    if (letter(name[std::strlen(name) - 1]) && at < text.size() && word_char(text[at])) return 0;
    return at - i;
}

// The longest token at text[i] that can be typed in the cursor mode, or nullptr.
const token *token_at(const std::vector<int> &text, std::size_t i, bool k_cursor, std::size_t &length) {
    const token *best = nullptr;
    length = 0;
    for (const token &t : tokens) {
        if (t.how == way::k_mode && !k_cursor) continue;
        const std::size_t n = match(text, i, t.name);
        if (n > length) best = &t, length = n;
    }
    return best;
}

std::vector<stroke> typing;
std::size_t typed = 0;
int wait = 0;
bool holding = false;
bool stop_on_key = false;
void (*when_done)() = nullptr;

void press(const stroke *s) {
    std::memset(typed_keys, 0, sizeof typed_keys);
    if (!s) return;
    for (int k = 0; k < s->count; ++k) typed_keys[s->keys[k].half_row] |= uint8_t(1 << s->keys[k].bit);
}

bool user_key_down() {
    for (int k = 1; k < KEY_MAX; ++k)
        if (key[k]) return true;
    return false;
}

}  // namespace

std::vector<stroke> strokes_for_text(const std::string &text, bool spelled_keywords, std::string &untypeable) {
    const std::vector<int> cps = code_points(text);
    typer t;
    bool k_cursor = true, quoted = false, remark = false;
    for (std::size_t i = 0; i < cps.size(); ++i) {
        int c = cps[i];
        if (c == '\r') {
            if (i + 1 < cps.size() && cps[i + 1] == '\n') continue;
            c = '\n';  // a line break of its own
        }
        if (c == '\n') {
            t.character(c);
            k_cursor = true, quoted = false, remark = false;
            continue;
        }
        if (spelled_keywords || remark) {
            t.character(c);
            continue;
        }
        if (c == '"') quoted = !quoted;
        if (quoted || c == '"') {
            t.character(c);
            continue;
        }
        if (k_cursor && c == ' ') continue;  // the ROM spaces its keywords itself
        if (k_cursor && c >= '0' && c <= '9') {
            t.character(c);  // the line number keeps the K cursor
            continue;
        }
        std::size_t length = 0;
        if (const token *tok = token_at(cps, i, k_cursor, length)) {
            t.keyword(tok->how, tok->key);
            i += length - 1;
            if (i + 1 < cps.size() && cps[i + 1] == ' ') ++i;
            k_cursor = std::strcmp(tok->name, "THEN") == 0;
            remark = std::strcmp(tok->name, "REM") == 0;
            continue;
        }
        t.character(c);
        k_cursor = c == ':';
    }
    untypeable.clear();
    for (int c : t.bad) utf8(c, untypeable);
    return t.out;
}

std::string type_text(const std::string &text, int wait_frames, bool stop_on_user_key, void (*done)()) {
    std::string untypeable;
    typing = strokes_for_text(text, rom_spells_keywords(), untypeable);
    typed = 0;
    holding = false;
    wait = wait_frames;
    stop_on_key = stop_on_user_key;
    when_done = done;
    press(nullptr);
    return untypeable;
}

bool typing_running() { return typed < typing.size(); }

void typing_frame() {
    if (typed >= typing.size()) return;
    if (stop_on_key && user_key_down()) {
        typed = typing.size();
        press(nullptr);
        return;
    }
    if (--wait > 0) return;
    if (!holding) {
        press(&typing[typed]);
        holding = true;
        wait = hold_frames;
        return;
    }
    press(nullptr);
    holding = false;
    wait = typing[typed].gap;
    if (++typed == typing.size() && when_done) when_done();
}

void capture_typing(typing_record &out) {
    out.strokes = typing;
    out.typed = typed;
    out.wait = wait;
    out.holding = holding;
    out.stop_on_key = stop_on_key;
    out.done = when_done;
    std::memcpy(out.keys, typed_keys, sizeof typed_keys);
}

void restore_typing(const typing_record &in) {
    typing = in.strokes;
    typed = in.typed;
    wait = in.wait;
    holding = in.holding;
    stop_on_key = in.stop_on_key;
    when_done = in.done;
    std::memcpy(typed_keys, in.keys, sizeof typed_keys);
}
