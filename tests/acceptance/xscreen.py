"""The X server side of the acceptance run: screenshots (XWD), the text
cells of the tool's window, and xdotool input. Standard library only."""

import ctypes
import os
import struct
import subprocess
import time
import zlib

TITLE = "Tarnvale programma Wendor Exporteren datafile"

# The tool's palette, attribute 1 redefined to EGA colour 8.
BLACK = (0x00, 0x00, 0x00)
DARK_BLUE = (0x00, 0x00, 0x55)
CYAN = (0x00, 0xAA, 0xAA)
RED = (0xAA, 0x00, 0x00)
BROWN = (0xAA, 0x55, 0x00)
GREY = (0xAA, 0xAA, 0xAA)
LIGHT_BLUE = (0x55, 0x55, 0xFF)
GREEN = (0x55, 0xFF, 0x55)
YELLOW = (0xFF, 0xFF, 0x55)
WHITE = (0xFF, 0xFF, 0xFF)

COLOUR_NAMES = {
    BLACK: "black 000000", DARK_BLUE: "dark blue 000055", CYAN: "cyan 00AAAA",
    RED: "red AA0000", BROWN: "brown AA5500", GREY: "grey AAAAAA",
    LIGHT_BLUE: "light blue 5555FF", GREEN: "green 55FF55",
    YELLOW: "yellow FFFF55", WHITE: "white FFFFFF",
}


def hex_colour(c):
    return "%02X%02X%02X" % c


def colour_name(c):
    return COLOUR_NAMES.get(c, hex_colour(c))


def near(a, b, tolerance=24):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


class Failure(Exception):
    """A scenario's expectation that the programs did not meet."""


def wait_until(predicate, timeout, what, interval=0.02):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failure("waited %.1f s in vain for %s" % (timeout, what))
        time.sleep(interval)


def run(args, timeout=10, check=True):
    try:
        done = subprocess.run(args, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        raise Failure("%s did not finish within %d s" % (args[0], timeout))
    if check and done.returncode != 0:
        raise Failure("%s failed: %s" % (" ".join(args), done.stderr.decode(errors="replace")))
    return done.stdout.decode(errors="replace")


class Xwd:
    """An XWD image: a 100-byte big-endian header, the window name, the
    colour map, then the pixels in the image's own byte order."""

    def __init__(self, data):
        fields = struct.unpack(">25I", data[:100])
        (header_size, version, pixmap_format, depth, self.width, self.height, _xoffset,
         byte_order, _bitmap_unit, _bit_order, _pad, self.bpp, self.stride, _vclass,
         red_mask, green_mask, blue_mask, _bits_rgb, _cmap_entries, ncolors,
         *_rest) = fields
        if version != 7 or pixmap_format != 2 or self.bpp not in (24, 32):
            raise Failure("unexpected XWD image (version %d, format %d, %d bits a pixel)"
                          % (version, pixmap_format, self.bpp))
        self.data = data
        self.offset = header_size + ncolors * 12
        self.order = "little" if byte_order == 0 else "big"
        self.masks = [(m, (m & -m).bit_length() - 1) for m in (red_mask, green_mask, blue_mask)]
        self.step = self.bpp // 8

    def pixel(self, x, y):
        at = self.offset + y * self.stride + x * self.step
        v = int.from_bytes(self.data[at:at + self.step], self.order)
        return tuple((v & m) >> shift for m, shift in self.masks)

    def png(self, path, left=0, top=0, width=None, height=None):
        width = width or self.width - left
        height = height or self.height - top
        rows = bytearray()
        for y in range(top, top + height):
            rows.append(0)
            for x in range(left, left + width):
                rows.extend(self.pixel(x, y))

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body
                    + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(bytes(rows), 6)))
            f.write(chunk(b"IEND", b""))


