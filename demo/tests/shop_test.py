#!/usr/bin/env python3
"""The demo shop over real sockets, without the tool: every link it prints leads to a page, the
pages lead to the shop, pictures and the video are real files, and plain and TLS requests share
its one port."""
import os
import re
import shutil
import ssl
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
SHOP = os.path.join(HERE, "..", "shop.py")
sys.path.insert(0, os.path.join(HERE, ".."))
import shop  # noqa: E402  (for the shop's address of a platform's link)


AUTHORITY = None  # the shop's authority certificate (PEM), once it runs


def fetch(url, method="GET"):
    # Verified as the tool verifies a request that carries the cookie: the shop's own authority,
    # the host's name.
    context = ssl.create_default_context(cafile=AUTHORITY)
    request = urllib.request.Request(url, method=method)
    try:
        with urllib.request.urlopen(request, timeout=30, context=context) as response:
            return response.status, response.headers, response.read()
    except urllib.error.HTTPError as error:
        return error.code, error.headers, error.read()


class RunningShop(unittest.TestCase):
    """The shop started with `options` for the tests of a class."""
    options = []

    @classmethod
    def setUpClass(cls):
        cls.state = tempfile.mkdtemp(prefix="demo-shop-test-")
        cls.process = subprocess.Popen([sys.executable, SHOP, "--state", cls.state, "--lifetime", "300"] + cls.options)
        ready = os.path.join(cls.state, "ready")
        for _ in range(300):
            if os.path.exists(ready):
                break
            time.sleep(0.1)
        with open(ready) as f:
            cls.port = int(f.read())
        global AUTHORITY
        AUTHORITY = os.path.join(cls.state, "tls", "authority.pem")
        with open(os.path.join(cls.state, "links.txt"), encoding="utf-8") as f:
            cls.links = [line.rstrip("\n").split("\t") for line in f]
        with open(os.path.join(cls.state, "hosts.txt"), encoding="utf-8") as f:
            cls.hosts = dict(line.strip().split("=", 1) for line in f if "=" in line)

    def address_of(self, page):
        """Where the tool, given the shop's hosts file, asks for the link of a page."""
        link = next(link for p, _, _, link, _ in self.links if p == page)
        return shop.shop_address(link, self.port)

    @classmethod
    def tearDownClass(cls):
        fetch("http://127.0.0.1:%d/__stop" % cls.port)
        cls.process.wait(timeout=30)
        shutil.rmtree(cls.state, ignore_errors=True)


