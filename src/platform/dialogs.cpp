// Native dialogs on GTK 3: the snapshot file chooser and a message box.
//
// GTK runs beside Allegro in the same process, with its own connection to
// the display. Each dialog runs its own modal loop; after it is destroyed
// the pending GTK events are handled, so that it really leaves the screen
// before the emulator draws again.
#include "platform/dialogs.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <vector>

#include "platform/gtk_setup.h"
#include "log/log.h"
#include "platform/stop.h"

namespace {

// The emulator's window is not a GTK window, so a dialog cannot be made its
// child. Keeping the dialog above all others keeps it in sight, also over
// the emulator in full screen.
void in_front(GtkWidget *dialog) {
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
}

// While a dialog waits, a stop request (a signal) cancels it, so the
// program can end; checked a few times a second.
gboolean cancel_on_stop_request(gpointer dialog) {
    if (stop_requested()) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    return G_SOURCE_CONTINUE;
}

// Every dialog runs its modal loop here, so that what must happen while any
// dialog waits is written once. Once a stop has been requested no dialog
// opens at all.
gint run_dialog(GtkWidget *dialog) {
    if (stop_requested()) return GTK_RESPONSE_CANCEL;
    guint watch = g_timeout_add(50, cancel_on_stop_request, dialog);
    gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    g_source_remove(watch);
    return response;
}

// What fits in a message box on any screen: the text as valid UTF-8 (a file
// name need not be), each line at most max_line characters and each word
// (a path without spaces, typically) at most max_word, shortened in the
// middle with an ellipsis, so that both ends of a path stay readable.
std::string shortened(const std::string &s, glong limit) {
    glong n = g_utf8_strlen(s.c_str(), -1);
    if (n <= limit) return s;
    glong head = (limit - 1) / 2, tail = limit - 1 - head;
    const char *cut = g_utf8_offset_to_pointer(s.c_str(), head);
    const char *resume = g_utf8_offset_to_pointer(s.c_str(), n - tail);
    return std::string(s.c_str(), cut) + "\u2026" + resume;
}

std::string fitted_for_box(const std::string &text) {
    constexpr glong max_line = 200, max_word = 48;
    gchar *valid = g_utf8_make_valid(text.c_str(), -1);
    std::string in = valid, out;
    g_free(valid);
    std::size_t start = 0;
    for (;;) {
        std::size_t end = in.find('\n', start);
        std::string line = shortened(in.substr(start, end == std::string::npos ? std::string::npos : end - start),
                                     max_line);
        std::size_t w = 0;
        for (;;) {
            std::size_t space = line.find(' ', w);
            out += shortened(line.substr(w, space == std::string::npos ? std::string::npos : space - w), max_word);
            if (space == std::string::npos) break;
            out += ' ';
            w = space + 1;
        }
        if (end == std::string::npos) break;
        out += '\n';
        start = end + 1;
    }
    return out;
}

// A filter of case-sensitive patterns; the chooser takes it over.
void add_filter(GtkFileChooser *chooser, const std::string &name, const std::vector<std::string> &patterns) {
    GtkFileFilter *filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, name.c_str());
    for (const std::string &p : patterns) gtk_file_filter_add_pattern(filter, p.c_str());
    gtk_file_chooser_add_filter(chooser, filter);
}

std::size_t extension_of(const std::string &path) {
    std::size_t slash = path.find_last_of('/');
    std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.find_last_of('.');
    return dot == std::string::npos || dot < base ? path.size() : dot + 1;
}

}  // namespace

bool choose_snapshot(std::string &path, std::size_t &extension) {
    if (!gtk_ready()) return false;
    GtkWidget *dialog = gtk_file_chooser_dialog_new("Open Snapshot", nullptr, GTK_FILE_CHOOSER_ACTION_OPEN,
                                                    "_Cancel", GTK_RESPONSE_CANCEL, "_Open",
                                                    GTK_RESPONSE_ACCEPT, nullptr);
    in_front(dialog);
    GtkFileChooser *chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_select_multiple(chooser, FALSE);
    // Patterns are matched case-sensitively, so each letter admits both cases.
    add_filter(chooser, "Snapshot, tape, archive or POKEs (*.sna/*.z80/*.tap/*.tzx/*.pzx/*.csw/*.zip/*.gz/*.pok)",
               {"*.[sS][nN][aA]", "*.[zZ]80", "*.[tT][aA][pP]", "*.[tT][zZ][xX]", "*.[pP][zZ][xX]", "*.[cC][sS][wW]",
                "*.[zZ][iI][pP]", "*.[gG][zZ]", "*.[pP][oO][kK]"});

    bool chosen = false;
    // In open mode the chooser accepts only files that exist; a name typed in
    // that does not name a readable file is refused here as well, and the
    // dialog stays open.
    while (run_dialog(dialog) == GTK_RESPONSE_ACCEPT) {
        gchar *name = gtk_file_chooser_get_filename(chooser);
        bool exists = name && g_file_test(name, G_FILE_TEST_IS_REGULAR);
        if (exists) {
            path = name;
            extension = extension_of(path);
            chosen = true;
        } else {
            // A name that exists but is no regular file is a pipe, socket or device.
            bool there = name && g_file_test(name, G_FILE_TEST_EXISTS);
            GtkWidget *refusal = gtk_message_dialog_new(
                GTK_WINDOW(dialog), GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s\n%s",
                there ? "Not a file (a pipe, socket or device):" : "No such file:",
                fitted_for_box(name ? name : "").c_str());
            gtk_window_set_title(GTK_WINDOW(refusal), there ? "Cannot Read Snapshot" : "Not Found");
            in_front(refusal);
            run_dialog(refusal);
            gtk_widget_destroy(refusal);
        }
        g_free(name);
        if (chosen) break;
    }
    gtk_widget_destroy(dialog);
    settle_gtk();
    return chosen;
}

