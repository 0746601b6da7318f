#!/usr/bin/env python3
"""Writes the starting inputs of every fuzz target into OUT/<target>/.

Usage: make_seeds.py --source ROOT --shared SHARED --skins SKIN_DIR --out OUT

Item pages come from the extractor fixtures and, when SHARED holds them, the saved real pages
(real-pages/, current-pages/); pages saved as UTF-8 are handed over as GBK, as the page engine
does. DLL images are Debian's MinGW zlib builds, skin blocks those the build wrote. The input
layout of each target is described in its source.
"""
import argparse
import glob
import os
import shutil
import struct

PLATFORMS = {"taobao": b"0", "tmall": b"1", "jd": b"2", "1688": b"3", "alibaba": b"3"}
ZLIB_DLLS = ["/usr/i686-w64-mingw32/lib/zlib1.dll", "/usr/x86_64-w64-mingw32/lib/zlib1.dll"]
# The text target's references are quadratic on overlapping pieces; it gets the start of pages.
TEXT_SEED_BYTES = 1024
PAGE_DATA_SEED_BYTES = 512 * 1024


def read(path):
    with open(path, "rb") as f:
        return f.read()


def as_gbk(data):
    """UTF-8 bytes as GBK ("?" for what GBK lacks); other bytes are taken to be GBK already."""
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        return data
    return text.encode("gbk", errors="replace")


class Seeds:
    def __init__(self, out):
        self.out = out

    def write(self, target, name, data):
        folder = os.path.join(self.out, target)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def item_page_seeds(seeds, source, shared):
    fixtures = os.path.join(source, "extract", "tests", "fixtures")

    def fixture(name):
        return as_gbk(read(os.path.join(fixtures, name)).replace(
            b"{{DESC_URL}}", b"https://desc.test/tfscom/TB1OfferDesc"))

    second_pages = {
        "taobao": fixture("taobao_desc.js"),
        "tmall": fixture("tmall_desc.js"),
        "jd": fixture("jd_mobile_detail.html"),
        "alibaba": fixture("alibaba_desc.js"),
    }
    second_pages["1688"] = second_pages["alibaba"]
    for platform, item in [("taobao", "taobao_item.html"), ("tmall", "tmall_item.html"),
                           ("jd", "jd_item.html"), ("alibaba", "alibaba_offer.html")]:
        seeds.write("extract_items", "fixture-" + platform,
                    PLATFORMS[platform] + fixture(item) + b"\0" + second_pages[platform])

    for era in ("real-pages", "current-pages"):
        for path in sorted(glob.glob(os.path.join(shared, era, "*.html"))):
            name = os.path.basename(path)
            platform = name.split("-")[0]
            if platform not in PLATFORMS:
                continue
            desc_path = path[:-len(".html")] + "-desc.js"
            second = as_gbk(read(desc_path)) if os.path.exists(desc_path) else second_pages[platform]
            seeds.write("extract_items", era + "-" + name,
                        PLATFORMS[platform] + as_gbk(read(path)) + b"\0" + second)
    return second_pages, fixture


def text_seeds(seeds, second_pages, fixture):
    # Two option bytes, then text, left marker and right marker separated by zero bytes.
    placeholder = "#引号".encode("gbk")
    cases = [
        ("desc-src", b"\0\0", second_pages["taobao"], b'src="https:', b'g"'),
        ("tmall-thumbs", b"\1\0", fixture("tmall_item.html"), b"//img", b"_60x60"),
        ("jd-jfs", b"\0\1", second_pages["jd"], b"jfs", b"."),
        ("offer-escaped", b"\2\3", second_pages["alibaba"], b'src=\\"', b'\\" /'),
        ("quote-placeholder", b"\4\0", fixture("taobao_item.html"), b"descUrl" + placeholder, placeholder),
        ("wide-spaces", b"\0\0", "\u3000 标题\u3000文字 \u3000".encode("gbk"), "\u3000".encode("gbk"), b" "),
        ("remove-blocks", b"\0\x10", b"a&nbsp;b&amp;c&lt;d", b"&", b";"),
    ]
    for name, options, text, left, right in cases:
        seeds.write("text_slicing", name, options + text[:TEXT_SEED_BYTES] + b"\0" + left + b"\0" + right)


def header_seeds(seeds):
    # Two texts separated by a zero byte.
    cases = {
        "response": b"HTTP/1.1 200 OK\r\nset-cookie: t=1; Path=/\r\nSet-Cookie: cna=abc; Domain=.taobao.com\r\n"
                    b"content-type: text/html; charset=GBK\r\nx-powered-by: a\r\n\0Set-Cookie",
        "cookies": b"t=1; cna=abc; _tb_token_=deleted; t=9\0t=2;x=3; cna=deleted",
        "url": b"HTTPS://Item.Taobao.COM:8443/item.htm?id=601234567890&ns=1\0"
               b"User-Agent: Mozilla/5.0\r\nReferer: https://www.taobao.com/",
        "gbk": "Cookie: 名字=值；a=\u3000b\r\naccept-language: zh-CN\0Cookie".encode("gbk"),
        "plain-url": b"img10.360buyimg.com/n1/jfs/t1.jpg\0; ",
    }
    for name, data in cases.items():
        seeds.write("header_text", name, data)


