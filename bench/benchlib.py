"""What the benchmark scripts share: the message codec, a joined user, and a
headless server on a free loopback port."""
import contextlib
import os
import select
import socket
import struct
import subprocess
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

TEXT = 10
BYTES = 11
FOUR_BYTE_B = 5
SCALAR_SLOT = 8


def message(ident, values):
    """Encodes a message: values are str (text), bytes (byte block) or int
    (a signed 32-bit number)."""
    out = struct.pack("<iI", ident, len(values))
    for v in values:
        if isinstance(v, bytes):
            out += bytes([BYTES]) + struct.pack("<I", len(v)) + v
        elif isinstance(v, int):
            out += bytes([FOUR_BYTE_B]) + struct.pack("<iI", v, 0)
        else:
            t = v.encode()
            if len(t) <= 254:
                out += bytes([TEXT, len(t)]) + t
            elif len(t) <= 65533:
                out += b"\x0a\xff" + struct.pack("<H", len(t)) + t
            else:
                out += b"\x0a\xff\xff\xff" + struct.pack("<I", len(t)) + t
    return out


def decode(buf):
    """The first whole message in buf as (id, values, bytes used), or None.
    Texts come back as str, byte blocks as bytes, scalars as int."""
    if len(buf) < 8:
        return None
    ident, count = struct.unpack_from("<iI", buf)
    pos = 8
    values = []
    for _ in range(count):
        if pos >= len(buf):
            return None
        kind = buf[pos]
        pos += 1
        if kind == TEXT:
            if pos >= len(buf):
                return None
            n = buf[pos]
            pos += 1
            if n == 0xFF:
                if pos + 2 > len(buf):
                    return None
                n = struct.unpack_from("<H", buf, pos)[0]
                pos += 2
                if n == 0xFFFF:
                    if pos + 4 > len(buf):
                        return None
                    n = struct.unpack_from("<I", buf, pos)[0]
                    pos += 4
            if pos + n > len(buf):
                return None
            values.append(buf[pos:pos + n].decode(errors="replace"))
            pos += n
        elif kind == BYTES:
            if pos + 4 > len(buf):
                return None
            n = struct.unpack_from("<I", buf, pos)[0]
            pos += 4
            if pos + n > len(buf):
                return None
            values.append(bytes(buf[pos:pos + n]))
            pos += n
        else:
            if pos + SCALAR_SLOT > len(buf):
                return None
            values.append(struct.unpack_from("<q", buf, pos)[0])
            pos += SCALAR_SLOT
    return ident, values, pos


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def connect(port):
    s = socket.create_connection(("127.0.0.1", port))
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return s


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class User:
    """A joined user that reads every message the server sends."""

    def __init__(self, port, name):
        self.sock = connect(port)
        self.sock.sendall(message(0, [name]))
        self.buf = bytearray()

    def send(self, ident, values):
        self.sock.sendall(message(ident, values))

    def command(self, *values):
        self.send(2, list(values))

    def next(self, timeout=30.0):
        """The next message as (id, values); None on timeout or close."""
        deadline = time.monotonic() + timeout
        while True:
            got = decode(self.buf)
            if got is not None:
                ident, values, used = got
                del self.buf[:used]
                return ident, values
            left = deadline - time.monotonic()
            r, _, _ = select.select([self.sock], [], [], max(left, 0))
            if not r:
                return None
            chunk = self.sock.recv(1 << 20)
            if not chunk:
                return None
            self.buf += chunk

    def until(self, pred, timeout=30.0):
        """Reads until pred(values) holds; the matching values, or None."""
        deadline = time.monotonic() + timeout
        while True:
            got = self.next(max(deadline - time.monotonic(), 0))
            if got is None:
                return None
            if pred(got[1]):
                return got[1]

    def round_trip(self, tag, timeout=30.0):
        """Milliseconds until the echo of a message carrying tag came back."""
        start = time.perf_counter()
        self.send(-2, [tag])
        if self.until(lambda v: v[:1] == [tag], timeout) is None:
            return None
        return (time.perf_counter() - start) * 1000


@contextlib.contextmanager
def headless_server(build, work, *args):
    """A headless server with silent audio on a free port; yields (port, process)."""
    port = free_port()
    server_path = os.path.join(build, "src", "tembrel-server")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy")
    server = subprocess.Popen(
        [server_path, "--headless", "--audio", "null", "--port", str(port), "--web", "off",
         "--settings", os.path.join(work, "s.ini"), *args],
        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(300):
            try:
                socket.create_connection(("127.0.0.1", port)).close()
                break
            except OSError:
                time.sleep(0.1)
        time.sleep(0.5)
        yield port, server
    finally:
        server.terminate()
        server.wait(timeout=15)
