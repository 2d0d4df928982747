#!/usr/bin/env python3
"""The longest stall of the server's event loop while a client makes it read
hostile files, measured by a monitor user's echo round trips.

Starts tembrel-server headless (silent audio) on a library holding a 2 GiB
sparse ".mp3" (all zeros, no audio) and a large album picture, then one
attacker user in turn:

* queues the sparse file from the library and plays it;
* uploads 256 MiB of zeros named ".mp3" and finishes the upload;
* queues a real track of the same album and asks for its large picture.

Meanwhile a monitor user sends echo requests back to back. For each step it
prints how long the step took and the monitor's worst round trip during it,
against the monitor's worst round trip while nothing else happened.

    bench/main_thread_stall.py [BUILD_DIR]
"""
import os
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402

BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(benchlib.ROOT, "build")
SPARSE_BYTES = 2 << 30
UPLOAD_BYTES = 256 << 20
CHUNK_BYTES = 1 << 20
PICTURE_BYTES = 12 << 20


class Monitor(threading.Thread):
    """Echo round trips back to back, each kept with when it ran."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.user = benchlib.User(port, "monitor")
        self.samples = []
        self.running = True

    def run(self):
        n = 0
        while self.running:
            n += 1
            start = time.perf_counter()
            rt = self.user.round_trip(f"m{n}", timeout=600)
            self.samples.append((start, time.perf_counter(), rt if rt is not None else 1e9))
            time.sleep(0.002)

    def worst_between(self, a, b):
        return max((rt for s, e, rt in self.samples if e >= a and s <= b), default=0.0)


def make_library(root):
    album = os.path.join(root, "music", "Zeros", "Nothing")
    os.makedirs(album)
    with open(os.path.join(album, "01 Sparse.mp3"), "wb") as f:
        f.truncate(SPARSE_BYTES)
    demo = os.path.join(benchlib.ROOT, "demo", "music", "Aurora Vale", "Northern Lights")
    with open(os.path.join(demo, "01 Polar Morning.mp3"), "rb") as src, \
            open(os.path.join(album, "02 Real.mp3"), "wb") as dst:
        dst.write(src.read())
    with open(os.path.join(album, "Folder.jpg"), "wb") as f:
        f.write(b"\xff\xd8" + os.urandom(PICTURE_BYTES - 2))
    return os.path.join(root, "music")


def queue_and_play(user):
    user.command("GetAlbums", "2")
    user.command("GetAlbumTracks", "2")
    user.command("PlayAlbumTrack", "2")
    answer = user.until(lambda v: v[:1] == ["^Error"], timeout=120)
    print(f"  the server answered: {answer[1] if answer else 'nothing'}")
    user.command("PlayTrack", "1")
    user.command("GetInfo")
    user.until(lambda v: v[:1] == ["^Status"])


def upload_zeros(user):
    path = "C:\\up\\zeros.mp3"
    user.command("StartFile", 0, 0, path, "", 7)
    user.until(lambda v: v[:1] == ["^GetFileChunk"])
    chunk = bytes(CHUNK_BYTES)
    for _ in range(UPLOAD_BYTES // CHUNK_BYTES):
        user.command("SendFile", chunk, CHUNK_BYTES, path, "", 0)
        if user.until(lambda v: v[:1] in (["^GetFileChunk"], ["^Error"])) is None:
            break
    user.command("EndFile", 0, 0, path, "", 0, "C:\\Music\\Z\\N\\zeros.mp3")
    answer = user.until(lambda v: v[:1] == ["^Error"], timeout=120)
    print(f"  the server answered: {answer[1] if answer else 'nothing'}")


def queue_real(user):
    user.command("GetAlbums", "2")
    user.command("GetAlbumTracks", "2")
    user.command("PlayAlbumTrack", "3")
    user.until(lambda v: v[:1] == ["^Error"], timeout=120)
    time.sleep(1.5)  # past the start of the output device


def large_picture(user):
    user.command("GetDetail", "1")
    user.until(lambda v: v[:1] in (["^Image"], ["^NoImage"]))


def main():
    if not os.access(os.path.join(BUILD, "src", "tembrel-server"), os.X_OK):
        sys.exit(f"missing tembrel-server in {BUILD}: build it first")
    with tempfile.TemporaryDirectory() as work:
        music = make_library(work)
        with benchlib.headless_server(BUILD, work, "--location", music, "--upload-dir",
                                      os.path.join(work, "up")) as (port, _):
            monitor = Monitor(port)
            monitor.start()
            time.sleep(1.0)  # past the join's replies
            settled = time.perf_counter()
            time.sleep(2.0)
            quiet = monitor.worst_between(settled, time.perf_counter())
            print(f"monitor's worst round trip with nothing else going on: {quiet:.1f} ms")
            for number, (name, step) in enumerate( (("queue and play a 2 GiB sparse .mp3", queue_and_play),
                               ("upload 256 MiB of zeros as .mp3", upload_zeros),
                               ("queue and play a real track", queue_real),
                               ("ask for its 12 MiB album picture", large_picture))):
                attacker = benchlib.User(port, f"attacker{number}")
                time.sleep(0.5)
                start = time.perf_counter()
                step(attacker)
                end = time.perf_counter()
                time.sleep(0.05)
                worst = monitor.worst_between(start, end)
                print(f"{name}: took {(end - start) * 1000:.0f} ms; monitor's worst round trip "
                      f"{worst:.1f} ms (ratio {worst / max(quiet, 0.01):.1f} to quiet)")
            monitor.running = False
            monitor.join(timeout=30)


if __name__ == "__main__":
    main()