void message_box(const std::string &text, const std::string &caption) {
    // Also on standard error, where it is kept when the box cannot be shown.
    report_on_stderr(caption, text);
    if (!gtk_ready()) return;
    GtkWidget *box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s",
                                            fitted_for_box(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
    in_front(box);
    run_dialog(box);
    gtk_widget_destroy(box);
    settle_gtk();
}

bool choose_file_to_save(const std::string &title, const std::string &filter_name,
                         const std::vector<std::string> &patterns, const std::string &suggested_name,
                         std::string &path) {
    if (!gtk_ready()) return false;
    GtkWidget *dialog = gtk_file_chooser_dialog_new(title.c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_SAVE,
                                                    "_Cancel", GTK_RESPONSE_CANCEL, "_Save",
                                                    GTK_RESPONSE_ACCEPT, nullptr);
    in_front(dialog);
    GtkFileChooser *chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    add_filter(chooser, filter_name, patterns);
    gtk_file_chooser_set_current_name(chooser, suggested_name.c_str());
    bool chosen = false;
    if (run_dialog(dialog) == GTK_RESPONSE_ACCEPT) {
        gchar *name = gtk_file_chooser_get_filename(chooser);
        if (name) {
            path = name;
            chosen = true;
        }
        g_free(name);
    }
    gtk_widget_destroy(dialog);
    settle_gtk();
    return chosen;
}

save_answer ask_save_discard(const std::string &text, const std::string &caption) {
    report_on_stderr(caption, text);
    if (!gtk_ready()) return save_answer::cancel;
    GtkWidget *box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE, "%s",
                                            text.c_str());
    gtk_dialog_add_buttons(GTK_DIALOG(box), "_Discard", GTK_RESPONSE_REJECT, "_Cancel", GTK_RESPONSE_CANCEL,
                           "_Save", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_ACCEPT);
    gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
    in_front(box);
    const gint response = run_dialog(box);
    gtk_widget_destroy(box);
    settle_gtk();
    if (response == GTK_RESPONSE_ACCEPT) return save_answer::save;
    if (response == GTK_RESPONSE_REJECT) return save_answer::discard;
    return save_answer::cancel;
}

bool ask_yes_no(const std::string &text, const std::string &caption) {
    std::fprintf(stderr, "brenvik: %s: %s\n", caption.c_str(), text.c_str());
    if (!gtk_ready()) return false;
    GtkWidget *box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO,
                                            "%s", fitted_for_box(text).c_str());
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_YES);
    gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
    in_front(box);
    const gint response = run_dialog(box);
    gtk_widget_destroy(box);
    settle_gtk();
    return response == GTK_RESPONSE_YES;
}

namespace {

// A modal dialog titled title with Cancel and an accepting button (the
// default), its text on top of the content to come.
GtkWidget *cancel_or_accept(const std::string &title, const char *accept, const std::string &text, int spacing) {
    GtkWidget *dialog = gtk_dialog_new_with_buttons(title.c_str(), nullptr, GTK_DIALOG_MODAL, "_Cancel",
                                                    GTK_RESPONSE_CANCEL, accept, GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    GtkWidget *area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(area), 12);
    gtk_box_set_spacing(GTK_BOX(area), spacing);
    gtk_container_add(GTK_CONTAINER(area), gtk_label_new(fitted_for_box(text).c_str()));
    return dialog;
}

}  // namespace

bool ask_number(const std::string &text, const std::string &caption, int low, int high, int &value) {
    if (!gtk_ready()) return false;
    GtkWidget *dialog = cancel_or_accept(caption, "_OK", text, 8);
    GtkWidget *area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    GtkWidget *spin = gtk_spin_button_new_with_range(low, high, 1);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), value);
    gtk_entry_set_activates_default(GTK_ENTRY(spin), TRUE);
    gtk_container_add(GTK_CONTAINER(area), spin);
    gtk_widget_show_all(dialog);
    in_front(dialog);
    const bool ok = run_dialog(dialog) == GTK_RESPONSE_ACCEPT;
    if (ok) {
        gtk_spin_button_update(GTK_SPIN_BUTTON(spin));
        value = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(spin));
    }
    gtk_widget_destroy(dialog);
    settle_gtk();
    return ok;
}

