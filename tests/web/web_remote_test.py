#!/usr/bin/python3
"""The web remote in a real browser against the real server on loopback: a
guest joins by the page's address, browses the demo library, queues, plays,
changes the volume, uploads, searches; a second browser and a TCP user see
each other's changes; a cross-origin upgrade is refused; the page comes back
after a server restart.

  web_remote_test.py --server BUILD/src/tembrel-server --music demo/music
                     [--screenshots DIR]

Exits 77 (skipped) when Chromium, its driver or Selenium is missing."""

import argparse
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request
from urllib.parse import urljoin

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

SKIPPED = 77
WAIT_S = 10


def wait(driver, condition, what, timeout=WAIT_S):
    from selenium.common.exceptions import NoSuchElementException, StaleElementReferenceException
    from selenium.webdriver.support.ui import WebDriverWait
    try:
        return WebDriverWait(driver, timeout, poll_frequency=0.05,
                             ignored_exceptions=(NoSuchElementException, StaleElementReferenceException)
                             ).until(lambda d: condition(d))
    except Exception as error:
        raise AssertionError(f"timed out waiting for {what}") from error


def by_id(driver, element_id):
    return driver.find_element("id", element_id)


def text_of(driver, element_id):
    """The element's text, also while its section is hidden (phone layout)."""
    return by_id(driver, element_id).get_attribute("textContent").strip()


def row(driver, list_id, name):
    """The first row button of a list whose name reads `name`."""
    return driver.find_element(
        "xpath", f"//*[@id='{list_id}']//button[contains(@class,'row')][.//span[@class='name' and text()='{name}']]")


def has_row(list_id, name):
    def check(driver):
        try:
            return row(driver, list_id, name)
        except Exception:
            return False
    return check


def tab(driver, section):
    buttons = driver.find_elements("css selector", f".tabs button[data-show='{section}']")
    if buttons and buttons[0].is_displayed():
        buttons[0].click()


def toast_says(pattern):
    return lambda d: re.search(pattern, text_of(d, "toast"))


def open_page(driver, server, name):
    driver.get(f"{server.url}/?name={name}")
    wait(driver, lambda d: d.find_element("tag name", "body").get_attribute("data-status") == "shown",
         f"{name}'s page to show the status")
    assert text_of(driver, "link") == name, f"the page is not joined as {name}"


def texts(driver, selector):
    """The texts of every element the selector finds, read at one moment."""
    return driver.execute_script(
        "return [...document.querySelectorAll(arguments[0])].map((e) => e.textContent);", selector)


def people(driver):
    return texts(driver, "#people-list .name")


def make_tone(folder, file_name, title):
    path = os.path.join(folder, file_name)
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "sine=frequency=660:duration=3", "-c:a", "libmp3lame", "-b:a", "64k",
                    "-id3v2_version", "3", "-write_id3v1", "1",
                    "-metadata", f"title={title}", "-metadata", "artist=Guest", path], check=True)
    return path


SMALL_CONTROLS = """
return [...document.querySelectorAll('button, input, select, label.button')]
  .filter((e) => e.offsetParent !== null && !e.classList.contains('vh'))
  .map((e) => [e.id || e.textContent.trim() || e.outerHTML.slice(0, 60), e.getBoundingClientRect(),
               (e.getAttribute('aria-label') || e.textContent || (e.labels && e.labels[0]?.textContent) || '').trim()])
  .filter(([, box, name]) => box.width < 44 || box.height < 44 || !name)
  .map(([what, box, name]) => `${what}: ${Math.round(box.width)}x${Math.round(box.height)} "${name}"`);
"""


def manifest(driver):
    """The page offers a web app manifest the browser reads without errors."""
    answer = driver.execute_cdp_cmd("Page.getAppManifest", {})
    assert answer.get("url", "").endswith("/app/manifest.webmanifest"), answer
    assert not answer.get("errors"), answer["errors"]
    icons = json.loads(answer["data"])["icons"]
    sizes = set()
    for icon in icons:
        with urllib.request.urlopen(urljoin(answer["url"], icon["src"]), timeout=5) as reply:
            body = reply.read()
            assert reply.headers["Content-Type"].startswith(icon["type"]), icon
        if icon["type"] == "image/png":
            width, height = struct.unpack(">II", body[16:24])
            assert icon["sizes"] == f"{width}x{height}", f"{icon['src']} is {width}x{height}"
            sizes.add(width)
    assert {192, 512} <= sizes, f"home-screen icons: {sizes}"


