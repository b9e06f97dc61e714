#!/usr/bin/python3
"""Prints the X keycode of each keysym named on the command line.

xdotool, given a right-hand modifier by name (Control_R, Shift_R, Alt_R),
presses the left-hand one as well; given the keycode it presses only that key.
"""
import ctypes
import ctypes.util
import sys

x11 = ctypes.CDLL(ctypes.util.find_library('X11'))
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
x11.XKeysymToKeycode.restype = ctypes.c_ubyte
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

display = x11.XOpenDisplay(None)
if not display:
    sys.exit('cannot open the X display')
status = 0
for name in sys.argv[1:]:
    code = x11.XKeysymToKeycode(display, x11.XStringToKeysym(name.encode()))
    if not code:
        print('no keycode for %s' % name, file=sys.stderr)
        status = 1
    print(code)
x11.XCloseDisplay(display)
sys.exit(status)
