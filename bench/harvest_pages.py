#!/usr/bin/env python3
"""Writes the pages of the harvest benchmark and the loopback server's route file.

  harvest_pages.py <source dir> <out dir>

Pages (served by tests/support/loopback_server.py, GBK as the classic offer pages declare):
  /offer/<rows>.html  an offer of the classic layout with 20, 200 or 2,000 rows (main, SKU and
                      detail pictures) and a SKU name per SKU picture; /desc/<rows>.js its
                      description document
  /pieces.html        an offer of 400,000 empty gallery pieces and as many empty SKU names
  /sku-refs.htm, /attribute-refs.htm
                      today's Taobao page data reaching one string through 2,000 references from a
                      node reached 2,000 (or 200) times: fuzz/regressions/page_data_taobao/
  /16mb.htm, /64mb.htm
                      the SKU references of the above, the shared node referenced from a page of
                      just under 16 MB (the most of a page the program reads) and of 64 MB
The offers name their description documents at "@SERVER@", which the benchmark replaces with the
server's address once it listens. Writes routes.json and pages.txt, one line per page:
"<name> <path> <platform>".
"""
import json
import os
import sys

source, out = sys.argv[1], sys.argv[2]
os.makedirs(out, exist_ok=True)
routes = {}


def serve(path, data, content_type="text/html; charset=gbk"):
    name = path.strip("/").replace("/", "_")
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
    routes[path] = {"status": 200, "headers": [["Content-Type", content_type]], "body_file": os.path.join(out, name)}


def offer(rows):
    """main, sku and detail counts adding up to `rows`."""
    main = 5 if rows < 1000 else 10
    sku = 5 if rows <= 20 else 15 if rows <= 200 else 90
    return main, sku, rows - main - sku


def picture(kind, i):
    return "https://cbu01.alicdn.com/img/ibank/2020/%s/%04d/%s%06d_2100000003.jpg" % (kind, i % 1000, kind, i)


listing = []
for rows in (20, 200, 2000):
    main, sku, detail = offer(rows)
    gallery = "".join(
        '<li class="tab-trigger%s" data-imgs=\'{"preview":"x","original":"%s"}\'><img src="x"/></li>\n'
        % (" active" if i == 0 else "", picture("main", i)) for i in range(main))
    values = ",".join('{"imageUrl":"%s","name":"颜色%d号"}' % (picture("sku", i), i + 1) for i in range(sku))
    page = ("<!DOCTYPE html><html><head><meta charset=\"gbk\"/><title>基准测试商品 %d张图-阿里巴巴</title>\n"
            "<script>var iDetailData = {'sku': {\"skuProps\":[{\"prop\":\"颜色\",\"value\":[%s]}],\"end\":0}};"
            "iDetailData.allTagIds = [];</script></head><body>\n<ul>%s</ul><div class=\"unit-detail-fav\"></div>\n"
            "<div data-tfs-url=\"@SERVER@/desc/%d.js\" data-enable=\"true\"></div></body></html>\n") % (
                rows, values, gallery, rows)
    serve("/offer/%d.html" % rows, page.encode("gbk"))
    desc = "var offer_details={\"content\":\"<p>%s</p>\"};" % "".join(
        '<img src=\\"%s\\" />' % picture("desc", i) for i in range(detail))
    serve("/desc/%d.js" % rows, desc.encode("gbk"), "application/javascript; charset=gbk")
    listing.append(("%d-rows" % rows, "/offer/%d.html" % rows, "alibaba"))

pieces = ("tab-trigger active" + "original\":\"\"}'>" * 400000 + "unit-detail-fav skuProps" + "name\":\"\"}" * 400000
          + "allTagIds")
serve("/pieces.html", pieces.encode("ascii"))
listing.append(("400000-pieces", "/pieces.html", "alibaba"))

regressions = os.path.join(source, "fuzz", "regressions", "page_data_taobao")
for name, path in (("sku-refs", "sku-names-through-one-shared-reference"),
                   ("attribute-refs", "attribute-values-through-one-shared-reference")):
    with open(os.path.join(regressions, path), "rb") as f:
        data = f.read()
    serve("/%s.htm" % name, data, "text/html; charset=utf-8")
    listing.append((name, "/%s.htm" % name, "taobao"))
    if name == "sku-refs":
        element = b'{"$ref":"$.p"},'
        at = data.index(b'"props":[') + len(b'"props":[')
        for megabytes in (16, 64):
            count = ((megabytes << 20) - len(data)) // len(element)
            serve("/%dmb.htm" % megabytes, data[:at] + element * count + data[at:], "text/html; charset=utf-8")
            listing.append(("%d-MB" % megabytes, "/%dmb.htm" % megabytes, "taobao"))

routes["/"] = {"status": 200, "headers": [["Content-Type", "text/html"]], "body_b64": ""}
with open(os.path.join(out, "routes.json"), "w") as f:
    json.dump({"routes": routes, "default": {"status": 404, "body_b64": ""}}, f)
with open(os.path.join(out, "pages.txt"), "w") as f:
    for name, path, platform in listing:
        f.write("%s %s %s\n" % (name, path, platform))
