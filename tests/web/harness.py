"""Helpers for the browser tests: the real server in a temporary folder, a
headless Chromium driven through WebDriver, and a raw TCP jukebox user."""

import os
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import threading
import time
import urllib.request

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
SERVER_START_TIMEOUT_S = 20


def browser_tools_missing():
    """What is missing to run a real browser, or None."""
    for path in (CHROMIUM, CHROMEDRIVER):
        if not os.access(path, os.X_OK):
            return path
    try:
        import selenium  # noqa: F401
    except ImportError:
        return "python3-selenium"
    return None


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Server:
    """tembrel-server on loopback with its own music copy, upload folder and
    settings file; stop() and start() again keep the same ports."""

    def __init__(self, binary, music, spectrum="30"):
        self.binary = binary
        self.work = tempfile.mkdtemp(prefix="tembrel-web-test-")
        self.music = os.path.join(self.work, "music")
        shutil.copytree(music, self.music)
        self.uploads = os.path.join(self.work, "uploads")
        os.mkdir(self.uploads)
        self.settings = os.path.join(self.work, "settings.ini")
        self.port = free_port()
        self.web_port = free_port()
        self.spectrum = spectrum
        self.process = None
        self.log_path = os.path.join(self.work, "server.log")
        self.starts = 0

    @property
    def url(self):
        return f"http://127.0.0.1:{self.web_port}"

    def start(self):
        self.starts += 1
        log = open(self.log_path, "ab")
        self.process = subprocess.Popen(
            [self.binary, "--headless", "--audio", "null", "--port", str(self.port),
             "--web-port", str(self.web_port), "--location", self.music,
             "--upload-dir", self.uploads, "--settings", self.settings,
             "--spectrum", self.spectrum],
            stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
            env=dict(os.environ, SDL_AUDIODRIVER="dummy", QT_QPA_PLATFORM="offscreen"))
        log.close()
        deadline = time.monotonic() + SERVER_START_TIMEOUT_S
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError(f"the server ended at start:\n{self.log()}")
            try:
                with urllib.request.urlopen(self.url + "/protocol.json", timeout=1) as answer:
                    if answer.status == 200:
                        return
            except OSError:
                time.sleep(0.1)
        raise RuntimeError(f"the server did not answer on {self.url}:\n{self.log()}")

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None

    def log(self):
        with open(self.log_path, "rb") as log:
            return log.read().decode("utf-8", "replace")[-4000:]

    def close(self):
        self.stop()
        shutil.rmtree(self.work, ignore_errors=True)


def browser(width=390, height=844, mobile=True, performance_log=False):
    """Headless Chromium showing pages at the given size (a phone's with touch
    and mobile layout when `mobile`)."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--no-first-run", "--disable-extensions", f"--window-size={max(width, 800)},{height}"):
        options.add_argument(argument)
    logs = {"browser": "ALL"}
    if performance_log:
        logs["performance"] = "ALL"
    options.set_capability("goog:loggingPrefs", logs)
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": width, "height": height, "deviceScaleFactor": 2 if mobile else 1, "mobile": mobile})
    if mobile:
        driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5})
    driver.set_page_load_timeout(20)
    return driver


# The jukebox's own byte layout of a message, for the raw TCP user.
TEXT, BYTES = 10, 11


def encode_text(text):
    data = text.encode("utf-8")
    if len(data) < 255:
        prefix = bytes([len(data)])
    elif len(data) < 65534:
        prefix = b"\xff" + struct.pack("<H", len(data))
    else:
        prefix = b"\xff\xff\xff" + struct.pack("<I", len(data))
    return prefix + data


def encode_message(message_id, texts):
    body = b"".join(bytes([TEXT]) + encode_text(text) for text in texts)
    return struct.pack("<ii", message_id, len(texts)) + body


class _Reader:
    def __init__(self, sock):
        self.sock = sock
        self.buffer = b""

    def take(self, count):
        while len(self.buffer) < count:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise EOFError
            self.buffer += chunk
        data, self.buffer = self.buffer[:count], self.buffer[count:]
        return data

    def text(self):
        length = self.take(1)[0]
        if length == 0xFF:
            length = struct.unpack("<H", self.take(2))[0]
            if length == 0xFFFF:
                length = struct.unpack("<I", self.take(4))[0]
        return self.take(length).decode("utf-8", "replace")

    def message(self):
        message_id, count = struct.unpack("<ii", self.take(8))
        values = []
        for _ in range(max(count, 0)):
            code = self.take(1)[0]
            if code == TEXT:
                values.append(self.text())
            elif code == BYTES:
                values.append(self.take(struct.unpack("<I", self.take(4))[0]))
            else:
                values.append(struct.unpack("<q", self.take(8))[0])
        return message_id, values


class TcpUser:
    """A jukebox user on the TCP port, as the existing clients are: joins,
    sends commands, and keeps every message it receives."""

    def __init__(self, port, name):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.sock.settimeout(None)
        self.messages = []
        self.changed = threading.Condition()
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()
        self.sock.sendall(encode_message(0, [name]))

    def _read(self):
        reader = _Reader(self.sock)
        try:
            while True:
                message = reader.message()
                if message[0] == -3:  # the host's ping: answer with its tick count
                    tick = message[1][0] if message[1] else 0
                    self.sock.sendall(struct.pack("<iiBq", -3, 1, 7, tick))
                    continue
                with self.changed:
                    self.messages.append(message)
                    self.changed.notify_all()
        except (EOFError, OSError):
            pass

    def command(self, name, argument=None):
        self.sock.sendall(encode_message(2, [name] if argument is None else [name, argument]))

    def mark(self):
        """A point in the received messages to wait from."""
        with self.changed:
            return len(self.messages)

    def wait_for(self, predicate, since, timeout=10, what="a message"):
        """The first message received at or after the mark `since` that
        satisfies predicate(id, values)."""
        deadline = time.monotonic() + timeout
        with self.changed:
            while True:
                for message in self.messages[since:]:
                    if predicate(*message):
                        return message
                since = len(self.messages)
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError(f"the TCP user did not receive {what}")
                self.changed.wait(left)

    def last_reply(self, name):
        with self.changed:
            for message_id, values in reversed(self.messages):
                if values and values[0] == name:
                    return values[1] if len(values) > 1 else ""
        return None

    def close(self):
        try:
            self.sock.sendall(encode_message(-4, []))
        except OSError:
            pass
        self.sock.close()


def upgrade_status(web_port, origin):
    """The HTTP status line a WebSocket upgrade to /ws gets with this Origin."""
    request = (f"GET /ws HTTP/1.1\r\nHost: 127.0.0.1:{web_port}\r\nUpgrade: websocket\r\n"
               "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
               f"Sec-WebSocket-Version: 13\r\nOrigin: {origin}\r\n\r\n")
    with socket.create_connection(("127.0.0.1", web_port), timeout=5) as sock:
        sock.sendall(request.encode())
        answer = b""
        while b"\r\n" not in answer:
            chunk = sock.recv(4096)
            if not chunk:
                break
            answer += chunk
    return answer.split(b"\r\n", 1)[0].decode("latin-1")
