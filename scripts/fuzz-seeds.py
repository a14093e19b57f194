#!/usr/bin/env python3
"""Makes small valid inputs for each fuzz target into OUT/<target>/ (one file each).

Usage: scripts/fuzz-seeds.py OUT BUILD_FUZZ_DIR
Needs the ffmpeg command for the audio seeds and the fuzz build's library seed tool.
"""
import json
import os
import struct
import subprocess
import sys
import tempfile

out, build = sys.argv[1], sys.argv[2]


def put(target, name, data):
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def http_reply(body, status="200 OK", extra=""):
    body = body.encode("utf-8") if isinstance(body, str) else body
    head = f"HTTP/1.1 {status}\r\nContent-Length: {len(body)}\r\nConnection: close\r\n{extra}\r\n"
    return head.encode() + body


# ---- audio files: the extension picked by the last byte, in the fuzz target's order ----
EXTS = ["mp3", "wav", "ogg", "flac", "m4a", "opus", "wv", "tta", "ac3", "wma", "ape", "mp2", "aif"]
CODECS = {
    "mp3": ["-c:a", "libmp3lame", "-b:a", "32k"], "wav": ["-c:a", "pcm_s16le"],
    "ogg": ["-c:a", "libvorbis"], "flac": ["-c:a", "flac"], "m4a": ["-c:a", "aac", "-b:a", "32k"],
    "opus": ["-c:a", "libopus", "-b:a", "16k", "-ar", "48000"], "wv": ["-c:a", "wavpack"],
    "tta": ["-c:a", "tta"], "ac3": ["-c:a", "ac3", "-b:a", "64k"], "wma": ["-c:a", "wmav2"],
    "mp2": ["-c:a", "mp2", "-b:a", "32k"], "aif": ["-c:a", "pcm_s16be"],
}
with tempfile.TemporaryDirectory() as tmp:
    for ext, codec in CODECS.items():
        path = os.path.join(tmp, "tone." + ext)
        rate = "48000" if ext == "opus" else "8000"
        meta = ["-metadata", "title=晴天", "-metadata", "artist=周杰伦", "-metadata", "album=叶惠美"]
        cmd = ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi",
               "-i", f"sine=frequency=440:sample_rate={rate}:duration=0.15", *meta, *codec, path]
        if subprocess.run(cmd).returncode != 0:
            continue
        with open(path, "rb") as f:
            data = f.read()
        put("audio_file", "tone_" + ext, data + bytes([EXTS.index(ext)]))
    # A GB18030 ID3v1 title on an MPEG frame run.
    with open(os.path.join(tmp, "tone.mp3"), "rb") as f:
        mp3 = f.read()
    title = "晴天".encode("gb18030").ljust(30, b"\0")
    v1 = b"TAG" + title + title + title + b"2003" + title + bytes([12])
    put("audio_file", "id3v1_gb18030", mp3 + v1 + bytes([0]))

# ---- tag text: choice byte (bits 0-1 ID3v2 encoding, bit 2 version 2.4, bits 3-4 container) ----
zh = "周杰伦 晴天"
put("tag_text", "gb18030_id3v2", bytes([0]) + zh.encode("gb18030"))
put("tag_text", "utf16_bom", bytes([1]) + zh.encode("utf-16"))
put("tag_text", "utf16be_v24", bytes([2 | 4]) + zh.encode("utf-16-be"))
put("tag_text", "utf8_v24", bytes([3 | 4]) + zh.encode("utf-8"))
put("tag_text", "gb18030_id3v1", bytes([8]) + zh.encode("gb18030"))
put("tag_text", "gb18030_riff", bytes([16]) + zh.encode("gb18030"))
put("tag_text", "format", bytes([0]) + b"%TITL - %ARTI (%ALBM) %% %YEAR %TRCK %GNRE %CMNT")

# ---- online replies: selector byte, then a body (0) or a raw HTTP reply (1..3) ----
song = {"name": "晴天", "singer": "周杰伦", "album": "叶惠美", "duration": "4:29",
        "mp3": "http://127.0.0.1:8783/tm/music/0.mp3", "imgUrl": ""}
page = json.dumps({"songList": [song] * 3, "page": 0, "total": 3}, ensure_ascii=False)
full = json.dumps({"songList": [song] * 20, "page": 0, "total": 40}, ensure_ascii=False)
version = json.dumps({"data": {"version": "9.0.0.1", "d_url": "http://127.0.0.1:8782/d.tar.gz"}})
put("online_reply", "page_body", b"\0" + page.encode())
put("online_reply", "version_body", b"\0" + version.encode())
put("online_reply", "client_id", b"\0" + b"dword:0x1F\n")
put("online_reply", "duration", b"\0" + b"1:02:03")
put("online_reply", "search_http", b"\1" + http_reply(page, extra="Content-Type: application/json\r\n"))
put("online_reply", "search_full_http", b"\1" + http_reply(full))
put("online_reply", "search_chunked", b"\1" + b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
    + format(len(page.encode()), "x").encode() + b"\r\n" + page.encode() + b"\r\n0\r\n\r\n")