class RootPixels:
    """Single pixels of the root window, straight from the X server (a 1x1
    XGetImage): a look takes well under a millisecond, where a whole
    screenshot takes a tenth of a second or more on a busy machine."""

    def __init__(self):
        x = ctypes.cdll.LoadLibrary("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XGetImage.restype = ctypes.c_void_p
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XGetPixel.restype = ctypes.c_ulong
        x.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        x.XDestroyImage.argtypes = [ctypes.c_void_p]
        self.x = x
        self.display = x.XOpenDisplay(None)
        if not self.display:
            raise Failure("cannot open the display %s" % os.environ.get("DISPLAY"))
        self.root = x.XDefaultRootWindow(self.display)

    def rgb(self, px, py):
        image = self.x.XGetImage(self.display, self.root, px, py, 1, 1, 0xFFFFFFFF, 2)
        v = self.x.XGetPixel(image, 0, 0)
        self.x.XDestroyImage(image)
        return ((v >> 16) & 255, (v >> 8) & 255, v & 255)


class Cells:
    """A screenshot seen as the 80 x 25 cells of the tool's window."""

    def __init__(self, image, window):
        self.image = image
        self.window = window

    def _corner(self, row, col):
        w = self.window
        return (w.x + int((col - 1) * w.cw), w.y + int((row - 1) * w.ch))

    def pixels(self, row, col):
        x0, y0 = self._corner(row, col)
        return [self.image.pixel(x, y) for y in range(y0, y0 + int(self.window.ch))
                for x in range(x0, x0 + int(self.window.cw))]

    def background(self, row, col):
        # The cell's most common colour: a glyph covers less than half of
        # its cell (the full block excepted, see centre()).
        counts = {}
        for p in self.pixels(row, col):
            counts[p] = counts.get(p, 0) + 1
        return max(counts, key=counts.get)

    def centre(self, row, col):
        x, y = self._corner(row, col)
        return self.image.pixel(x + int(self.window.cw / 2), y + int(self.window.ch / 2))

    def ink(self, row, col):
        """The pixel of the cell farthest from its background: the
        foreground where a glyph is, None where none is."""
        bg = self.background(row, col)
        best, best_distance = bg, 0
        for p in self.pixels(row, col):
            d = sum(abs(a - b) for a, b in zip(p, bg))
            if d > best_distance:
                best, best_distance = p, d
        return best if best_distance > 60 else None


class Window:
    def __init__(self, wid):
        self.id = wid
        info = run(["xwininfo", "-id", wid])

        def field(name):
            for line in info.splitlines():
                if line.strip().startswith(name + ":"):
                    return int(line.split(":")[1])
            raise Failure("xwininfo gave no %s" % name)

        self.x = field("Absolute upper-left X")
        self.y = field("Absolute upper-left Y")
        self.width = field("Width")
        self.height = field("Height")
        self.cw = self.width / 80
        self.ch = self.height / 25
        if self.cw < 4 or self.ch < 6:
            raise Failure("window %s is %dx%d, too small for 80 x 25 cells"
                          % (wid, self.width, self.height))

    def shot(self):
        return Cells(Xwd(subprocess.run(["xwd", "-root", "-silent"], capture_output=True,
                                        check=True, timeout=10).stdout), self)

    def save_png(self, path):
        self.shot().image.png(path, self.x, self.y, self.width, self.height)

    def cell_centre(self, row, col):
        return (int((col - 1) * self.cw + self.cw / 2), int((row - 1) * self.ch + self.ch / 2))

    def key(self, *keys, delay_ms=40):
        # XTEST keys to the focused window (find_window gave it the focus):
        # a key that ends the program must not fail for want of its window.
        run(["xdotool", "key", "--delay", str(delay_ms)] + list(keys))

    def type_text(self, text):
        # One key per character: the editor upper-cases typed letters itself.
        self.key(*[c if c.isalnum() else {" ": "space", ".": "period"}[c] for c in text])

    def point(self, row, col):
        x, y = self.cell_centre(row, col)
        run(["xdotool", "mousemove", "--window", self.id, str(x), str(y)])

    def double_click(self, row, col):
        self.point(row, col)
        run(["xdotool", "click", "--repeat", "2", "--delay", "80", "1"])


def find_window(timeout=15, exclude=()):
    """The tool's window once it is mapped (it starts hidden)."""
    def search():
        done = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % TITLE],
                              capture_output=True, timeout=10)
        ids = [w for w in done.stdout.decode().split() if w not in exclude]
        return ids[0] if ids else None
    window = Window(wait_until(search, timeout, "the window \"%s\"" % TITLE, interval=0.05))
    # No window manager here: keys go to the window only once it has the focus.
    run(["xdotool", "windowfocus", "--sync", window.id])
    return window


def park_pointer():
    """Off the tool's window, so that it gets no mouse event until a
    scenario moves the pointer over it."""
    run(["xdotool", "mousemove", str(1279), str(1023)])


def display_ready():
    return subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True,
                          timeout=10).returncode == 0 if os.environ.get("DISPLAY") else False
