"""The headless server tells a notify-type service manager it is ready only
once it listens, reports a SIGHUP rescan as reloading then ready again, and
says it is stopping on SIGTERM."""
import os
import signal
import socket
import subprocess
import sys
import tempfile

server, music = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp(prefix="tembrel-notify-")
notify_path = os.path.join(work, "notify")
manager = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
manager.bind(notify_path)
manager.settimeout(20)

probe = socket.socket()
probe.bind(("127.0.0.1", 0))
port = probe.getsockname()[1]
probe.close()

env = dict(os.environ, NOTIFY_SOCKET=notify_path, SDL_AUDIODRIVER="dummy")
process = subprocess.Popen(
    [server, "--headless", "--audio", "null", "--port", str(port), "--web", "off",
     "--settings", os.path.join(work, "s.ini"), "--upload-dir", os.path.join(work, "up"),
     "--location", music],
    env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def expect(state):
    got = manager.recv(256).decode()
    if got != state:
        raise SystemExit(f"expected {state!r}, got {got!r}")


try:
    expect("READY=1")
    socket.create_connection(("127.0.0.1", port), timeout=5).close()
    process.send_signal(signal.SIGHUP)
    expect("RELOADING=1")
    expect("READY=1")
    process.send_signal(signal.SIGTERM)
    expect("STOPPING=1")
    if process.wait(timeout=20) != 0:
        raise SystemExit("the server did not end cleanly")
finally:
    process.kill()