def touch_targets(phone):
    """Every control of every section is at least 44 px each way and named."""
    for section in ("now", "library", "queue", "upload", "people"):
        tab(phone, section)
        small = phone.execute_script(SMALL_CONTROLS)
        assert not small, f"controls too small or unnamed in {section}: {small}"


def browse_and_queue(anna, tcp):
    tab(anna, "library")
    wait(anna, has_row("lib-list", "Aurora Vale"), "the artists")
    row(anna, "lib-list", "Aurora Vale").click()
    wait(anna, has_row("lib-list", "Northern Lights"), "the albums of Aurora Vale")
    wait(anna, has_row("lib-list", "Lighthouse"), "the loose track of Aurora Vale")
    row(anna, "lib-list", "Northern Lights").click()
    wait(anna, has_row("lib-list", "01 Polar Morning"), "the tracks of Northern Lights")
    since = tcp.mark()
    row(anna, "lib-list", "01 Polar Morning").click()
    wait(anna, toast_says(r"Polar Morning\] Added to playlist"), "the queueing confirmation")
    tcp.wait_for(lambda i, v: v[:1] == ["^AddTrack"] and "Polar Morning" in v[1], since, what="the queued track")


def sees_it_play(anna):
    tab(anna, "now")
    wait(anna, lambda d: text_of(d, "title") == "Polar Morning", "the title of the playing track")
    wait(anna, lambda d: text_of(d, "state") == "Playing", "the play state")
    wait(anna, lambda d: re.fullmatch(r"\d+:\d\d", text_of(d, "elapsed")), "an elapsed time")
    first = text_of(anna, "elapsed")
    wait(anna, lambda d: re.fullmatch(r"\d+:\d\d", text_of(d, "elapsed")) and text_of(d, "elapsed") != first,
         "the elapsed time to move on", timeout=5)
    assert text_of(anna, "length") == "0:12", f"track length shown as {text_of(anna, 'length')}"
    wait(anna, lambda d: by_id(d, "art").get_attribute("naturalWidth") not in (None, "0"), "the album picture")
    wait(anna, lambda d: by_id(d, "spectrum").get_attribute("data-state") == "on", "the spectrum")
    by_id(anna, "play").click()
    wait(anna, lambda d: text_of(d, "state") == "Paused", "the pause")
    by_id(anna, "play").click()
    wait(anna, lambda d: text_of(d, "state") == "Playing", "the track to resume")
    # Dragging the seek bar to three quarters of the 12 s track.
    anna.execute_script("const s = document.getElementById('seek'); s.value = s.max * 0.75;"
                        "s.dispatchEvent(new Event('change'));")
    wait(anna, lambda d: re.fullmatch(r"0:(0[89]|1\d)", text_of(d, "elapsed")), "the seek to 0:09")


def volume(anna, tcp):
    assert text_of(anna, "volume-text") == "50%"
    since = tcp.mark()
    by_id(anna, "vol-up").click()
    wait(anna, lambda d: text_of(d, "volume-text") == "56%", "the volume to rise a step")
    tcp.wait_for(lambda i, v: v[:2] == ["^Volume", "56"], since, what="the new volume")


def upload(anna, server, folder):
    """Two files chosen at once: each gets its own bar and its own answer. The
    second is no audio file, so the server refuses it."""
    tab(anna, "upload")
    tone = make_tone(folder, "guest tone.mp3", "Web Upload Tone")
    bogus = os.path.join(folder, "notes.mp3")
    with open(bogus, "wb") as out:
        out.write(b"these are notes, not music\n" * 8000)
    by_id(anna, "files").send_keys(f"{tone}\n{bogus}")
    wait(anna, lambda d: len(texts(d, "#upload-list .result")) == 2, "two uploads listed")
    wait(anna, lambda d: "Web Upload Tone] Added to playlist" in texts(d, "#upload-list .result")[0], "the upload to queue")
    wait(anna, lambda d: texts(d, "#upload-list .result")[1].startswith("Cannot play track"), "the refusal of the bogus file")
    bars = anna.execute_script("return [...document.querySelectorAll('#upload-list progress')].map((p) => [p.value, p.max]);")
    assert bars[0][0] == bars[0][1] == os.path.getsize(tone), f"the first bar is not full: {bars}"
    assert bars[1][0] == bars[1][1] == os.path.getsize(bogus), f"the second file was not sent whole: {bars}"
    assert anna.find_elements("css selector", "#upload-list li.failed"), "the refusal is not marked"
    stored = sorted(os.listdir(server.uploads))
    assert any(name.endswith("guest tone.mp3") for name in stored), f"upload folder holds {stored}"


