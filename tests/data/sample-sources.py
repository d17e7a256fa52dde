#!/usr/bin/env python3
"""Writes the HTML sources of the sample packages (with their pictures) into the current folder."""
import base64
import struct
import subprocess
import zlib


def png(width, height, colour):
    raw = b"".join(b"\x00" + b"".join(bytes(colour(x, y)) for x in range(width))
                   for y in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def data_uri(kind, data):
    return f"data:image/{kind};base64,{base64.b64encode(data).decode()}"


chart = png(160, 100, lambda x, y: ((x * 255) // 160, (y * 255) // 100, 180))
with open("report.html", "w", encoding="utf-8") as out:
    out.write(f"""<html><head><meta charset="utf-8"><title>Quarterly report template</title></head><body>
<h1>Quarterly report</h1>
<p>This template was written for the repair tests. It has a heading, <b>bold</b> and <i>italic</i> text, a table and a picture.</p>
<table border="1"><tr><th>Quarter</th><th>Revenue</th></tr><tr><td>Q1</td><td>1,200</td></tr><tr><td>Q2</td><td>1,450</td></tr></table>
<p><img src="{data_uri('png', chart)}" width="160" height="100"></p>
<p>\u00c6r\u00f8sk\u00f8bing, Z\u00fcrich, na\u00efve caf\u00e9 \u2014 non-ASCII text in the body.</p>
</body></html>""")

subprocess.run(["convert", "-size", "120x80", "gradient:orange-navy", "photo.jpg"], check=True)
subprocess.run(["convert", "-size", "64x64", "xc:white", "-fill", "#1f4e9a", "-draw",
                "circle 32,32 32,6", "logo.gif"], check=True)
paragraphs = "".join(
    f"<p>Paragraph {i}: Dear customer, thank you for your order number {1000 + i}. We confirm "
    "the delivery date and the terms agreed in our last letter.</p>" for i in range(40))
with open("letter.html", "w", encoding="utf-8") as out:
    out.write(f"""<html><head><meta charset="utf-8"><title>Letter template</title></head><body>
<p><img src="{data_uri('gif', open('logo.gif', 'rb').read())}" width="64" height="64"> <b>Brenvik Trading</b></p>
<h2>Order confirmation</h2>{paragraphs}
<p><img src="{data_uri('jpeg', open('photo.jpg', 'rb').read())}" width="120" height="80"></p>
<ol><li>First item</li><li>Second item</li></ol></body></html>""")

with open("memo.html", "w", encoding="utf-8") as out:
    out.write('<html><head><meta charset="utf-8"><title>Memo</title></head><body><h1>Memo</h1>'
              "<p>To: all staff</p><p>From: the office</p>"
              "<p>Please use this template for internal memos.</p></body></html>")
