// The drop target: our own X connection and proxy window, the target's half
// of the drag-and-drop protocol, and the file URI it delivers.
#include "platform/drop.h"

#include <allegro.h>
#include <xalleg.h>
#include <X11/Xatom.h>
#include <strings.h>
#include <unistd.h>

#include <array>
#include <deque>

namespace {

// The protocol version we speak, advertised in XdndAware.
constexpr long xdnd_version = 5;

struct atoms {
    Atom aware, proxy, enter, position, status, leave, drop, finished, selection, action_copy, type_list, uri_list,
        property;
};

// One drop on its way: from XdndEnter to the data read after XdndDrop.
struct drag_record {
    Window source = 0;       // the drag source's window
    Window target = 0;       // the window it drops on (Allegro's, in the messages)
    bool offers_uris = false;  // text/uri-list is among its types
    bool converting = false;   // the selection was asked for; waiting for it
};

Display *connection = nullptr;
Window proxy = 0;           // our unmapped window, which receives the messages
std::array<Window, 3> made_target{};  // Allegro's windows as last given the properties
atoms names;
drag_record drag;
std::deque<std::pair<std::string, std::string>> drops;  // path, refusal

void set_window_property(Window w, Atom name, Atom type, long value) {
    XChangeProperty(connection, w, name, type, 32, PropModeReplace, reinterpret_cast<unsigned char *>(&value), 1);
}

// Allegro's windows (a mode change may replace them) and our own say that
// drops go to our window, which is its own proxy as the protocol asks. A
// source reads the top-level window, which Allegro keeps apart from the one
// it draws in, and another one for full screen.
std::array<Window, 3> allegro_windows() { return {_xwin.window, _xwin.wm_window, _xwin.fs_window}; }

void make_target() {
    const std::array<Window, 3> now = allegro_windows();
    if (now == made_target) return;
    for (Window w : now) {
        if (!w) continue;
        set_window_property(w, names.aware, XA_ATOM, xdnd_version);
        set_window_property(w, names.proxy, XA_WINDOW, long(proxy));
    }
    XFlush(connection);
    made_target = now;
}

// The X errors of our own connection are ignored: a drag source may be gone
// at any moment, and Xlib's default answer to a message for a window that
// no longer exists is to end the program. Errors of other connections
// (Allegro's, GTK's) go to the handler that was there before.
XErrorHandler outer_handler = nullptr;

int ignore_our_errors(Display *d, XErrorEvent *e) {
    if (d == connection) return 0;
    return outer_handler ? outer_handler(d, e) : 0;
}

// Runs calls on our connection with its errors ignored until all of them
// have been answered.
template <class F>
void with_errors_ignored(F calls) {
    outer_handler = XSetErrorHandler(ignore_our_errors);
    calls();
    XSync(connection, False);
    XSetErrorHandler(outer_handler);
}

void send_to_source(Atom type, long l1, long l2, long l3, long l4) {
    XEvent reply{};
    reply.xclient.type = ClientMessage;
    reply.xclient.display = connection;
    reply.xclient.window = drag.source;
    reply.xclient.message_type = type;
    reply.xclient.format = 32;
    reply.xclient.data.l[0] = long(drag.target);
    reply.xclient.data.l[1] = l1;
    reply.xclient.data.l[2] = l2;
    reply.xclient.data.l[3] = l3;
    reply.xclient.data.l[4] = l4;
    XSendEvent(connection, drag.source, False, NoEventMask, &reply);
    XFlush(connection);
}

// The drop is over: the source may forget its data.
void finish(bool accepted) {
    send_to_source(names.finished, accepted ? 1 : 0, accepted ? long(names.action_copy) : 0, 0, 0);
    drag = drag_record{};
}

// XdndEnter names up to three types, or says they are in the source's
// XdndTypeList property.
bool source_offers_uris(const XClientMessageEvent &enter) {
    if (!(enter.data.l[1] & 1)) {
        for (int i = 2; i <= 4; ++i)
            if (Atom(enter.data.l[i]) == names.uri_list) return true;
        return false;
    }
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    bool found = false;
    if (XGetWindowProperty(connection, Window(enter.data.l[0]), names.type_list, 0, 1024, False, XA_ATOM, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 32) {
        const Atom *types = reinterpret_cast<const Atom *>(data);
        for (unsigned long i = 0; i < count && !found; ++i) found = types[i] == names.uri_list;
    }
    if (data) XFree(data);
    return found;
}

void on_message(const XClientMessageEvent &m) {
    Window source = Window(m.data.l[0]);
    if (m.message_type == names.enter) {
        drag = drag_record{};
        drag.source = source;
        drag.target = m.window;
        drag.offers_uris = source_offers_uris(m);
        return;
    }
    if (source != drag.source) return;  // from a drag we are not in
    if (m.message_type == names.position) {
        // Accepted anywhere in the window; positions keep coming.
        bool yes = drag.offers_uris && !drag.converting;
        send_to_source(names.status, yes ? 3 : 2, 0, 0, yes ? long(names.action_copy) : 0);
    } else if (m.message_type == names.leave) {
        drag = drag_record{};
    } else if (m.message_type == names.drop) {
        if (!drag.offers_uris || drag.converting) return finish(false);
        drag.converting = true;
        XConvertSelection(connection, names.selection, names.uri_list, names.property, proxy, Time(m.data.l[2]));
        XFlush(connection);
    }
}

// The source's answer to the conversion: the dropped URIs.
void on_selection(const XSelectionEvent &e) {
    if (!drag.converting) return;
    std::string list;
    bool got = false;
    if (e.property != None) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(connection, proxy, e.property, 0, 1 << 20, True, AnyPropertyType, &type, &format,
                               &count, &after, &data) == Success &&
            data && format == 8) {
            list.assign(reinterpret_cast<const char *>(data), count);
            got = true;
        }
        if (data) XFree(data);
    }
    if (!got) return finish(false);
    char host[256] = "";
    gethostname(host, sizeof host - 1);
    std::string path, why;
    bool file = path_from_uri_list(list, host, path, why);
    finish(file);
    drops.emplace_back(path, why);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void start_drop_target() {
    if (connection || !_xwin.window) return;
    connection = XOpenDisplay(nullptr);
    if (!connection) return;
    proxy = XCreateSimpleWindow(connection, DefaultRootWindow(connection), 0, 0, 1, 1, 0, 0, 0);
    const char *atom_names[] = {"XdndAware",     "XdndProxy",          "XdndEnter",    "XdndPosition",
                                "XdndStatus",    "XdndLeave",          "XdndDrop",     "XdndFinished",
                                "XdndSelection", "XdndActionCopy",     "XdndTypeList", "text/uri-list",
                                "BRENVIK_DROP"};
    Atom got[13];
    XInternAtoms(connection, const_cast<char **>(atom_names), 13, False, got);
    names = {got[0], got[1], got[2], got[3], got[4], got[5], got[6], got[7], got[8], got[9], got[10], got[11], got[12]};
    set_window_property(proxy, names.aware, XA_ATOM, xdnd_version);
    set_window_property(proxy, names.proxy, XA_WINDOW, long(proxy));
    with_errors_ignored(make_target);
}

bool next_dropped_file(std::string &path, std::string &refusal) {
    if (!connection) return false;
    if (allegro_windows() != made_target || XPending(connection)) {
        with_errors_ignored([] {
            make_target();
            while (XPending(connection)) {
                XEvent e;
                XNextEvent(connection, &e);
                if (e.type == ClientMessage)
                    on_message(e.xclient);
                else if (e.type == SelectionNotify)
                    on_selection(e.xselection);
            }
        });
    }
    if (drops.empty()) return false;
    path = drops.front().first;
    refusal = drops.front().second;
    drops.pop_front();
    return true;
}

bool path_from_uri_list(const std::string &list, const std::string &host, std::string &path, std::string &why) {
    // The first line that is neither empty nor a comment.
    std::string uri;
    for (std::size_t at = 0; at < list.size() && uri.empty();) {
        std::size_t end = list.find_first_of("\r\n", at);
        if (end == std::string::npos) end = list.size();
        if (end > at && list[at] != '#') uri = list.substr(at, end - at);
        at = end + 1;
    }
    if (uri.empty()) {
        why = "Nothing was dropped that names a file.";
        return false;
    }
    // file:///path, file://host/path or file:/path
    if (strncasecmp(uri.c_str(), "file:", 5) != 0) {
        why = "Only files can be dropped here, not " + uri;
        return false;
    }
    std::size_t start = 5;
    if (uri.compare(5, 2, "//") == 0) {
        start = uri.find('/', 7);
        if (start == std::string::npos) start = uri.size();
        std::string name = uri.substr(7, start - 7);
        if (!name.empty() && name != "localhost" && name != host) {
            why = "The file is on another computer (" + name + "): " + uri;
            return false;
        }
    }
    if (start >= uri.size() || uri[start] != '/') {
        why = "The dropped address names no file: " + uri;
        return false;
    }
    path.clear();
    bool garbled = false;  // an escape without two hex digits, or a NUL byte, which no path holds
    for (std::size_t i = start; i < uri.size() && !garbled; ++i) {
        char c = uri[i];
        if (c == '%') {
            int high = i + 2 < uri.size() ? hex_digit(uri[i + 1]) : -1;
            int low = high >= 0 ? hex_digit(uri[i + 2]) : -1;
            garbled = low < 0;
            c = garbled ? '\0' : char(high << 4 | low);
            i += 2;
        }
        garbled = garbled || c == '\0';
        path += c;
    }
    if (garbled) {
        why = "The dropped address is garbled: " + uri;
        return false;
    }
    return true;
}
