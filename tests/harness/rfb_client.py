"""The least of an RFB (VNC) client that the menu's tests need: security type
None, a 32-bit true-colour framebuffer in Raw encoding, key and pointer events."""

import select
import socket
import struct

from screen_picture import Picture

KEYSYM = {"Left": 0xFF51, "Up": 0xFF52, "Right": 0xFF53, "Down": 0xFF54,
          "Return": 0xFF0D, "F2": 0xFFBF, **{str(d): ord(str(d)) for d in range(10)}}

_SECURITY_NONE = 1
_RAW = 0
# Little-endian 32 bits a pixel, 24 of them colour: blue, green, red, unused.
_PIXEL_FORMAT = struct.pack(">BBBBHHHBBB3x", 32, 24, 0, 1, 255, 255, 255, 16, 8, 0)


class RfbError(Exception):
    pass


class RfbClient:
    def __init__(self, port, host="127.0.0.1", timeout=30.0):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        self._handshake()
        self.frame = bytearray(self.width * self.height * 4)
        self.send(struct.pack(">B3x", 0) + _PIXEL_FORMAT)
        self.send(struct.pack(">BxHi", 2, 1, _RAW))
        self.request_update(incremental=False)

    def close(self):
        self.sock.close()

    def send(self, data):
        self.sock.sendall(data)

    def _read(self, count):
        data = bytearray()
        while len(data) < count:
            piece = self.sock.recv(count - len(data))
            if not piece:
                raise RfbError("the server closed the connection")
            data += piece
        return bytes(data)

    def _handshake(self):
        version = self._read(12)
        if not version.startswith(b"RFB 003."):
            raise RfbError(f"not an RFB server: {version!r}")
        # Qt's VNC server speaks 3.3, where the server picks the security type.
        self.send(b"RFB 003.003\n")
        kind = struct.unpack(">I", self._read(4))[0]
        if kind != _SECURITY_NONE:
            raise RfbError(f"server wants security type {kind}, not None")
        self.send(b"\x01")
        self.width, self.height = struct.unpack(">HH", self._read(4))
        self._read(16)
        self.name = self._read(struct.unpack(">I", self._read(4))[0])

    def request_update(self, incremental=True):
        self.send(struct.pack(">BBHHHH", 3, int(incremental), 0, 0, self.width, self.height))

    def key(self, name):
        for down in (1, 0):
            self.send(struct.pack(">BBxxI", 4, down, KEYSYM[name]))

    def pointer(self, point, pressed):
        self.send(struct.pack(">BBHH", 5, int(pressed), *point))

    def _read_message(self):
        kind = self._read(1)[0]
        if kind == 0:
            count = struct.unpack(">xH", self._read(3))[0]
            for _ in range(count):
                x, y, w, h, encoding = struct.unpack(">HHHHi", self._read(12))
                if encoding != _RAW:
                    raise RfbError(f"unexpected encoding {encoding}")
                pixels = self._read(w * h * 4)
                for row in range(h):
                    at = ((y + row) * self.width + x) * 4
                    self.frame[at:at + w * 4] = pixels[row * w * 4:(row + 1) * w * 4]
        elif kind == 1:
            count = struct.unpack(">xHH", self._read(5))[1]
            self._read(count * 6)
        elif kind == 2:
            pass
        elif kind == 3:
            self._read(struct.unpack(">3xI", self._read(7))[0])
        else:
            raise RfbError(f"unknown server message {kind}")

    def picture(self):
        rgb = bytearray(self.width * self.height * 3)
        rgb[0::3] = self.frame[2::4]
        rgb[1::3] = self.frame[1::4]
        rgb[2::3] = self.frame[0::4]
        return Picture(self.width, self.height, bytes(rgb))

    def update(self):
        """Asks for what changed and takes in what has arrived. A request is always
        outstanding, so a screen shown only briefly is still sent."""
        self.request_update()
        while select.select([self.sock], [], [], 0.02)[0]:
            self._read_message()