def file_name_seeds(seeds):
    names = ["秋冬新款 加厚羊羔毛外套女 短款宽松夹克-淘宝网", "淘宝主图图片1", "con.txt", "..", "a/b\\c:d*e?f\"g<h>i|j",
             "LPT1 .jpg", "名字. . ", "\u3000\u3000"]
    for i, name in enumerate(names):
        seeds.write("file_names", "name-%d" % i, name.encode("gbk"))
    seeds.write("file_names", "broken-gbk", b"\x81\x5c\xff\x80\x7f\x1f" + b"x" * 130)


def batch_seeds(seeds):
    # A batch file, a zero byte, an earlier results file.
    batch = ("# 上新\r\n天猫数据 https://item.taobao.com/item.htm?id=2\r\nhttps://item.jd.com/3.html\r\n"
             "detail.1688.com/offer/4.html\nhello world\n\n").encode("gbk")
    results = ("链接\t平台\t结果\t主图\tSKU图\t详情图\t视频\t已保存\t未保存\t原因\r\n"
               "https://item.jd.com/3.html\t京东\t完成\t1\t0\t0\t0\t1\t0\t\r\n").encode("gbk")
    seeds.write("batch_file", "gbk", batch + b"\0" + results)
    seeds.write("batch_file", "utf-8", b"\xef\xbb\xbf" + "京东数据\thttps://3.cn/x\n".encode("utf-8") + b"\0")


def number_seeds(seeds):
    # date_time: a double, six 32-bit parts and a 64-bit second count, little-endian.
    for i, (date, parts, seconds) in enumerate([
            (46362.40663, (2026, 12, 6, 9, 45, 33), 8 * 3600),
            (-1.25, (1899, 12, 29, 6, 0, 0), -86400),
            (2958465.99999, (9999, 12, 31, 23, 59, 59), 1),
            (float("nan"), (0, 0, 0, 0, 0, 0), 0),
            (-657434.0, (2024, 2, 31, 25, 61, 61), -(1 << 40))]):
        seeds.write("date_time", "date-%d" % i, struct.pack("<d6iq", date, *parts, seconds))
    for i, data in enumerate([b"", b"f", b"fo", b"foo", b"user:password", bytes(range(256))]):
        seeds.write("base64", "bytes-%d" % i, data)


def page_data_seeds(seeds, source, shared):
    """Today's page data: the saved current pages as they come (UTF-8) and our own pages in the
    same shapes, each given to the readers that take it."""
    fixtures = os.path.join(source, "extract", "tests", "fixtures")
    pages = {}
    for path in sorted(glob.glob(os.path.join(shared, "current-pages", "*"))):
        if not path.endswith(".md"):
            pages["current-" + os.path.basename(path)] = read(path)
    for name in ("alibaba_today.html", "alibaba_today_desc.js", "taobao_today.html", "jd_phone.html",
                 "jd_phone_detail.html", "taobao_desc_answer.json"):
        path = os.path.join(fixtures, name)
        if os.path.exists(path):
            pages["fixture-" + name] = read(path)
    for name, data in pages.items():
        # Large pages are cut: the readers' work is in the data script, not in the page's size.
        data = data[:PAGE_DATA_SEED_BYTES]
        if "1688" in name or "alibaba" in name:
            target = "page_data_alibaba_description" if name.endswith(".js") else "page_data_alibaba"
            seeds.write(target, name, data)
        if "taobao" in name or "tmall" in name:
            if name.endswith(".json"):
                seeds.write("page_data_taobao_description", name, data)
            else:
                seeds.write("page_data_taobao", name, data + b"\0_m_h5_tk=0123456789abcdef_1700000000000; t=1\0"
                            b"//h5api.m.taobao.com/h5/mtop.taobao.detail.getdesc/7.0/")
        if "jd" in name:
            seeds.write("page_data_jd_detail" if "detail" in name else "page_data_jd", name, data)
        seeds.write("page_data_scanner", name, b"\0" + data)


def binary_seeds(seeds, skins):
    for path in ZLIB_DLLS:
        if os.path.exists(path):
            seeds.write("pe_image", os.path.basename(os.path.dirname(os.path.dirname(path))) + "-zlib1.dll",
                        read(path))
    for path in sorted(glob.glob(os.path.join(skins, "*.she"))):
        seeds.write("skin_format", os.path.basename(path), read(path))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--shared", required=True)
    parser.add_argument("--skins", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    shutil.rmtree(args.out, ignore_errors=True)
    seeds = Seeds(args.out)
    second_pages, fixture = item_page_seeds(seeds, args.source, args.shared)
    text_seeds(seeds, second_pages, fixture)
    header_seeds(seeds)
    file_name_seeds(seeds)
    batch_seeds(seeds)
    number_seeds(seeds)
    binary_seeds(seeds, args.skins)
    page_data_seeds(seeds, args.source, args.shared)


if __name__ == "__main__":
    main()
