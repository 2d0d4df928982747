#!/usr/bin/env python3
"""Connect bursts and users that never read, against the real server.

Starts tembrel-server headless (silent audio, the demo library, spectrum at
60 updates a second) on a free loopback port and prints:

* connect burst: the time until 20 and until 200 simultaneous connects have
  all completed, against one lone connect measured in the same run;
* memory held by users that never read: the server's resident memory (RSS)
  at its peak while 18 users flood it with echo requests and never read the
  answers, and after they have been dropped, against the RSS before;
* the round trip of a monitor user (an echo) during that attack, against its
  round trip before it.

    bench/net_exposure.py [BUILD_DIR]
"""
import os
import select
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from benchlib import ROOT, connect, free_port, message, rss_kib  # noqa: E402
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
SERVER = os.path.join(BUILD, "src", "tembrel-server")
SLEEPERS = 18
ATTACK_LIMIT_S = 40
ECHO_BYTES = 64 * 1024


class Monitor:
    """A joined user that reads everything and measures echo round trips."""

    def __init__(self, port):
        self.sock = connect(port)
        self.sock.sendall(message(0, ["monitor"]))
        self.buf = b""
        self.round = 0

    def round_trip(self, timeout=10.0):
        self.round += 1
        tag = f"rt{self.round}".encode()
        start = time.perf_counter()
        self.sock.sendall(message(-2, [tag.decode()]))
        while tag not in self.buf:
            r, _, _ = select.select([self.sock], [], [], timeout)
            if not r:
                return None
            chunk = self.sock.recv(1 << 20)
            if not chunk:
                return None
            self.buf = self.buf[-64:] + chunk
        self.buf = b""
        return (time.perf_counter() - start) * 1000


def burst(port, count):
    socks = []
    start = time.perf_counter()
    for _ in range(count):
        s = socket.socket()
        s.setblocking(False)
        s.connect_ex(("127.0.0.1", port))
        socks.append(s)
    pending = set(socks)
    while pending:
        _, w, _ = select.select([], list(pending), [], 5)
        if not w:
            break
        pending -= set(w)
    elapsed = (time.perf_counter() - start) * 1000
    for s in socks:
        s.close()
    time.sleep(0.5)  # the server drops them before the next burst
    return elapsed, len(pending)


def sleepers_attack(port, pid, monitor):
    sleepers = [connect(port) for _ in range(SLEEPERS)]
    for s in sleepers:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 64 * 1024)
        s.setblocking(False)
    echo = message(-2, [b"x" * ECHO_BYTES])
    alive = set(sleepers)
    peak = rss_kib(pid)
    worst = 0.0
    start = time.time()
    while alive and time.time() - start < ATTACK_LIMIT_S:
        for s in list(alive):
            try:
                s.send(echo)
            except BlockingIOError:
                pass
            except OSError:
                alive.discard(s)
        peak = max(peak, rss_kib(pid))
        rt = monitor.round_trip()
        if rt is None:
            print("monitor not served")
            break
        worst = max(worst, rt)
    dropped_after = time.time() - start
    time.sleep(2)
    after = rss_kib(pid)
    for s in sleepers:
        s.close()
    return peak, after, worst, dropped_after, len(alive)


def main():
    if not os.access(SERVER, os.X_OK):
        sys.exit(f"missing {SERVER}: build tembrel-server first")
    port = free_port()
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy")
        server = subprocess.Popen(
            [SERVER, "--headless", "--audio", "null", "--port", str(port), "--spectrum", "60",
             "--location", os.path.join(ROOT, "demo", "music"),
             "--settings", os.path.join(work, "s.ini"), "--upload-dir", os.path.join(work, "up")],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for _ in range(300):
                try:
                    socket.create_connection(("127.0.0.1", port)).close()
                    break
                except OSError:
                    time.sleep(0.1)
            time.sleep(0.5)
            lone, _ = burst(port, 1)
            for count in (20, 200):
                ms, unfinished = burst(port, count)
                print(f"connect burst {count:3d}: {ms:8.2f} ms until all connected "
                      f"({unfinished} unfinished); one lone connect {lone:.2f} ms; "
                      f"ratio {ms / lone:.1f}")
            monitor = Monitor(port)
            quiet = [monitor.round_trip() for _ in range(50)]
            quiet_worst = max(q for q in quiet if q is not None)
            before = rss_kib(server.pid)
            peak, after, worst, secs, left = sleepers_attack(port, server.pid, monitor)
            print(f"RSS before {before / 1024:.1f} MiB; with {SLEEPERS} users that never read "
                  f"peak {peak / 1024:.1f} MiB ({peak / before:.2f}x), after they were dropped "
                  f"{after / 1024:.1f} MiB ({after / before:.2f}x); all dropped after {secs:.1f} s "
                  f"({left} left)")
            print(f"monitor round trip: worst {worst:.1f} ms during the attack, "
                  f"{quiet_worst:.1f} ms before it (ratio {worst / quiet_worst:.1f})")
        finally:
            server.terminate()
            server.wait(timeout=15)


if __name__ == "__main__":
    main()
