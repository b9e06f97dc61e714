// The popup menu: the table of actions as menu entries.
#include "main/menu.h"

#include <allegro.h>

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

bool right_button_clicked() {
    static bool was_down = false;
    const bool down = (mouse_b & 2) != 0;
    const bool clicked = was_down && !down;
    was_down = down;
    return clicked;
}