def search(anna):
    tab(anna, "library")
    field = by_id(anna, "search")
    field.clear()
    field.send_keys("light")
    wait(anna, has_row("lib-list", "Northern Lights"), "the album found by search")
    wait(anna, has_row("lib-list", "Lighthouse"), "the track found by search")
    assert not anna.find_elements("xpath", "//*[@id='lib-list']//span[text()='Mira Okon']"), "search shows too much"
    row(anna, "lib-list", "Lighthouse").click()
    wait(anna, toast_says(r"Lighthouse\] Added to playlist"), "the found track to queue")
    field.clear()
    field.send_keys("sketch")
    wait(anna, has_row("lib-list", "Sketches"), "the album Sketches found by search")
    anna.find_element("css selector", "#lib-list button[aria-label='Queue the album Sketches']").click()
    wait(anna, toast_says(r"Queued 2 of 2 tracks of Sketches"), "the whole album to queue")
    tab(anna, "queue")
    wait(anna, lambda d: len(d.find_elements("css selector", "#queue-list li")) == 5, "five queue entries")


def join_by_dialog(bob, server):
    """Without ?name= the page asks once, then remembers the name."""
    bob.get(f"{server.url}/")
    wait(bob, lambda d: by_id(d, "join").get_attribute("open") is not None, "the name dialog")
    by_id(bob, "join-name").send_keys("bob\n")
    wait(bob, lambda d: d.find_element("tag name", "body").get_attribute("data-status") == "shown", "bob joined")
    bob.refresh()
    wait(bob, lambda d: d.find_element("tag name", "body").get_attribute("data-status") == "shown", "bob back")
    assert by_id(bob, "join").get_attribute("open") is None, "the name was asked again"
    assert text_of(bob, "link") == "bob"


def two_browsers_and_tcp(anna, bob, tcp, server):
    join_by_dialog(bob, server)
    wait(anna, lambda d: people(d).count("bob") == 1, "bob once in anna's people")
    names = texts(bob, "#queue-list .name")
    assert names == ["Polar Morning", "Web Upload Tone", "Lighthouse", "Charcoal", "Watercolour"], names
    wait(bob, lambda d: texts(d, "#queue-list li[aria-current=true] .name") == [text_of(anna, "title")],
         "the same current entry on both pages")
    since = tcp.mark()
    by_id(bob, "shuffle").click()
    wait(anna, lambda d: by_id(d, "shuffle").get_attribute("aria-pressed") == "true", "bob's shuffle on anna's page")
    tcp.wait_for(lambda i, v: v[:1] == ["^ShuffleOn"], since, what="bob's shuffle")
    tcp.command("Repeat")
    for page in (anna, bob):
        wait(page, lambda d: by_id(d, "repeat").get_attribute("aria-pressed") == "true", "carl's repeat")
    tcp.command("Up")
    wait(bob, lambda d: text_of(d, "volume-text") == "62%", "carl's volume step on bob's page")
    since = tcp.mark()
    row(bob, "queue-list", "Lighthouse").click()
    wait(anna, lambda d: text_of(d, "title") == "Lighthouse", "bob's choice playing on anna's page")
    tcp.wait_for(lambda i, v: v[:2] == ["^TrackNo", "3"], since, what="bob's choice of entry 3")


def queue_limit(anna, tcp):
    """Fills the queue to two short of full from the TCP side; a whole album
    then queues only what fits and says so, and a single track is refused."""
    tcp.command("GetAlbums", "2")
    have = len(texts(anna, "#queue-list li"))
    capacity = 50
    for _ in range(capacity - 2 - have):
        tcp.command("PlayAlbumTrack", "2")
    wait(anna, lambda d: len(texts(d, "#queue-list li")) == capacity - 2, "the queue to fill up")
    tab(anna, "library")
    field = by_id(anna, "search")
    field.clear()
    field.send_keys("northern")
    wait(anna, has_row("lib-list", "Northern Lights"), "the album Northern Lights found by search")
    anna.find_element("css selector", "#lib-list button[aria-label='Queue the album Northern Lights']").click()
    wait(anna, toast_says(r"Queued 2 of 3 tracks of Northern Lights\. The queue holds 50 tracks"),
         "the album cut to what fits")
    assert "bad" in by_id(anna, "toast").get_attribute("class"), "a cut album is not shown as a refusal"
    field.clear()
    field.send_keys("charcoal")
    wait(anna, has_row("lib-list", "01 Charcoal"), "the track Charcoal found by search")
    row(anna, "lib-list", "01 Charcoal").click()
    wait(anna, toast_says(r"Cannot play track: Playlist is full"), "the refusal of a track to a full queue")
    assert len(texts(anna, "#queue-list li")) == capacity


