// The table of actions and the documentation: README's tables, the manual
// page and --help list exactly the table's hot keys and the parser's options,
// so none of them can drift from the program.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "actions/actions.h"
#include "options/options.h"

namespace {

const std::string source = std::string(BRENVIK_TEST_DATA) + "/../..";

std::vector<std::string> lines_of(const std::string &path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The lines from the one starting with `from` up to the next starting with `to`.
std::vector<std::string> section(const std::vector<std::string> &lines, const std::string &from,
                                 const std::string &to) {
    std::vector<std::string> out;
    bool in = false;
    for (const std::string &l : lines) {
        if (in && l.rfind(to, 0) == 0) break;
        if (l.rfind(from, 0) == 0) in = true;
        if (in) out.push_back(l);
    }
    return out;
}

std::string trimmed(const std::string &s) {
    std::size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// A table's rows as first cell -> second cell, header and rule left out.
std::map<std::string, std::string> table_rows(const std::vector<std::string> &lines) {
    std::map<std::string, std::string> rows;
    for (const std::string &l : lines) {
        if (l.rfind("| ", 0) != 0 || l.rfind("|---", 0) == 0) continue;
        std::vector<std::string> cells;
        std::stringstream in(l.substr(1));
        for (std::string c; std::getline(in, c, '|');) cells.push_back(trimmed(c));
        if (cells.size() >= 2 && cells[0] != "Key" && cells[0] != "Option") rows[cells[0]] = cells[1];
    }
    return rows;
}

// The first "--name" in s (letters and dashes after two dashes), or empty.
std::string first_option(const std::string &s) {
    const std::size_t at = s.find("--");
    if (at == std::string::npos) return "";
    std::size_t end = at + 2;
    while (end < s.size() && (std::islower(static_cast<unsigned char>(s[end])) || s[end] == '-')) ++end;
    return end > at + 2 ? s.substr(at, end - at) : "";
}

std::string man_text(std::string s) {
    for (std::size_t p; (p = s.find("\\-")) != std::string::npos;) s.erase(p, 1);
    return s;
}

const char *acts_name(acts a) {
    return a == acts::while_held ? "while held" : a == acts::on_change ? "on each press" : "on release";
}

TEST(Actions, ReadmeManualPageAndHelpListEveryHotKeyOfTheTable) {
    std::map<std::string, std::string> keys;  // key name -> how it acts
    for (std::size_t i = 0; i < action_count; ++i) {
        if (actions[i].key) {
            EXPECT_TRUE(keys.emplace(actions[i].key_name, acts_name(actions[i].when)).second)
                << actions[i].key_name << " twice";
        }
    }

    const auto readme = table_rows(section(lines_of(source + "/README.md"), "## Hot keys", "## "));
    EXPECT_EQ(readme, keys) << "README's hot-key table: key and how it acts";

    std::set<std::string> manual;
    const auto man = section(lines_of(source + "/data/brenvik.6"), ".SH HOT KEYS", ".SH ");
    for (std::size_t i = 0; i + 1 < man.size(); ++i)
        if (man[i] == ".TP" && man[i + 1].rfind(".B ", 0) == 0) manual.insert(man_text(man[i + 1].substr(3)));
    std::set<std::string> help;
    std::istringstream h(help_text().substr(help_text().find("Hot keys:\n") + 10));
    for (std::string l; std::getline(h, l) && !l.empty();) help.insert(trimmed(l.substr(0, 25)));

    std::set<std::string> names;
    for (const auto &k : keys) names.insert(k.first);
    EXPECT_EQ(manual, names) << "the manual page's HOT KEYS";
    EXPECT_EQ(help, names) << "--help";
}

TEST(Actions, ReadmeAndManualPageListEveryOptionOfTheParser) {
    // The options as --help prints them: "  -h, --help", "  --scale N".
    std::set<std::string> options;
    const std::string help = help_text();
    std::istringstream h(help);
    for (std::string l; std::getline(h, l) && l.rfind("Hot keys", 0) != 0;) {
        // An option's line starts "  --name" or "  -h, --help"; its help goes on under it.
        if (l.rfind("  --", 0) == 0 || (l.rfind("  -", 0) == 0 && l.find(", --") == 4)) options.insert(first_option(l));
    }
    ASSERT_GT(options.size(), 10u);

    std::set<std::string> readme;
    for (const auto &row : table_rows(section(lines_of(source + "/README.md"), "### Command-line options", "#")))
        if (!first_option(row.first).empty()) readme.insert(first_option(row.first));
    EXPECT_EQ(readme, options) << "README's options table";

    // The manual page gives each option an entry of its own (.TP, then the
    // option in bold), under OPTIONS or the section of its subject.
    std::set<std::string> manual;
    const std::vector<std::string> man = lines_of(source + "/data/brenvik.6");
    for (std::size_t i = 0; i + 1 < man.size(); ++i) {
        const std::string text = man_text(man[i + 1]);
        if (man[i] == ".TP" && text.rfind(".B", 0) == 0 && !first_option(text).empty())
            manual.insert(first_option(text));
    }
    EXPECT_EQ(manual, options) << "the manual page's option entries";
}

TEST(Actions, EveryMenuItemSitsInAGroupOfTheMenu) {
    const std::set<std::string> groups(menu_groups, menu_groups + menu_group_count);
    for (std::size_t i = 0; i < action_count; ++i) {
        const action &a = actions[i];
        if (!a.menu) {
            EXPECT_EQ(a.key, KEY_MENU) << "only the menu's own key is not in the menu";
            continue;
        }
        const std::string path = a.menu;
        EXPECT_TRUE(groups.count(path.substr(0, path.find('/')))) << path;
    }
}

}  // namespace
