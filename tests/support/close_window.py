#!/usr/bin/python3
# Asks an X window to close the way a window manager does for its close button: a WM_PROTOCOLS
# client message carrying WM_DELETE_WINDOW. Usage: close_window.py WINDOW-ID (DISPLAY from the
# environment).
import sys

from Xlib import X, display, protocol

connection = display.Display()
window = connection.create_resource_object("window", int(sys.argv[1], 0))
protocols = connection.intern_atom("WM_PROTOCOLS")
delete = connection.intern_atom("WM_DELETE_WINDOW")
message = protocol.event.ClientMessage(
    window=window, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0]))
window.send_event(message, event_mask=X.NoEventMask)
connection.flush()
