"""The desktop window manager's part in the 24H2 layout, played for the stand-in shell.

On Windows 11 24H2 the desktop window manager composes the children of "Progman" from surfaces
of their own: a program draws the wallpaper into a layered child window of its own, and that
window's surface is shown. Wine has no such composition: it shows a child window only through
the X window of its top-level parent, and a program's own child of another process's top-level
window draws into an off-screen surface that nothing shows. In the 24h2 mode this compositor
copies those surfaces (the off-screen X windows of the size of "Progman") into the X window of
"Progman", a few times a second, so that what the program drew into its own window shows on
the screen.
"""

import ctypes
import threading


class _WindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)


def _load_x11():
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                             ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                             ctypes.POINTER(ctypes.c_uint)]
    x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(_WindowAttributes)]
    x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_void_p)]
    x.XCreateGC.restype = ctypes.c_void_p
    x.XCreateGC.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_void_p]
    x.XFreeGC.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    x.XCopyArea.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_void_p, ctypes.c_int,
                            ctypes.c_int, ctypes.c_uint, ctypes.c_uint, ctypes.c_int, ctypes.c_int]
    x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XFree.argtypes = [ctypes.c_void_p]
    x.XSetErrorHandler.argtypes = [_ERROR_HANDLER]
    x.XSetErrorHandler.restype = ctypes.c_void_p
    return x


class DesktopCompositor:
    """Copies the programs' own surfaces into "Progman" until stopped."""

    def __init__(self, display, period=0.2):
        self.display, self.period = display, period
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)
        # Windows come and go between a query and a copy; such errors are expected, and Xlib's
        # default handler would end the whole test.
        self._ignore = _ERROR_HANDLER(lambda display, event: 0)

    def start(self):
        self._thread.start()

    def stop(self):
        self._stop.set()
        self._thread.join(timeout=5)

    def _run(self):
        try:
            x = _load_x11()
        except OSError:
            return
        x.XSetErrorHandler(self._ignore)
        d = x.XOpenDisplay(self.display.encode())
        if not d:
            return
        try:
            while not self._stop.is_set():
                self._compose(x, d)
                self._stop.wait(self.period)
        finally:
            x.XCloseDisplay(d)

    @staticmethod
    def _children(x, d, window):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        kids, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not x.XQueryTree(d, window, ctypes.byref(root), ctypes.byref(parent), ctypes.byref(kids),
                            ctypes.byref(count)):
            return []
        found = [kids[i] for i in range(count.value)]
        if kids:
            x.XFree(kids)
        return found

    @staticmethod
    def _attributes(x, d, window):
        attributes = _WindowAttributes()
        if not x.XGetWindowAttributes(d, window, ctypes.byref(attributes)):
            return None
        return attributes

    @staticmethod
    def _name(x, d, window):
        text = ctypes.c_void_p()
        if not x.XFetchName(d, window, ctypes.byref(text)) or not text.value:
            return ""
        name = ctypes.cast(text, ctypes.c_char_p).value.decode("utf-8", "replace")
        x.XFree(text)
        return name

    def _compose(self, x, d):
        top = self._children(x, d, x.XDefaultRootWindow(d))
        progman = [w for w in top if self._name(x, d, w) == "Program Manager"]
        if not progman:
            return
        target = self._attributes(x, d, progman[0])
        if target is None:
            return
        gc = x.XCreateGC(d, progman[0], 0, None)
        # Wine keeps a program's off-screen surfaces in a hidden 1x1 window of its own.
        for holder in top:
            attributes = self._attributes(x, d, holder)
            if attributes is None or (attributes.width, attributes.height) != (1, 1) or not attributes.override_redirect:
                continue
            for surface in self._children(x, d, holder):
                size = self._attributes(x, d, surface)
                if size is not None and (size.width, size.height) == (target.width, target.height):
                    x.XCopyArea(d, surface, progman[0], gc, 0, 0, target.width, target.height, 0, 0)
        x.XFreeGC(d, gc)
        x.XSync(d, 0)
