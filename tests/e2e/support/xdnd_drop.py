#!/usr/bin/python3
"""Drops URIs on an X window as a file manager does, through the XDND
protocol: owns XdndSelection, honours the target's XdndProxy, sends
XdndEnter and XdndPosition, waits for XdndStatus, sends XdndDrop, serves
the target's request for text/uri-list and waits for XdndFinished.

usage: xdnd_drop.py WINDOW_ID URI...
Prints "accepted" or "refused" (the target's XdndStatus) and "finished N"
(XdndFinished's success bit); exits 1 on a protocol failure or a timeout.
"""
import ctypes
import ctypes.util
import sys
import time

ClientMessage, SelectionRequest = 33, 30


class ClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class SelectionRequestEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("owner", ctypes.c_ulong), ("requestor", ctypes.c_ulong),
                ("selection", ctypes.c_ulong), ("target", ctypes.c_ulong), ("property", ctypes.c_ulong),
                ("time", ctypes.c_ulong)]


class SelectionEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("requestor", ctypes.c_ulong), ("selection", ctypes.c_ulong),
                ("target", ctypes.c_ulong), ("property", ctypes.c_ulong), ("time", ctypes.c_ulong)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xclient", ClientMessageEvent),
                ("xselectionrequest", SelectionRequestEvent), ("xselection", SelectionEvent),
                ("pad", ctypes.c_long * 24)]


x = ctypes.CDLL(ctypes.util.find_library("X11"))
vp, ul = ctypes.c_void_p, ctypes.c_ulong
x.XOpenDisplay.restype = vp
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XDefaultRootWindow.restype = ul
x.XDefaultRootWindow.argtypes = [vp]
x.XCreateSimpleWindow.restype = ul
x.XCreateSimpleWindow.argtypes = [vp, ul, ctypes.c_int, ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                                  ctypes.c_uint, ul, ul]
x.XInternAtom.restype = ul
x.XInternAtom.argtypes = [vp, ctypes.c_char_p, ctypes.c_int]
x.XSetSelectionOwner.argtypes = [vp, ul, ul, ul]
x.XSendEvent.argtypes = [vp, ul, ctypes.c_int, ctypes.c_long, ctypes.POINTER(XEvent)]
x.XPending.argtypes = [vp]
x.XNextEvent.argtypes = [vp, ctypes.POINTER(XEvent)]
x.XFlush.argtypes = [vp]
x.XChangeProperty.argtypes = [vp, ul, ul, ul, ctypes.c_int, ctypes.c_int, ctypes.c_char_p, ctypes.c_int]
x.XGetWindowProperty.argtypes = [vp, ul, ul, ctypes.c_long, ctypes.c_long, ctypes.c_int, ul,
                                 ctypes.POINTER(ul), ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ul),
                                 ctypes.POINTER(ul), ctypes.POINTER(ctypes.c_void_p)]
x.XFree.argtypes = [vp]
x.XTranslateCoordinates.argtypes = [vp, ul, ul, ctypes.c_int, ctypes.c_int, ctypes.POINTER(ctypes.c_int),
                                    ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ul)]

display = x.XOpenDisplay(None)
if not display:
    sys.exit("xdnd_drop.py: cannot open the display")


def atom(name):
    return x.XInternAtom(display, name.encode(), 0)


def window_long(window, name):
    """The first 32-bit item of a window property, or None."""
    kind, fmt, count, after, data = ul(), ctypes.c_int(), ul(), ul(), ctypes.c_void_p()
    if x.XGetWindowProperty(display, window, atom(name), 0, 1, 0, 0, ctypes.byref(kind), ctypes.byref(fmt),
                            ctypes.byref(count), ctypes.byref(after), ctypes.byref(data)) != 0:
        return None
    value = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[0] if data.value and count.value else None
    if data.value:
        x.XFree(data)
    return value


def main():
    target = int(sys.argv[1], 0)
    uris = "".join(u + "\r\n" for u in sys.argv[2:]).encode()
    source = x.XCreateSimpleWindow(display, x.XDefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0)
    x.XSetSelectionOwner(display, atom("XdndSelection"), source, 0)

    # A window that names a proxy whose own XdndProxy names itself gets its
    # messages through that proxy; XdndAware is then read there.
    to = target
    proxy = window_long(target, "XdndProxy")
    if proxy and window_long(proxy, "XdndProxy") == proxy:
        to = proxy
    version = window_long(to, "XdndAware")
    if version is None or version < 3:
        sys.exit("xdnd_drop.py: the window is not a drop target (XdndAware %s)" % version)
    version = min(version, 5)

    def send(name, l1=0, l2=0, l3=0, l4=0):
        e = XEvent()
        e.xclient.type = ClientMessage
        e.xclient.window = target
        e.xclient.message_type = atom(name)
        e.xclient.format = 32
        e.xclient.data[:] = [source, l1, l2, l3, l4]
        x.XSendEvent(display, to, 0, 0, ctypes.byref(e))
        x.XFlush(display)

    def wait_for(name, seconds=20):
        """Serves selection requests until the named message comes."""
        deadline = time.time() + seconds
        e = XEvent()
        while time.time() < deadline:
            if not x.XPending(display):
                time.sleep(0.01)
                continue
            x.XNextEvent(display, ctypes.byref(e))
            if e.type == ClientMessage and e.xclient.message_type == atom(name):
                return list(e.xclient.data)
            if e.type == SelectionRequest:
                serve(e.xselectionrequest)
        sys.exit("xdnd_drop.py: no %s within %d seconds" % (name, seconds))

    def serve(r):
        answer = XEvent()
        s = answer.xselection
        s.type, s.requestor, s.selection, s.target, s.time = 31, r.requestor, r.selection, r.target, r.time
        s.property = 0
        if r.target == atom("text/uri-list"):
            prop = r.property or r.target
            x.XChangeProperty(display, r.requestor, prop, r.target, 8, 0, uris, len(uris))
            s.property = prop
        x.XSendEvent(display, r.requestor, 0, 0, ctypes.byref(answer))
        x.XFlush(display)

    # The middle of the window, on the root window, packed as the protocol packs it.
    rx, ry, child = ctypes.c_int(), ctypes.c_int(), ul()
    x.XTranslateCoordinates(display, target, x.XDefaultRootWindow(display), 20, 20, ctypes.byref(rx),
                            ctypes.byref(ry), ctypes.byref(child))
    send("XdndEnter", version << 24, atom("text/uri-list"))
    send("XdndPosition", 0, rx.value << 16 | ry.value, 0, atom("XdndActionCopy"))
    status = wait_for("XdndStatus")
    if status[0] != target:
        sys.exit("xdnd_drop.py: XdndStatus names window %#x, not the target" % status[0])
    if not status[1] & 1:
        print("refused")
        send("XdndLeave")
        return
    print("accepted")
    send("XdndDrop", 0, 0)
    finished = wait_for("XdndFinished")
    print("finished", finished[1] & 1)


if __name__ == "__main__":
    main()
