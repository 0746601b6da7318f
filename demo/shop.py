#!/usr/bin/env python3
"""The demo shop: item pages of all four platforms, their description pages and pictures, served
on one loopback port so the tool can be tried with no account and no network.

The item pages are saved real pages (pages/, see SOURCES.md) with the addresses of their picture
and description servers moved to names under ".localhost", which resolve to this machine. One port
answers both plain HTTP and HTTPS (a connection that opens with a TLS handshake gets TLS), because
the tool builds "https://" addresses from host names itself. Its certificates come from an
authority of its own, made afresh at each start (tls/authority.der), which the scripts that run the
tool against the shop have its Wine prefix trust while they run: the tool sends the cookie only to
a server whose certificate the system trusts.
Pictures are real JPEG or PNG files, drawn once per address with ImageMagick and kept in the state
folder, so the same address always gives the same bytes.

On start it writes into the state folder:
  hosts.txt     the tool's endpoint hosts pointed at the shop, and the platforms' sites mirrored there
                (for its --hosts option)
  links.txt     one line per item: saved page, platform, button caption, link to paste, what it is
  batch.txt     every item's link, a batch file for the tool's --batch option
  cookie.txt    the demo cookie, for the tool's --cookie-file option
  pictures.tsv  every picture served so far: address path, then the file holding its bytes
  ready         "<port>" once the port listens
It stops when asked at /__stop, when the stop file appears, or after --lifetime seconds. With
--broken it also serves items whose description server fails, for the tool's own tests.
"""
import argparse
import hashlib
import json
import os
import re
import shutil
import socket
import ssl
import struct
import subprocess
import tempfile
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler
from urllib.parse import unquote, urlsplit

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
import tls_certificates  # noqa: E402  (beside the tests' servers, which use it too)

PAGES = os.path.join(HERE, "pages")
# Names under .localhost resolve to the loopback address (nss-myhostname on Linux).
SUFFIX = ".localhost"
# Item pages name their description server; the tool looks for this name inside the pages.
DESC_LINK_HOST = "descnew.taobao" + SUFFIX
VIDEO_HOST = "cloud.video.taobao" + SUFFIX
# Lists the shop's items for a browser; also the status line's clock.
INDEX_HOST = "shop" + SUFFIX
CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
# Today's pages name some pictures by a thumbnail or re-encoded copy, as the real ones do; the shop
# serves only originals, so a tool that asks for a copy gets no picture.
COPY_ENDING = re.compile(
    r"\.[a-z]{3,4}(_\.(webp|avif)|_\d+x\d+([qQ]\d+)?(xz)?\.\w+|_[qQ]\d+\.\w+|_sum\.\w+)$"
    r"|\.(\d+x\d+|summ|search)\.\w+$"
    r"|/s\d+x\d+_jfs/|\.[a-z]{3,4}!|\.(jpg|png)\.(avif|webp)$", re.IGNORECASE)
PICTURE_TYPES = {".jpg": "image/jpeg", ".jpeg": "image/jpeg", ".png": "image/png", ".gif": "image/gif",
                 ".webp": "image/webp"}


class Item:
    def __init__(self, platform, button, host, path, item_id, page, charset, about, desc=None, name=None,
                 copy_of=None):
        self.platform = platform  # the platform's name as the tool's buttons say it
        self.button = button
        self.host = host
        self.path = path
        self.item_id = item_id
        self.page = page
        self.charset = charset
        self.about = about
        self.desc = desc  # our description page (Taobao and Tmall), if any
        self.name = name or page  # what links.txt calls it
        self.copy_of = copy_of  # the item id of the page, served as this item's

    def link(self):
        """The item's address on the platform's own site, as a user copies it from a browser."""
        query = "?id=" + self.item_id if self.item_id else ""
        return "https://%s%s%s" % (self.host, self.path, query)

    def shop_host(self):
        return shop_name(self.host)


def shop_name(host):
    """A platform's host under the shop's names: its top-level label becomes ".localhost"."""
    return host.rsplit(".", 1)[0] + SUFFIX