def cross_origin(server):
    assert "403" in harness.upgrade_status(server.web_port, "http://evil.example"), "a foreign page was let in"
    own = harness.upgrade_status(server.web_port, f"http://127.0.0.1:{server.web_port}")
    assert " 101 " in own, f"the page's own origin was refused: {own}"


def screenshots(anna, bob, folder):
    """Both pages with a track of an album that has a picture playing."""
    row(bob, "queue-list", "Polar Morning").click()
    tab(anna, "now")
    wait(anna, lambda d: text_of(d, "title") == "Polar Morning", "the track for the screenshots")
    for page in (anna, bob):
        wait(page, lambda d: by_id(d, "art").get_attribute("naturalWidth") not in (None, "0"), "the album picture")
        wait(page, lambda d: re.fullmatch(r"\d+:\d\d", text_of(d, "elapsed")), "an elapsed time")
    time.sleep(0.5)
    anna.save_screenshot(os.path.join(folder, "web-remote-phone.png"))
    bob.save_screenshot(os.path.join(folder, "web-remote-desktop.png"))


def restart(anna, server):
    from selenium.webdriver.common.keys import Keys
    server.stop()
    wait(anna, lambda d: by_id(d, "banner").is_displayed(), "the connection-lost banner")
    server.start()
    wait(anna, lambda d: not by_id(d, "banner").is_displayed(), "the page to reconnect", timeout=20)
    wait(anna, lambda d: text_of(d, "title") == "Playlist is empty", "the new server's status")
    tab(anna, "library")
    wait(anna, has_row("lib-list", "01 Charcoal"), "the search asked again after reconnecting")
    by_id(anna, "search").send_keys(Keys.ESCAPE)
    wait(anna, has_row("lib-list", "Aurora Vale"), "the artists after reconnecting")


def console_errors(driver):
    return [e["message"] for e in driver.get_log("browser")
            if e["level"] == "SEVERE" and "WebSocket" not in e["message"] and "protocol.json" not in e["message"]]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--music", required=True)
    parser.add_argument("--screenshots")
    args = parser.parse_args()
    missing = harness.browser_tools_missing()
    if missing:
        print(f"skipped: {missing} is not installed")
        return SKIPPED
    server = harness.Server(args.server, args.music)
    drivers = []
    tcp = None
    started = time.monotonic()

    def step(action, *arguments):
        begun = time.monotonic()
        result = action(*arguments)
        print(f"  {action.__name__}: {time.monotonic() - begun:.1f} s", flush=True)
        return result

    try:
        server.start()
        anna = harness.browser()
        drivers.append(anna)
        step(open_page, anna, server, "anna")
        tcp = harness.TcpUser(server.port, "carl")
        wait(anna, lambda d: "carl" in people(d), "carl in anna's people")
        step(browse_and_queue, anna, tcp)
        step(sees_it_play, anna)
        step(volume, anna, tcp)
        with tempfile.TemporaryDirectory() as folder:
            step(upload, anna, server, folder)
        step(search, anna)
        step(touch_targets, anna)
        step(manifest, anna)
        bob = harness.browser(1280, 800, mobile=False)
        drivers.append(bob)
        step(two_browsers_and_tcp, anna, bob, tcp, server)
        if args.screenshots:
            step(screenshots, anna, bob, args.screenshots)
        step(queue_limit, anna, tcp)
        step(cross_origin, server)
        step(restart, anna, server)
        for driver in drivers:
            errors = console_errors(driver)
            assert not errors, f"the page logged errors: {errors}"
        print(f"web remote: all steps passed in {time.monotonic() - started:.1f} s")
        return 0
    except Exception:
        print(f"--- server log ---\n{server.log()}", file=sys.stderr)
        for driver in drivers:
            print(f"--- browser log ---\n{driver.get_log('browser')}", file=sys.stderr)
        raise
    finally:
        if tcp:
            tcp.close()
        for driver in drivers:
            driver.quit()
        server.close()


if __name__ == "__main__":
    sys.exit(main())
