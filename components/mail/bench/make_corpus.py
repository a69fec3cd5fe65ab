#!/usr/bin/python3
"""make_corpus.py COUNT OUTDIR: writes COUNT mails of about 5 KB as OUTDIR/NNNNNN.eml
for the receive benchmark. Charsets rotate through ISO-2022-JP, UTF-8 (base64),
Shift_JIS (quoted-printable), EUC-JP (8bit) and US-ASCII; every tenth mail
carries a 30 KB binary attachment. Line endings are LF, as in a Maildir.
The same COUNT always gives the same bytes."""
import base64
import os
import quopri
import random
import sys
from email.header import Header

count, outdir = int(sys.argv[1]), sys.argv[2]
os.makedirs(outdir, exist_ok=True)
rng = random.Random(20261206)

JAPANESE = ("明日の打ち合わせは十時から第二会議室で行います。資料は前日までにお送りします。"
            "ご不明な点がありましたら、お気軽にお問い合わせください。①②③の順に進めます。")
ENGLISH = "The weekly report is attached below; please read it before the meeting starts.\n"


def japanese_text(size):
    text = ""
    while len(text.encode("utf-8")) < size:
        text += JAPANESE + "\n"
    return text


def body_part(kind, size):
    """Returns (content-type, transfer-encoding, encoded body bytes)."""
    if kind == 0:
        text = japanese_text(size).replace("①", "1").replace("②", "2").replace("③", "3")
        return 'text/plain; charset="ISO-2022-JP"', "7bit", text.encode("iso2022_jp")
    if kind == 1:
        return 'text/plain; charset="UTF-8"', "base64", base64.encodebytes(japanese_text(size).encode())
    if kind == 2:
        text = japanese_text(size).replace("①", "1").replace("②", "2").replace("③", "3")
        encoded = quopri.encodestring(text.encode("shift_jis").replace(b"\n", b"\r\n"))
        return 'text/plain; charset="Shift_JIS"', "quoted-printable", encoded.replace(b"\r\n", b"\n")
    if kind == 3:
        text = japanese_text(size).replace("①", "1").replace("②", "2").replace("③", "3")
        return 'text/plain; charset="EUC-JP"', "8bit", text.encode("euc_jp")
    return 'text/plain; charset="us-ascii"', "7bit", (ENGLISH * (size // len(ENGLISH) + 1)).encode()


for i in range(1, count + 1):
    kind = i % 5
    charset = ["iso-2022-jp", "utf-8", "shift_jis", "euc-jp", "utf-8"][kind]
    subject = Header("週次報告 第%d号 ご確認ください" % i, charset).encode() if kind != 4 else "Weekly report %d" % i
    headers = [
        "Return-Path: <sender%d@example.org>" % (i % 13),
        "Received: from mx.example.org by pop.example.jp; Sun, 6 Dec 2026 10:00:00 +0900",
        "From: %s <sender%d@example.org>" % (Header("送信者 %d" % (i % 13), "utf-8").encode(), i % 13),
        "To: testuser@example.jp",
        "Subject: " + subject,
        "Date: Sun, 6 Dec 2026 %02d:%02d:%02d +0900" % (i // 3600 % 24, i // 60 % 60, i % 60),
        "Message-ID: <bench%d.%d@example.org>" % (i, rng.randrange(10 ** 9)),
        "MIME-Version: 1.0",
    ]
    ctype, cte, body = body_part(kind, 3400)
    if i % 10 == 0:
        attachment = base64.encodebytes(rng.randbytes(30 * 1024))
        headers.append('Content-Type: multipart/mixed; boundary="=_bench_%d"' % i)
        boundary = ("--=_bench_%d" % i).encode()
        payload = (boundary + b"\nContent-Type: " + ctype.encode() + b"\nContent-Transfer-Encoding: " +
                   cte.encode() + b"\n\n" + body + b"\n" + boundary +
                   b'\nContent-Type: application/octet-stream; name="report.bin"\n'
                   b'Content-Disposition: attachment; filename="report.bin"\n'
                   b"Content-Transfer-Encoding: base64\n\n" + attachment + boundary + b"--\n")
    else:
        headers += ["Content-Type: " + ctype, "Content-Transfer-Encoding: " + cte]
        payload = body
    with open(os.path.join(outdir, "%06d.eml" % i), "wb") as f:
        f.write(("\n".join(headers) + "\n\n").encode() + payload)