def shop_address(link, port):
    """Where the shop serves a platform's address: what the tool asks for with the hosts file's
    PlatformMirror (localhost:<port>), which leaves out the platform's top-level domain."""
    parts = urlsplit(link)
    return "%s://%s:%d%s%s" % (parts.scheme, shop_name(parts.hostname), port, parts.path,
                               "?" + parts.query if parts.query else "")


ITEMS = [
    Item("淘宝", "淘宝数据", "item.taobao.com", "/item.htm", "561495525977", "taobao-1.html", "gbk",
         "Taobao item page of 2018, as the server sent it", "taobao-desc-561495525977.js"),
    Item("天猫", "天猫数据", "detail.tmall.com", "/item.htm", "605258110430", "tmall-1.html", "gbk",
         "Tmall item page of 2020, saved by a browser", "tmall-desc-605258110430.js"),
    Item("京东", "京东数据", "item.jd.com", "/1020565583.html", "", "jd-1.html", "gbk",
         "JD item page of 2018, as the server sent it"),
    Item("阿里", "阿里数据", "detail.1688.com", "/offer/601748658723.html", "", "1688-1.html", "gbk",
         "Alibaba (1688) offer page of 2019, as the server sent it"),
]

# Pages of today's layouts, which carry the item in a data script; the detail pictures of Taobao and
# Tmall come from a signed call that needs the "_m_h5_tk" token of a cookie (DEMO_COOKIE will do).
TODAY_ITEMS = [
    Item("淘宝", "淘宝数据", "item.taobao.com", "/item.htm", "760000000001", "today-taobao-760000000001.html",
         "utf-8", "Taobao item page of today's layout (made for the demo); paste the demo cookie first"),
    Item("天猫", "天猫数据", "detail.tmall.com", "/item.htm", "617129397971", "today-tmall-1.html", "utf-8",
         "Tmall item page of today's layout; paste the demo cookie first"),
    Item("京东", "京东数据", "item.jd.com", "/100038004397.html", "", "today-jd-desktop.html", "utf-8",
         "JD item of today's layout (made for the demo): the desktop page is built by scripts, the phone page has the data"),
    Item("阿里", "阿里数据", "detail.1688.com", "/offer/1007511748868.html", "", "today-1688-1.html", "utf-8",
         "Alibaba (1688) offer page of today's layout"),
]
# A classic item whose description server answers 500: the page of the Taobao item above as another
# item, its description failing as a server in trouble does.
BROKEN_ITEMS = [
    Item("淘宝", "淘宝数据", "item.taobao.com", "/item.htm", "561495525978", "taobao-1.html", "gbk",
         "Taobao item page of 2018 whose description server answers 500", name="taobao-1-desc-500",
         copy_of="561495525977"),
]
FAILING_DESCRIPTION = 500
DEMO_COOKIE = "_m_h5_tk=0a1b2c3d4e5f60718293a4b5c6d7e8f9_1765000000000; _m_h5_tk_enc=demo"
# The batch file of every item, for the tool's --batch with cookie.txt as its --cookie-file.
BATCH_HEADING = ("# 演示商店的全部商品，一行一个链接（scripts/demo --batch 逐个读取并保存）。\r\n"
                 "# 以#开头的行和空行不读；链接前可写按钮名和空格（如：天猫数据 链接）。\r\n")

# Our own pages that the item pages lead to: (host, path pattern, file, charset).
OWN_PAGES = [
    ("img.alicdn" + SUFFIX, r"/tfscom/TB1yzC9kfb2gK0jSZK9XXaEgFXa", "1688-desc-601748658723.js", "gbk"),
    ("item.m.jd" + SUFFIX, r"/detail/1020565583_d10480324630_normal\.html", "jd-mobile-1020565583.html", "utf-8"),
    ("login.taobao" + SUFFIX, r"/", "login.html", "utf-8"),
    ("login.1688" + SUFFIX, r"/", "login.html", "utf-8"),
    ("item.m.jd" + SUFFIX, r"/product/100038004397\.html", "today-jd-phone-100038004397.html", "utf-8"),
    ("item.m.jd" + SUFFIX, r"/detail/100038004397_d10480324630_normal\.html", "today-jd-detail-100038004397.html",
     "utf-8"),
    ("itemcdn.tmall" + SUFFIX, r"/1688offer/icoss1516487213c4a2fa40226c2e8b", "today-1688-1-desc.js", "utf-8"),
]
# Where the shop serves its authority's revocation list; and how many host names it issues
# certificates for at most (one per name a client asks for).
REVOCATION_LIST_PATH = "/__tls/authority.crl"
MAX_CERTIFIED_HOSTS = 200
# The signed description call of today's Taobao and Tmall pages; the answer goes by the item id in
# its "data" parameter.
DESC_API_HOST = "h5api.m.taobao" + SUFFIX
DESC_API_PATH = "/h5/mtop.taobao.detail.getdesc/6.0/"


