// The popup menu: the table of actions as menu entries.
#include "main/menu.h"

#include <allegro.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "actions/actions.h"
#include "main/chooser.h"
#include "platform/menu.h"
#include "settings/settings.h"

const action *choose_from_menu() {
    std::vector<std::string> groups(menu_groups, menu_groups + menu_group_count);
    std::vector<menu_entry> entries;
    std::vector<const action *> of_entry;
    for (std::size_t i = 0; i < action_count; ++i) {
        const action &a = actions[i];
        if (!a.menu) continue;
        const std::string path = a.menu;
        const std::size_t slash = path.find('/');
        entries.push_back({path.substr(0, slash), path.substr(slash + 1), a.key ? a.keysym : "",
                           a.state ? int(a.state()) : -1, a.run == nullptr});
        of_entry.push_back(&a);
    }
    const std::vector<std::string> recent = recent_files();
    const menu_choice choice = popup_menu(groups, entries, recent);
    if (choice.recent >= 0) {
        load_file_path(recent[std::size_t(choice.recent)]);
        return nullptr;
    }
    return choice.entry >= 0 ? of_entry[std::size_t(choice.entry)] : nullptr;
}

namespace {

// Counted from Allegro's input thread: a quick click (down and up between two
// passes) would be missed by looking at the button's state.
std::atomic<int32_t> right_clicks{0};

void count_right_click(int flags) {
    if (flags & MOUSE_FLAG_RIGHT_UP) right_clicks.fetch_add(1);
}

}  // namespace

void watch_right_button() {
    right_clicks = 0;
    mouse_callback = count_right_click;
}

bool right_button_clicked() { return right_clicks.exchange(0) > 0; }
