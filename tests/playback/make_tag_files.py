#!/usr/bin/python3
"""Writes one audio file per tag situation into OUT and a manifest of what a
reader must find in each: lines of situation, file, title, artist, album
separated by tabs. Audio comes from ffmpeg, lame and id3v2; tags from those
tools, from mutagen, and byte by byte where no tool writes the case."""
import os
import shutil
import struct
import subprocess
import sys

from mutagen.apev2 import APEv2
from mutagen.id3 import ID3, TALB, TIT2, TPE1

OUT = sys.argv[1]
rows = []


def path(name):
    return os.path.join(OUT, name)


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def ffmpeg(name, *codec, meta=None):
    args = ["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=f=440:d=1"]
    for key, value in (meta or {}).items():
        args += ["-metadata", f"{key}={value}"]
    run(*args, *codec, path(name))


def expect(situation, name, title, artist, album):
    rows.append("\t".join([situation, name, title, artist, album]))


def synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def frame(version, fid, body, flags=b"\0\0"):
    if version == 2:
        return fid.encode() + struct.pack(">I", len(body))[1:] + body
    size = synchsafe(len(body)) if version == 4 else struct.pack(">I", len(body))
    return fid.encode() + size + flags + body


def unsync(data):
    return data.replace(b"\xff", b"\xff\x00")


def with_tag(name, tag, tail=b""):
    with open(path("plain.mp3"), "rb") as audio:
        data = audio.read()
    with open(path(name), "wb") as out:
        out.write(tag + data + tail)


def id3v2(version, flags, body):
    return b"ID3" + bytes([version, 0, flags]) + synchsafe(len(body)) + body


def id3v1(title, artist, album):
    pad = lambda text: text[:30].ljust(30, b"\0")
    return b"TAG" + pad(title) + pad(artist) + pad(album) + b"2024" + b"\0" * 30 + b"\xff"


def mutagen_mp3(name, version, encoding, title, artist, album):
    shutil.copy(path("plain.mp3"), path(name))
    tags = ID3()
    tags.add(TIT2(encoding=encoding, text=title))
    tags.add(TPE1(encoding=encoding, text=artist))
    tags.add(TALB(encoding=encoding, text=album))
    tags.save(path(name), v2_version=version)


os.makedirs(OUT, exist_ok=True)
ffmpeg("plain.mp3", "-c:a", "libmp3lame", "-id3v2_version", "0", "-write_xing", "0")

# ID3v2 in every version and text encoding.
mutagen_mp3("v23-utf16.mp3", 3, 1, "Café Ünïcode", "Ärtist", "Albüm")
mutagen_mp3("v24-utf8.mp3", 4, 3, "日本語 Title", "Artist ø", "Album ß")
mutagen_mp3("v24-utf16be.mp3", 4, 2, "Grüße", "Wölfe", "Nächte")
mutagen_mp3("v23-latin1.mp3", 3, 0, "Café", "Señor", "Été")
expect("ID3v2.3 UTF-16", "v23-utf16.mp3", "Café Ünïcode", "Ärtist", "Albüm")
expect("ID3v2.4 UTF-8", "v24-utf8.mp3", "日本語 Title", "Artist ø", "Album ß")
expect("ID3v2.4 UTF-16BE", "v24-utf16be.mp3", "Grüße", "Wölfe", "Nächte")
expect("ID3v2.3 Latin-1", "v23-latin1.mp3", "Café", "Señor", "Été")

v22 = (frame(2, "TT2", b"\x00Caf\xe9 Two") + frame(2, "TP1", b"\x01" + "Zwei Ä".encode("utf-16"))
       + frame(2, "TAL", b"\x00Old Album"))
with_tag("v22.mp3", id3v2(2, 0, v22))
expect("ID3v2.2", "v22.mp3", "Café Two", "Zwei Ä", "Old Album")

frames23 = (frame(3, "TIT2", b"\x00Extended Title") + frame(3, "TPE1", b"\x01" + "Ärtist X".encode("utf-16"))
            + frame(3, "TALB", b"\x00Extended Album"))
extended23 = struct.pack(">I", 6) + b"\0\0" + struct.pack(">I", 0)
with_tag("v23-extended.mp3", id3v2(3, 0x40, extended23 + frames23))
expect("ID3v2.3 extended header", "v23-extended.mp3", "Extended Title", "Ärtist X", "Extended Album")

frames24 = (frame(4, "TIT2", b"\x03" + "Vier ü".encode()) + frame(4, "TPE1", b"\x00Four Artist")
            + frame(4, "TALB", b"\x00Four Album"))
extended24 = synchsafe(6) + b"\x01\x00"
with_tag("v24-extended.mp3", id3v2(4, 0x40, extended24 + frames24))
expect("ID3v2.4 extended header", "v24-extended.mp3", "Vier ü", "Four Artist", "Four Album")

# 0xFF bytes in the texts make the unsynchronisation change the bytes.
frames_ff = (frame(3, "TIT2", b"\x00Sync \xff\xe9") + frame(3, "TPE1", b"\x01" + "ÿ Artist".encode("utf-16"))
             + frame(3, "TALB", b"\x00Album \xff"))