def localise(text, port):
    """Moves the picture, description and video servers a page names to the demo shop."""
    # Every description server the pages of different years name becomes the one the tool knows.
    text = re.sub(r"//(?:desc\.alicdn|descnew\.taobao|dscnew\.taobao)\.com", "//" + DESC_LINK_HOST, text)
    # Today's pages name their main video's full address. The system downloads the video itself and
    # would refuse the shop's own certificate: the shop's video goes over plain HTTP.
    text = re.sub(r"(?:https?:)?//cloud\.video\.taobao\.com/", "http://%s:%d/" % (VIDEO_HOST, port), text)
    # Picture servers keep their first name, which the tool puts back itself ("https://img…",
    # "https://gd…"): gd3.alicdn.com becomes gd3.alicdn.localhost.
    return re.sub(r"//([a-z0-9-]+(?:\.[a-z0-9-]+)*)\.(alicdn|360buyimg|tmall)\.com(?=[/\"'\\])",
                  lambda m: "//%s.%s%s:%d" % (m.group(1), m.group(2), SUFFIX, port), text)


def hosts_file(port, today):
    hp = lambda name: "%s%s:%d" % (name, SUFFIX, port)
    return "".join("%s=%s\n" % kv for kv in [
        ("TaobaoDescHost", hp("descnew.taobao")),
        ("TaobaoDescLinkHost", DESC_LINK_HOST),
        ("TaobaoVideoHost", "%s:%d" % (VIDEO_HOST, port)),
        ("TmallTitleDomain", "tmall.com"),
        ("JdImageHost", hp("img10.360buyimg")),
        ("JdMobileItemHost", hp("item.m.jd")),
        ("TimeProbeHost", "%s:%d" % (INDEX_HOST, port)),
        # The item links are the platforms' own addresses, the same at every start of the shop.
        ("PlatformMirror", "localhost:%d" % port),
        ("TaobaoLoginPage", "http://%s/" % hp("login.taobao")),
        ("AlibabaLoginPage", "http://%s/" % hp("login.1688")),
    ] + ([("TaobaoDescApiHost", "%s:%d" % (DESC_API_HOST, port)), ("JdMobileImageHost", hp("m.360buyimg"))]
         if today else []))


