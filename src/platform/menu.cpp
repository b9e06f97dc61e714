// The popup menu on GTK 3.
//
// The emulator's window is not a GTK window, so the menu is popped up at the
// pointer on its own, with the pointer and keyboard grabbed by GTK, and runs
// its own loop until it closes. The choice is only noted there; the caller
// acts on it once the menu has left the screen.
#include "platform/menu.h"

#include <gtk/gtk.h>

#include "platform/gtk_setup.h"
#include "platform/stop.h"

namespace {

struct menu_run {
    menu_choice choice;
    GtkWidget *menu = nullptr;
    bool open = true;
};

void closed(GtkMenuShell *, gpointer data) {
    auto *run = static_cast<menu_run *>(data);
    run->open = false;
    if (gtk_main_level() > 0) gtk_main_quit();
}

// "activate" comes after the menu has closed itself; the loop is still
// running until the handlers return, so the choice is seen.
void chosen_entry(GtkMenuItem *item, gpointer data) {
    static_cast<menu_run *>(data)->choice.entry = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "entry"));
}

void chosen_recent(GtkMenuItem *item, gpointer data) {
    static_cast<menu_run *>(data)->choice.recent = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "recent"));
}

gboolean close_on_stop_request(gpointer data) {
    auto *run = static_cast<menu_run *>(data);
    if (stop_requested() && run->open) gtk_menu_shell_deactivate(GTK_MENU_SHELL(run->menu));
    return G_SOURCE_CONTINUE;
}

GtkWidget *recent_submenu(const std::vector<std::string> &recent, menu_run &run) {
    GtkWidget *item = gtk_menu_item_new_with_label("Recent Files");
    if (recent.empty()) {
        gtk_widget_set_sensitive(item, FALSE);
        return item;
    }
    GtkWidget *sub = gtk_menu_new();
    for (std::size_t i = 0; i < recent.size(); ++i) {
        gchar *shown = g_filename_display_name(recent[i].c_str());
        GtkWidget *file = gtk_menu_item_new_with_label(shown);
        g_free(shown);
        g_object_set_data(G_OBJECT(file), "recent", GINT_TO_POINTER(int(i)));
        g_signal_connect(file, "activate", G_CALLBACK(chosen_recent), &run);
        gtk_menu_shell_append(GTK_MENU_SHELL(sub), file);
    }
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), sub);
    return item;
}

GtkWidget *entry_item(const menu_entry &e, int index, menu_run &run) {
    GtkWidget *item = e.state >= 0 ? gtk_check_menu_item_new_with_label(e.label.c_str())
                                   : gtk_menu_item_new_with_label(e.label.c_str());
    if (e.state >= 0) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), e.state ? TRUE : FALSE);
    if (!e.keysym.empty()) {
        GtkWidget *label = gtk_bin_get_child(GTK_BIN(item));
        gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), gdk_keyval_from_name(e.keysym.c_str()), GdkModifierType(0));
    }
    g_object_set_data(G_OBJECT(item), "entry", GINT_TO_POINTER(index));
    // Connected after the state is set, so setting it is not taken for a choice.
    g_signal_connect(item, "activate", G_CALLBACK(chosen_entry), &run);
    return item;
}

}  // namespace

menu_choice popup_menu(const std::vector<std::string> &groups, const std::vector<menu_entry> &entries,
                       const std::vector<std::string> &recent) {
    menu_run run;
    if (stop_requested() || !gtk_ready()) return run.choice;
    run.menu = gtk_menu_new();
    for (const std::string &group : groups) {
        GtkWidget *top = gtk_menu_item_new_with_label(group.c_str());
        GtkWidget *sub = gtk_menu_new();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const menu_entry &e = entries[i];
            if (e.group != group) continue;
            gtk_menu_shell_append(GTK_MENU_SHELL(sub), e.recent_files ? recent_submenu(recent, run)
                                                                      : entry_item(e, int(i), run));
        }
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), sub);
        gtk_menu_shell_append(GTK_MENU_SHELL(run.menu), top);
    }
    g_signal_connect(run.menu, "deactivate", G_CALLBACK(closed), &run);
    gtk_widget_show_all(run.menu);
    guint watch = g_timeout_add(50, close_on_stop_request, &run);
    // Without an event of its own to start from, GTK takes the pointer's
    // place and the current time; the newer popup calls need such an event.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_menu_popup(GTK_MENU(run.menu), nullptr, nullptr, nullptr, nullptr, 0, GDK_CURRENT_TIME);
    G_GNUC_END_IGNORE_DEPRECATIONS
    // The popup fails to show when it cannot grab the pointer and keyboard.
    if (gtk_widget_get_visible(run.menu)) gtk_main();
    g_source_remove(watch);
    gtk_widget_destroy(run.menu);
    settle_gtk();
    return run.choice;
}