class ShopTest(RunningShop):
    options = ["--today"]

    def test_every_link_gives_its_page_and_names_only_the_shop_for_pictures(self):
        # Started with --today: the pages of both eras.
        self.assertEqual(len(self.links), 8)
        for page, platform, button, link, about in self.links:
            with self.subTest(page=page):
                # The platform's own address, the same at every start of the shop.
                self.assertRegex(link, r"^https://(item|detail)\.(taobao|tmall|jd|1688)\.com/[^:]*$")
                status, headers, body = fetch(shop.shop_address(link, self.port))
                self.assertEqual(status, 200)
                with open(os.path.join(HERE, "..", "pages", page), "rb") as f:
                    original = f.read()
                # Only server names changed: the page is as long as the saved one, give or take them.
                self.assertLess(abs(len(body) - len(original)), len(original) // 10)
                self.assertNotRegex(body, rb"//(gd\d|img|cbu01|img\d+)\.(alicdn|360buyimg)\.com/")
                self.assertNotIn(b"//desc.alicdn.com/", body)

    def test_the_batch_file_holds_every_link_and_the_tool_is_sent_to_the_shop_for_them(self):
        with open(os.path.join(self.state, "batch.txt"), encoding="utf-8", newline="") as f:
            lines = f.read().split("\r\n")
        self.assertEqual([line for line in lines if line and not line.startswith("#")],
                         [link for _, _, _, link, _ in self.links])
        self.assertEqual(self.hosts["PlatformMirror"], "localhost:%d" % self.port)

    def test_description_and_detail_pages_are_where_the_tool_asks(self):
        host = self.hosts["TaobaoDescHost"]
        link_host = self.hosts["TaobaoDescLinkHost"]
        for page in ("taobao-1.html", "tmall-1.html"):
            _, _, body = fetch(self.address_of(page))
            path = re.search(rb"//" + re.escape(link_host.encode()) + rb"/([^'\"]+)", body).group(1).decode()
            status, _, desc = fetch("https://%s/%s" % (host, path))
            self.assertEqual(status, 200, page)
            self.assertIn(b"var desc='", desc)
        mobile = "https://%s/detail/1020565583_d10480324630_normal.html" % self.hosts["JdMobileItemHost"]
        self.assertEqual(fetch(mobile)[0], 200)
        status, _, offer = fetch("https://img.alicdn.localhost:%d/tfscom/TB1yzC9kfb2gK0jSZK9XXaEgFXa" % self.port)
        self.assertEqual(status, 200)
        self.assertTrue(offer.startswith(b"var offer_details="))

    def test_todays_pages_lead_to_their_data(self):
        phone = "https://%s/product/100038004397.html" % self.hosts["JdMobileItemHost"]
        status, _, page = fetch(phone)
        self.assertEqual(status, 200)
        self.assertIn(b"window._itemOnly", page)
        call = "https://%s/h5/mtop.taobao.detail.getdesc/6.0/?appKey=12574478&t=1&sign=%s&data=%s"
        data = "%7B%22id%22%3A%22617129397971%22%2C%22type%22%3A%220%22%7D"
        status, _, answer = fetch(call % (self.hosts["TaobaoDescApiHost"], "0f", data))
        self.assertEqual(status, 200)
        self.assertIn(b"pcDescContent", answer)
        self.assertIn(b"img.alicdn.localhost:%d" % self.port, answer)
        # Unsigned, the call is refused as the real one is.
        _, _, refusal = fetch(call % (self.hosts["TaobaoDescApiHost"], "", data))
        self.assertIn(b"FAIL_SYS_TOKEN_EMPTY", refusal)
        _, _, offer = fetch(self.address_of("today-1688-1.html"))
        self.assertIn(b"//cloud.video.taobao.localhost:%d/" % self.port, offer)
        self.assertIn(b"//itemcdn.tmall.localhost:%d/1688offer/" % self.port, offer)

    def test_pictures_are_real_and_the_same_bytes_every_time(self):
        cases = [("https://gd2.alicdn.localhost:%d/imgextra/i2/1/a_!!1.jpg", b"\xff\xd8\xff"),
                 ("https://img.alicdn.localhost:%d/imgextra/i3/1/b_!!1.png", b"\x89PNG\r\n\x1a\n"),
                 ("http://img10.360buyimg.localhost:%d//imgzone//jfs/t1/2/c.jpg", b"\xff\xd8\xff")]
        for url, magic in cases:
            with self.subTest(url=url):
                status, headers, first = fetch(url % self.port)
                self.assertEqual(status, 200)
                self.assertTrue(first.startswith(magic))
                self.assertEqual(fetch(url % self.port)[2], first)
                size = subprocess.run(["identify", "-format", "%wx%h", "-"], input=first, capture_output=True).stdout
                self.assertEqual(size, b"400x400")
        # A doubled slash names the same picture.
        self.assertEqual(fetch(cases[2][0].replace("//imgzone//", "/imgzone/") % self.port)[2],
                         fetch(cases[2][0] % self.port)[2])

    def test_copies_of_a_picture_are_not_served(self):
        # Today's pages name some pictures by a thumbnail or format copy; only originals are served.
        for url in ["https://img.alicdn.localhost:%d/imgextra/i1/1/a_!!1.jpg_.webp",
                    "https://img.alicdn.localhost:%d/imgextra/i1/1/a_!!1.jpg_460x460q90.jpg",
                    "https://cbu01.alicdn.localhost:%d/img/ibank/a_!!1-0-cib.310x310.jpg",
                    "https://m.360buyimg.localhost:%d/mobilecms/s750x750_jfs/t1/a.jpg",
                    "https://img30.360buyimg.localhost:%d/sku/jfs/t1/a.jpg!q70.dpg",
                    "https://m.360buyimg.localhost:%d/mobilecms/jfs/t1/a.jpg.avif"]:
            with self.subTest(url=url):
                self.assertEqual(fetch(url % self.port)[0], 404)

    def test_a_video_only_where_the_address_names_one(self):
        video = "http://%s/play/u/108727117/p/1/e/6/t/1/50047688890.mp4" % self.hosts["TaobaoVideoHost"]
        status, headers, body = fetch(video)
        self.assertEqual(status, 200)
        self.assertEqual(body[4:8], b"ftyp")
        self.assertIn(b"moov", body)
        for missing in ("/play/u//p/1/e/6/t/1/.mp4", "/play/u/2206450696202/p/2/e/6/t/1/0.mp4"):
            self.assertEqual(fetch("http://%s%s" % (self.hosts["TaobaoVideoHost"], missing))[0], 404)

    def test_the_clock_and_the_login_pages(self):
        status, headers, body = fetch("http://%s/" % self.hosts["TimeProbeHost"], method="HEAD")
        self.assertEqual(status, 200)
        self.assertRegex(headers["Date"], r"^\w{3}, \d\d \w{3} \d{4} \d\d:\d\d:\d\d GMT$")
        for name in ("TaobaoLoginPage", "AlibabaLoginPage"):
            status, _, page = fetch(self.hosts[name])
            self.assertEqual(status, 200)
            self.assertIn("演示商店".encode("utf-8"), page)

    def test_every_name_has_a_certificate_of_the_shops_own_authority(self):
        # fetch() verified each name above against the authority; a client that does not trust
        # it refuses the shop. The revocation list a checking client fetches is the authority's.
        with self.assertRaises(urllib.error.URLError):
            urllib.request.urlopen("https://shop.localhost:%d/" % self.port, timeout=30,
                                   context=ssl.create_default_context())
        status, _, crl = fetch("http://127.0.0.1:%d/__tls/authority.crl" % self.port)
        self.assertEqual(status, 200)
        check = subprocess.run(["openssl", "crl", "-inform", "DER", "-CAfile", AUTHORITY, "-noout"],
                               input=crl, capture_output=True)
        self.assertEqual(check.returncode, 0, check.stderr)

    def test_unknown_addresses_are_not_found(self):
        for url in ("http://item.taobao.localhost:%d/item.htm?id=1", "https://shop.localhost:%d/nothing.html"):
            self.assertEqual(fetch(url % self.port)[0], 404)


class BrokenShopTest(RunningShop):
    """With --broken: a classic item whose description server fails, beside the working one."""
    options = ["--broken"]

    def test_the_copied_item_names_its_own_description_which_fails(self):
        names = [name for name, _, _, _, _ in self.links]
        self.assertEqual(names, ["taobao-1.html", "tmall-1.html", "jd-1.html", "1688-1.html", "taobao-1-desc-500"])
        link_host = self.hosts["TaobaoDescLinkHost"]
        for name, item_id, status in (("taobao-1.html", "561495525977", 200), ("taobao-1-desc-500", "561495525978", 500)):
            with self.subTest(name=name):
                _, _, body = fetch(self.address_of(name))
                self.assertIn(b"itemId=" + item_id.encode(), body)
                path = re.search(rb"//" + re.escape(link_host.encode()) + rb"/([^'\"]+)", body).group(1).decode()
                self.assertIn("/%s/" % item_id, path)
                self.assertEqual(fetch("https://%s/%s" % (self.hosts["TaobaoDescHost"], path))[0], status)


if __name__ == "__main__":
    unittest.main()