class Catalogue:
    """Every page of the shop with the shop's port written in, and the pictures drawn so far."""

    def __init__(self, port, state, items):
        self.port = port
        self.state = state
        self.pictures_dir = os.path.join(state, "pictures")
        os.makedirs(self.pictures_dir, exist_ok=True)
        self.picture_lock = threading.Lock()
        self.served_pictures = {}
        self.items = []
        for item in items:
            self.items.append((item, self._page(item.page, item.charset, item.copy_of, item.item_id)))
        # Description pages are script text in GBK, whatever their item page's encoding.
        self.descriptions = {item.item_id: self._page(item.desc, "gbk") for item in items if item.desc}
        self.failing_descriptions = {item.item_id for item in items if item.copy_of}
        self.own = [(host, re.compile(pattern + r"\Z"), self._page(name, charset))
                    for host, pattern, name, charset in OWN_PAGES]

    def _page(self, name, charset, old_id=None, new_id=None):
        with open(os.path.join(PAGES, name), "rb") as f:
            data = f.read()
        # Pages are rewritten as text in their own encoding; bytes that do not decode stay as they are.
        text = data.decode(charset, errors="surrogateescape")
        if old_id:
            text = text.replace(old_id, new_id)
        body = localise(text, self.port).encode(charset, errors="surrogateescape")
        kind = "application/javascript" if name.endswith(".js") else "text/html"
        return body, "%s; charset=%s" % (kind, charset)

    def page_for(self, host, path, query):
        for item, page in self.items:
            if host == item.shop_host() and path == item.path and query.get("id", "") == item.item_id:
                return page
        if host == DESC_LINK_HOST:
            # The description path names the item: /i2/560/490/<item id>/….desc|var^desc;…
            # (From a page saved by a browser the tool's address runs on into the markup after the
            # link; it still starts with the item's path, and the shop answers it all the same.)
            for item_id, page in self.descriptions.items():
                if "/" + item_id + "/" in path:
                    return page
            for item_id in self.failing_descriptions:
                if "/" + item_id + "/" in path:
                    return b"description server error\n", "text/plain; charset=utf-8", FAILING_DESCRIPTION
        for own_host, pattern, page in self.own:
            if host == own_host and pattern.match(path):
                return page
        if host == DESC_API_HOST and path == DESC_API_PATH:
            return self.description_answer(query)
        return None

    def description_answer(self, query):
        """The signed call's answer for the item its data names; a refusal without a signature."""
        if not query.get("sign"):
            body = '{"api":"mtop.taobao.detail.getdesc","ret":["FAIL_SYS_TOKEN_EMPTY::令牌为空"],"v":"6.0"}'
            return body.encode("utf-8"), "application/json; charset=utf-8"
        match = re.search(r'"id":"(\d+)"', unquote(query.get("data", "")))
        name = "today-desc-%s.json" % match.group(1) if match else ""
        if not match or not os.path.exists(os.path.join(PAGES, name)):
            return None
        return self._page(name, "utf-8")

    def video(self, host, path):
        """The item's main video for a video address that names both its owner and its id."""
        match = re.match(r"/play/u/(\d+)/p/\d/e/6/t/1/(\d+)\.mp4\Z", path)
        if host != VIDEO_HOST or not match or match.group(2) == "0":
            return None
        file = os.path.join(self.state, "video.mp4")
        with self.picture_lock:
            if not os.path.exists(file):
                make_video(file)
        with open(file, "rb") as f:
            return f.read(), "video/mp4"

    def picture(self, path):
        """The bytes of the picture at `path` (drawn on first request) and its type, or None."""
        # JD's addresses carry doubled slashes ("//imgzone//jfs/…"): the same picture either way.
        path = re.sub(r"/+", "/", path)
        ext = os.path.splitext(path)[1].lower()
        if ext not in PICTURE_TYPES or COPY_ENDING.search(path):
            return None
        name = hashlib.sha1(path.encode("utf-8", "surrogateescape")).hexdigest()[:20] + ext
        file = os.path.join(self.pictures_dir, name)
        with self.picture_lock:
            if not os.path.exists(file):
                draw_picture(path, file)
            if path not in self.served_pictures:
                self.served_pictures[path] = file
                with open(os.path.join(self.state, "pictures.tsv"), "a", encoding="utf-8",
                          errors="surrogateescape") as index:
                    index.write("%s\t%s\n" % (path, file))
        with open(file, "rb") as f:
            return f.read(), PICTURE_TYPES[ext]