with_tag("v23-unsync.mp3", id3v2(3, 0x80, unsync(frames_ff)))
expect("ID3v2.3 unsynchronisation", "v23-unsync.mp3", "Sync ÿé", "ÿ Artist", "Album ÿ")
with_tag("v23-extended-unsync.mp3", id3v2(3, 0xC0, unsync(extended23 + frames_ff)))
expect("ID3v2.3 extended header and unsynchronisation", "v23-extended-unsync.mp3", "Sync ÿé",
       "ÿ Artist", "Album ÿ")

frames24_ff = b"".join(frame(4, fid, unsync(body), b"\x00\x02") for fid, body in [
    ("TIT2", b"\x00Sync \xff\xe9"), ("TPE1", b"\x03" + "ÿ Vier".encode()), ("TALB", b"\x00Album \xff")])
with_tag("v24-unsync.mp3", id3v2(4, 0x80, frames24_ff))
expect("ID3v2.4 unsynchronisation", "v24-unsync.mp3", "Sync ÿé", "ÿ Vier", "Album ÿ")

# ID3v1: UTF-8 when valid, else Windows-1252.
with_tag("v1-utf8.mp3", b"", id3v1("Café ☕".encode(), "Ünïcode".encode(), "Straße".encode()))
expect("ID3v1 UTF-8", "v1-utf8.mp3", "Café ☕", "Ünïcode", "Straße")
with_tag("v1-cp1252.mp3", b"", id3v1(b"Caf\xe9 \x80 \x93q\x94", b"Se\xf1or", b"\x8aum"))
expect("ID3v1 Windows-1252", "v1-cp1252.mp3", "Café € “q”", "Señor", "Šum")

# A long Latin-1 title: every character takes two bytes in UTF-8.
mutagen_mp3("long-latin1.mp3", 3, 0, "é" * 1100, "Long", "Long Album")
expect("long Latin-1 text", "long-latin1.mp3", "é" * 512, "Long", "Long Album")

# APEv2 (with an ID3v1 tag that it wins over).
with_tag("ape.mp3", b"", id3v1(b"V1 Title", b"V1 Artist", b"V1 Album"))
ape = APEv2()
ape["Title"], ape["Artist"], ape["Album"] = "Ape Tïtle", "Ape Ärtist", "Ape Album"
ape.save(path("ape.mp3"))
expect("APEv2", "ape.mp3", "Ape Tïtle", "Ape Ärtist", "Ape Album")

# Taggers and encoders writing their defaults.
shutil.copy(path("plain.mp3"), path("id3v2-tool.mp3"))
run("id3v2", "-t", "Tool Title", "-a", "Tool Artist", "-A", "Tool Album", path("id3v2-tool.mp3"))
expect("id3v2 tool", "id3v2-tool.mp3", "Tool Title", "Tool Artist", "Tool Album")
run("ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=f=440:d=1", "-f", "wav", path("plain.wav"))
run("lame", "--quiet", "--tt", "Lame Títle", "--ta", "Lame Ärtist", "--tl", "Lame Album",
    path("plain.wav"), path("lame.mp3"))
expect("lame", "lame.mp3", "Lame Títle", "Lame Ärtist", "Lame Album")
meta = {"title": "Fümf Title", "artist": "Fümf Artist", "album": "Fümf Album"}
ffmpeg("ffmpeg.mp3", "-c:a", "libmp3lame", meta=meta)
expect("ffmpeg MP3", "ffmpeg.mp3", *meta.values())
ffmpeg("ffmpeg-v23.mp3", "-c:a", "libmp3lame", "-id3v2_version", "3", meta=meta)
expect("ffmpeg MP3 ID3v2.3", "ffmpeg-v23.mp3", *meta.values())

# Every other format the server plays.
for name, codec in [("asf.wma", ["-c:a", "wmav2"]), ("vorbis.ogg", ["-c:a", "libvorbis"]),
                    ("opus.opus", ["-c:a", "libopus"]), ("flac.flac", ["-c:a", "flac"]),
                    ("ogg-flac.oga", ["-c:a", "flac", "-f", "ogg"]), ("mp4.m4a", ["-c:a", "aac"]),
                    ("riff.wav", ["-c:a", "pcm_s16le"])]:
    texts = {"title": f"{name} Tïtle", "artist": f"{name} Ärtist", "album": f"{name} Album"}
    ffmpeg(name, *codec, meta=texts)
    expect(name.split(".")[0], name, *texts.values())

# An upload stored under a name without an extension: the content tells.
mutagen_mp3("upload", 4, 3, "Uploaded Tïtle", "Uploaded Artist", "Uploaded Album")
expect("upload without extension", "upload", "Uploaded Tïtle", "Uploaded Artist", "Uploaded Album")

with open(path("manifest.tsv"), "w", encoding="utf-8") as manifest:
    manifest.write("\n".join(rows) + "\n")