put("online_reply", "version_http", b"\2" + http_reply(version))
put("online_reply", "version_404", b"\2" + http_reply("no", "404 Not Found"))
put("online_reply", "token_http", b"\3" + http_reply("5f3c9a"))

# ---- hand-off: the 20-byte message, then the shared area ----
message = struct.pack("<IQQ", 0x0B12, 0, 0)
put("handoff", "one_path", message + b"\0\0" + "/music/晴天.mp3".encode("utf-16-le") + b"\0\0")
put("handoff", "two_paths", message + b"\0\0" + '"/a b/1.mp3" /c/2.flac'.encode("utf-16-le"))
put("handoff", "lone_surrogate", message + b"\0\0" + b"\x00\xd8a\x00")

# ---- services, parts: eight bytes of file size, then a Range value / form / text ----
small = struct.pack("<Q", 1000 | (1 << 63))
for i, text in enumerate(["bytes=0-99", "bytes=500-", "bytes=-200", "bytes=0-0,5-9", "items=0-1",
                          "a=1&b=%E6%99%B4&c=+&d", "line\nbreak\t\\ \u2028"]):
    put("services_parts", f"part{i}", small + text.encode())

# ---- services over HTTP: the service (0 stat, 1 web, 2 search), then the raw request ----
def req(line, headers="", body=""):
    h = f"{line}\r\nHost: 127.0.0.1\r\n{headers}"
    if body:
        h += f"Content-Type: application/x-www-form-urlencoded\r\nContent-Length: {len(body.encode())}\r\n"
    return (h + "\r\n" + body).encode()

put("services_http", "token", b"\0" + req("GET /interface.php?s=/Count/getToken.html HTTP/1.1"))
put("services_http", "sign", b"\0" + req("POST /interface.php?s=/Count/sign.html HTTP/1.0", body="mac=00-11&uid=1001&c=1&v=5.0.4.227&code=ABC"))
put("services_http", "report", b"\0" + req("POST /interface.php?m=Index&a=tjOper HTTP/1.0", body="oper=open&btnName=play"))
put("services_http", "listening", b"\1" + req("POST /player HTTP/1.0", body="sname=%E6%99%B4&status=1"))
put("services_http", "feedback", b"\1" + req("POST /index.php?m=question&a=suggest HTTP/1.0", body="email=a%40b&content=hi"))
put("services_http", "check", b"\1" + req("GET /player-check_version?check_from=desktop HTTP/1.1"))
put("services_http", "search", b"\2" + req("GET /tm/search/search.html?query=tone&page=1 HTTP/1.1"))
put("services_http", "music_range", b"\2" + req("GET /tm/music/0.mp3 HTTP/1.1", "Range: bytes=100-\r\n"))
put("services_http", "music_suffix", b"\2" + req("GET /tm/music/1 HTTP/1.1", "Range: bytes=-10\r\n"))

# ---- library: a database made by the library's code (even), song texts to store (odd) ----
db = os.path.join(out, "library.db3.tmp")
subprocess.run([os.path.join(build, "fuzz", "melvo_fuzz_library_seed"), db], check=True)
with open(db, "rb") as f:
    put("library_db", "database", b"\0" + f.read())
os.remove(db)
put("library_db", "songs", b"\1" + "晴天\x1f叶惠美\x1f周杰伦\x1f/m/1.mp3\x1eIt's\x1f100%\x1f_x_\x1eit".encode())

# ---- dropped paths: steps that build a folder tree (see fuzz/DroppedPathsFuzzer.cpp) ----
def step(kind, name=b"", extra=None):
    name = name.encode() if isinstance(name, str) else name
    return bytes([kind | (len(name) << 3)]) + name + (b"" if extra is None else bytes([extra]))


FOLDER, UP, FILE, LINK_UP, LINK_TOP, LINK_TO, ODD_LINK, DROP = range(8)
put("dropped_paths", "album", step(FOLDER, "晴天 album") + step(FILE, "01 intro", 0)
    + step(FILE, "02", 2) + step(FILE, "cover", 4) + step(UP) + step(FILE, "loose", 1))
put("dropped_paths", "parent_loop", step(FOLDER, "sub") + step(FILE, "b", 0) + step(LINK_UP, "up")
    + step(LINK_TOP, "top") + step(UP) + step(FILE, "a", 3))
put("dropped_paths", "links", step(FOLDER, "z") + step(FILE, "real", 0) + step(UP)
    + step(LINK_TO, "a-link.mp3", 0x81) + step(LINK_TO, "a-folder", 0) + step(ODD_LINK, "self", 0)
    + step(ODD_LINK, "gone", 1) + step(ODD_LINK, "pipe", 2))
put("dropped_paths", "odd_names", step(FOLDER, b"\xff\xfe\n") + step(FILE, b" lead \xe9", 7)
    + step(FILE, b"back\\slash", 0) + step(UP) + step(FOLDER, ".hidden") + step(FILE, "ghost", 0))
put("dropped_paths", "drops", step(FOLDER, "a") + step(FILE, "x", 0) + step(DROP | 8) + step(UP)
    + step(FILE, "y", 0) + step(DROP) + step(LINK_TO, "l", 1) + step(DROP))