def draw_picture(path, file):
    """A small real picture for an address: colours and a pattern from the address, its file name
    written on it. ImageMagick writes the format the extension names."""
    digest = hashlib.sha1(path.encode("utf-8", "surrogateescape")).digest()
    inner = "#%02x%02x%02x" % (128 + digest[0] // 2, 128 + digest[1] // 2, 128 + digest[2] // 2)
    outer = "#%02x%02x%02x" % (digest[3] // 3, digest[4] // 3, digest[5] // 3)
    label = os.path.basename(path)
    if len(label) > 44:
        label = label[:20] + "…" + label[-20:]
    command = ["convert", "-size", "400x400", "radial-gradient:%s-%s" % (inner, outer),
               "(", "-size", "400x400", "pattern:%s" % ("checkerboard", "hexagons", "octagons",
                                                      "circles", "hs_diagcross")[digest[6] % 5],
               "-scale", "%d%%" % (200 + 100 * (digest[7] % 4)), "-crop", "400x400+0+0", "+repage",
               "-alpha", "set", "-channel", "A", "-evaluate", "set", "14%", "+channel", ")",
               "-composite", "-gravity", "center"]
    if os.path.exists(CJK_FONT):
        command += ["-font", CJK_FONT, "-fill", "white", "-stroke", "#00000090", "-strokewidth", "2",
                    "-pointsize", "40", "-annotate", "+0-40", "演示商店图片", "-stroke", "none",
                    "-pointsize", "15", "-annotate", "+0+20", label]
    # No time stamps inside: the same address always gives the same bytes.
    command += ["-define", "png:exclude-chunks=date,time", "-strip"]
    if file.endswith(".png"):
        command += ["-colors", "64"]
    else:
        command += ["-quality", "85"]
    command.append(file + ".tmp" + os.path.splitext(file)[1])
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.replace(command[-1], file)


def make_video(file, frames=24, width=320, height=240):
    """A two-second video: JPEG frames drawn by ImageMagick in an MP4 file (Motion JPEG)."""
    work = tempfile.mkdtemp(prefix="demo-video-")
    try:
        pictures = []
        for n in range(frames):
            frame = os.path.join(work, "%02d.jpg" % n)
            x = 40 + (width - 80) * n // (frames - 1)
            command = ["convert", "-size", "%dx%d" % (width, height), "gradient:#3d405b-#81b29a",
                       "-fill", "#f2cc8f", "-draw", "circle %d,%d %d,%d" % (x, height // 2, x + 24, height // 2)]
            if os.path.exists(CJK_FONT):
                command += ["-font", CJK_FONT, "-fill", "white", "-pointsize", "22", "-gravity", "north",
                            "-annotate", "+0+16", "演示商店视频 %d/%d" % (n + 1, frames)]
            command += ["-strip", "-quality", "80", frame]
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            with open(frame, "rb") as f:
                pictures.append(f.read())
        data = mp4_of_jpeg_frames(pictures, width, height, frame_ms=1000 // 12)
        with open(file + ".tmp", "wb") as f:
            f.write(data)
        os.replace(file + ".tmp", file)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def mp4_of_jpeg_frames(frames, width, height, frame_ms):
    """The smallest MP4 that players take: one Motion JPEG track, every frame one sample."""
    def box(kind, *parts):
        payload = b"".join(parts)
        return struct.pack(">I", 8 + len(payload)) + kind + payload

    def full(kind, version_flags, *parts):
        return box(kind, struct.pack(">I", version_flags), *parts)

    matrix = struct.pack(">9I", 0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000)
    duration = frame_ms * len(frames)
    ftyp = box(b"ftyp", b"isom", struct.pack(">I", 512), b"isomiso2mp41")
    mdat = box(b"mdat", *frames)
    data_offset = len(ftyp) + 8
    entry = box(b"jpeg", b"\0" * 6, struct.pack(">H", 1), b"\0" * 16, struct.pack(">HH", width, height),
                struct.pack(">II", 0x480000, 0x480000), b"\0" * 4, struct.pack(">H", 1),
                bytes([10]) + b"Motion JPEG".ljust(31, b"\0")[:31], struct.pack(">Hh", 24, -1))
    stbl = box(b"stbl",
               full(b"stsd", 0, struct.pack(">I", 1), entry),
               full(b"stts", 0, struct.pack(">III", 1, len(frames), frame_ms)),
               full(b"stsc", 0, struct.pack(">IIII", 1, 1, len(frames), 1)),
               full(b"stsz", 0, struct.pack(">II", 0, len(frames)), *[struct.pack(">I", len(f)) for f in frames]),
               full(b"stco", 0, struct.pack(">II", 1, data_offset)))
    minf = box(b"minf", full(b"vmhd", 1, b"\0" * 8),
               box(b"dinf", full(b"dref", 0, struct.pack(">I", 1), full(b"url ", 1))), stbl)
    mdia = box(b"mdia",
               full(b"mdhd", 0, struct.pack(">IIIIHH", 0, 0, 1000, duration, 0x55C4, 0)),
               full(b"hdlr", 0, struct.pack(">I", 0), b"vide", b"\0" * 12, b"VideoHandler\0"), minf)
    tkhd = full(b"tkhd", 3, struct.pack(">IIIII", 0, 0, 1, 0, duration), b"\0" * 8,
                struct.pack(">hhhH", 0, 0, 0, 0), matrix, struct.pack(">II", width << 16, height << 16))
    mvhd = full(b"mvhd", 0, struct.pack(">IIII", 0, 0, 1000, duration), struct.pack(">IH", 0x10000, 0x100),
                b"\0" * 10, matrix, b"\0" * 24, struct.pack(">I", 2))
    return ftyp + mdat + box(b"moov", mvhd, box(b"trak", tkhd, mdia))


INDEX_PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8"><title>演示商店</title></head>
<body><h1>演示商店 (demo shop)</h1><p>Paste a link into the tool's link box and press its button.</p>
<ul>%s</ul></body></html>"""


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "DemoShop/1"

    def log_message(self, fmt, *args):
        pass

    def do_HEAD(self):
        self.answer(head=True)

    def do_GET(self):
        self.answer(head=False)

    def answer(self, head):
        shop = self.server
        host = (self.headers.get("Host") or "").split(":")[0].lower()
        parts = urlsplit(self.path)
        # The tool writes description paths as the pages name them, escaped or not.
        path = unquote(parts.path, errors="surrogateescape")
        query = dict(p.split("=", 1) for p in parts.query.split("&") if "=" in p)
        status, body, kind = 404, b"not in the demo shop\n", "text/plain; charset=utf-8"
        if path == "/__stop":
            shop.stop.set()
            status, body = 200, b"stopping\n"
        elif path == REVOCATION_LIST_PATH:
            status, body, kind = 200, shop.certificates.revocation_list(), "application/pkix-crl"
        else:
            page = shop.catalogue.page_for(host, path, query)
            if page is None and path == "/" and host == INDEX_HOST:
                links = "".join('<li><a href="%s">%s</a> — %s</li>' % (shop_address(i.link(), shop.port), i.platform,
                                                                        i.about)
                                for i in shop.items)
                page = ((INDEX_PAGE % links).encode("utf-8"), "text/html; charset=utf-8")
            if page is None:
                page = shop.catalogue.video(host, path)
            if page is None:
                page = shop.catalogue.picture(path)
            if page is not None:
                body, kind, status = page[0], page[1], page[2] if len(page) > 2 else 200
        shop.record(self.command, host, self.path, status)
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if not head:
            self.wfile.write(body)


class Shop:
    """One listening port on 127.0.0.1 (and ::1 where it is free too) for plain and TLS requests."""

    def __init__(self, state, log_path, items):
        self.stop = threading.Event()
        self.log_path = log_path
        self.log_lock = threading.Lock()
        self.listeners = bind_loopback()
        self.port = self.listeners[0].getsockname()[1]
        self.certificates = Certificates(os.path.join(state, "tls"), self.port)
        self.items = items
        self.catalogue = Catalogue(self.port, state, items)

    def record(self, method, host, target, status):
        if not self.log_path:
            return
        with self.log_lock, open(self.log_path, "a", encoding="utf-8", errors="replace") as log:
            log.write("%s %s %s %d\n" % (method, host, target, status))

    def serve(self):
        for listener in self.listeners:
            threading.Thread(target=self.accept_loop, args=(listener,), daemon=True).start()

    def accept_loop(self, listener):
        listener.settimeout(0.2)
        while not self.stop.is_set():
            try:
                conn, address = listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            threading.Thread(target=self.connection, args=(conn, address), daemon=True).start()

    def connection(self, conn, address):
        try:
            conn.settimeout(30)
            # A TLS connection opens with a handshake record (type 22).
            first = conn.recv(1, socket.MSG_PEEK)
            if first == b"\x16":
                conn = self.certificates.default.wrap_socket(conn, server_side=True)
            Handler(conn, address, self)
        except (OSError, ssl.SSLError, ValueError):
            pass
        finally:
            try:
                conn.close()
            except OSError:
                pass


def bind_loopback():
    """A free port on 127.0.0.1, and the same port on ::1 when that is free as well (names under
    .localhost resolve to both)."""
    for _ in range(20):
        v4 = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        v4.bind(("127.0.0.1", 0))
        port = v4.getsockname()[1]
        try:
            v6 = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
            v6.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
            v6.bind(("::1", port))
        except OSError:
            v6 = None
            if socket.has_ipv6 and ipv6_loopback_works():
                v4.close()
                continue  # the port is taken on ::1: try another
        for s in (v4, v6):
            if s:
                s.listen(64)
        return [s for s in (v4, v6) if s]
    raise OSError("no free loopback port")


def ipv6_loopback_works():
    try:
        with socket.socket(socket.AF_INET6, socket.SOCK_STREAM) as s:
            s.bind(("::1", 0))
        return True
    except OSError:
        return False


class Certificates:
    """The shop's certificates: a new authority at each start (in `folder`), and for each host name
    a client asks for (TLS's server name indication) a certificate of its own, so a client that
    trusts the authority verifies every name of the shop. The authority's revocation list is
    served at REVOCATION_LIST_PATH on the shop's port."""

    def __init__(self, folder, port):
        shutil.rmtree(folder, ignore_errors=True)
        crl = "http://127.0.0.1:%d%s" % (port, REVOCATION_LIST_PATH)
        self.authority = tls_certificates.Authority(folder, "PictureTool demo shop authority", crl)
        self.contexts = {}
        self.lock = threading.Lock()
        self.default = self._context(self.authority.issue("default", ["localhost", "127.0.0.1"]))
        self.default.sni_callback = self._choose

    def _context(self, cert):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, self.authority.key)
        return context

    def _choose(self, connection, name, _context):
        """Called during the handshake with the name the client asked for."""
        with self.lock:
            context = self.contexts.get(name)
            if context is None and name and len(self.contexts) < MAX_CERTIFIED_HOSTS:
                try:
                    cert = self.authority.issue_for_host(name)
                except (OSError, subprocess.CalledProcessError):
                    cert = None  # the default certificate answers, and the client judges it
                if cert:
                    context = self.contexts[name] = self._context(cert)
        if context is not None:
            connection.context = context

    def revocation_list(self):
        with open(self.authority.path("authority.crl"), "rb") as f:
            return f.read()


def write_file(path, text):
    with open(path + ".tmp", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(path + ".tmp", path)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--state", required=True, help="folder for the hosts file, pictures and certificates")
    ap.add_argument("--ready", help="written with the port once it listens (default: <state>/ready)")
    ap.add_argument("--stop-file", help="the shop stops when this file appears")
    ap.add_argument("--log", help="one line per request: method, host, target, status")
    ap.add_argument("--lifetime", type=float, default=24 * 3600)
    ap.add_argument("--tag", default="none", help="names the run, so it can stop leftovers")
    ap.add_argument("--today", action="store_true",
                    help="also serve the pages of today's layouts (the tool must know the hosts TaobaoDescApiHost "
                         "and JdMobileImageHost)")
    ap.add_argument("--broken", action="store_true",
                    help="also serve items whose description server fails (for the tool's tests)")
    args = ap.parse_args()
    os.makedirs(args.state, exist_ok=True)
    for stale in ("pictures.tsv", "ready"):
        if os.path.exists(os.path.join(args.state, stale)):
            os.remove(os.path.join(args.state, stale))
    items = ITEMS + (TODAY_ITEMS if args.today else []) + (BROKEN_ITEMS if args.broken else [])
    shop = Shop(args.state, args.log, items)
    write_file(os.path.join(args.state, "hosts.txt"), hosts_file(shop.port, args.today))
    write_file(os.path.join(args.state, "links.txt"), "".join(
        "%s\t%s\t%s\t%s\t%s\n" % (i.name, i.platform, i.button, i.link(), i.about) for i in items))
    write_file(os.path.join(args.state, "cookie.txt"), DEMO_COOKIE + "\n")
    write_file(os.path.join(args.state, "batch.txt"), BATCH_HEADING + "".join(i.link() + "\r\n" for i in items))
    shop.serve()
    write_file(args.ready or os.path.join(args.state, "ready"), "%d\n" % shop.port)
    deadline = time.time() + args.lifetime
    while not shop.stop.is_set() and time.time() < deadline:
        if args.stop_file and os.path.exists(args.stop_file):
            break
        time.sleep(0.1)
    shop.stop.set()
    for listener in shop.listeners:
        listener.close()


if __name__ == "__main__":
    sys.exit(main())