namespace {

// Adds content to the dialog's area in a window that scrolls it when it is
// taller than 400 pixels.
void add_scrolled(GtkWidget *area, GtkWidget *content) {
    GtkWidget *scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scroll), TRUE);
    gtk_scrolled_window_set_max_content_height(GTK_SCROLLED_WINDOW(scroll), 400);
    gtk_container_add(GTK_CONTAINER(scroll), content);
    gtk_container_add(GTK_CONTAINER(area), scroll);
}

// One check box of choose_checks and what its toggle calls.
struct check_box {
    GtkWidget *button;
    std::size_t row;
    const std::function<bool(std::size_t, bool)> *toggled;
    bool setting;  // true while the box is set back by hand, not by the user
};

void on_check_toggled(GtkToggleButton *button, gpointer data) {
    check_box *box = static_cast<check_box *>(data);
    if (box->setting) return;
    const bool want = gtk_toggle_button_get_active(button);
    const bool now = (*box->toggled)(box->row, want);
    if (now != want) {
        box->setting = true;
        gtk_toggle_button_set_active(button, now);
        box->setting = false;
    }
}

}  // namespace

void choose_checks(const std::string &title, const std::string &heading, const std::vector<check_row> &rows,
                   const std::function<bool(std::size_t row, bool on)> &toggled) {
    if (!gtk_ready()) return;
    GtkWidget *dialog = gtk_dialog_new_with_buttons(title.c_str(), nullptr, GTK_DIALOG_MODAL, "_Close",
                                                    GTK_RESPONSE_CLOSE, nullptr);
    GtkWidget *area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(area), 12);
    gtk_box_set_spacing(GTK_BOX(area), 6);
    gtk_container_add(GTK_CONTAINER(area), gtk_label_new(fitted_for_box(heading).c_str()));
    GtkWidget *list = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    add_scrolled(area, list);
    std::vector<check_box> boxes(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        GtkWidget *button = gtk_check_button_new_with_label(fitted_for_box(rows[i].label).c_str());
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(button), rows[i].ticked);
        gtk_widget_set_sensitive(button, rows[i].enabled);
        boxes[i] = check_box{button, i, &toggled, false};
        g_signal_connect(button, "toggled", G_CALLBACK(on_check_toggled), &boxes[i]);
        gtk_container_add(GTK_CONTAINER(list), button);
    }
    gtk_widget_show_all(dialog);
    // The first box that can be ticked has the focus: Space ticks it.
    for (const check_box &b : boxes)
        if (gtk_widget_get_sensitive(b.button)) {
            gtk_widget_grab_focus(b.button);
            break;
        }
    in_front(dialog);
    run_dialog(dialog);
    gtk_widget_destroy(dialog);
    settle_gtk();
}

bool choose_from_list(const std::string &title, const std::string &heading, const std::vector<std::string> &rows,
                      std::size_t &chosen) {
    if (!gtk_ready() || rows.empty()) return false;
    GtkWidget *dialog = cancel_or_accept(title, "_Open", heading, 6);
    GtkWidget *area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    GtkWidget *list = gtk_list_box_new();
    gtk_list_box_set_selection_mode(GTK_LIST_BOX(list), GTK_SELECTION_BROWSE);
    for (const std::string &row : rows) {
        GtkWidget *label = gtk_label_new(fitted_for_box(row).c_str());
        gtk_widget_set_halign(label, GTK_ALIGN_START);
        gtk_container_add(GTK_CONTAINER(list), label);
    }
    // A double click (or Enter on a row) opens it.
    g_signal_connect_swapped(list, "row-activated", G_CALLBACK(+[](GtkDialog *d) {
                                 gtk_dialog_response(d, GTK_RESPONSE_ACCEPT);
                             }),
                             dialog);
    add_scrolled(area, list);
    GtkListBoxRow *first = gtk_list_box_get_row_at_index(GTK_LIST_BOX(list), chosen < rows.size() ? int(chosen) : 0);
    gtk_list_box_select_row(GTK_LIST_BOX(list), first);
    gtk_widget_show_all(dialog);
    gtk_widget_grab_focus(GTK_WIDGET(first));
    in_front(dialog);
    bool ok = run_dialog(dialog) == GTK_RESPONSE_ACCEPT;
    GtkListBoxRow *row = gtk_list_box_get_selected_row(GTK_LIST_BOX(list));
    ok = ok && row;
    if (ok) chosen = std::size_t(gtk_list_box_row_get_index(row));
    gtk_widget_destroy(dialog);
    settle_gtk();
    return ok;
}

bool clipboard_text(std::string &text) {
    if (!gtk_ready()) return false;
    gchar *got = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    if (!got) return false;
    text = got;
    g_free(got);
    return true;
}
