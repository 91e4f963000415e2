#!/usr/bin/env python3
"""Writes the demo mail store: a small tree of .eml files laid out like Windows Mail keeps them on disk.

    python3 examples/make-demo-store.py [--out examples/demo-store]

The same run always gives the same bytes, names and modification times. Folders: Inbox (with Family and
Newsletters), Sent Items, Deleted Items (empty), Projects (with Alpha and Beta). Duplicate groups of every
kind the comparison key can produce:
  - exact byte copies;
  - copies with other transport headers (Received, Message-ID, Date);
  - copies whose subject differs only in letter case or in stripped punctuation/white space;
  - a look-alike with the same subject but another body (NOT a duplicate under the default fields);
  - two unrelated messages of exactly the same size (duplicates only when "Size" alone is ticked);
plus plain, HTML-only and multipart/alternative messages, RFC 2047 subjects and names in UTF-8 and
ISO-8859-1, windows-1252 and ISO-8859-1 text parts, and one HTML message with an inline image (cid:).

Ordering: an .eml file has no delivery time in its name, so the store takes its modification time as the
time it entered the store. The script sets those times one minute apart in the order of the file names
(which start with a running number), so originals are older than their copies. Git does not keep
modification times: after a fresh checkout all files carry the checkout time, and the store then orders
messages of equal time by file name, which is the same order. Copy the tree with `cp -a` (or run this
script) to keep the times.
"""
import argparse
import base64
import os
import shutil

BASE_TIME = 1672560000  # 2023-01-01 08:00:00 UTC

# A 1x1 PNG, the inline image.
PNG = base64.b64decode(
    b"iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==")


def qp_latin1(text):
    """RFC 2047 Q-encoding in ISO-8859-1."""
    out = []
    for byte in text.encode("iso-8859-1"):
        c = chr(byte)
        if byte < 128 and c.isalnum():
            out.append(c)
        elif c == " ":
            out.append("_")
        else:
            out.append("=%02X" % byte)
    return "=?ISO-8859-1?Q?" + "".join(out) + "?="


def b_utf8(text):
    return "=?UTF-8?B?" + base64.b64encode(text.encode("utf-8")).decode("ascii") + "?="


def header_text(text, style):
    if all(ord(c) < 128 for c in text):
        return text
    return qp_latin1(text) if style == "latin1" else b_utf8(text)


def address(name, mail, style="utf8"):
    return "%s <%s>" % (header_text(name, style), mail) if name else mail


class Message:
    def __init__(self, n, subject, body, sender=("Anna Berg", "anna@example.org"),
                 to=(("Demo User", "demo@example.org"),), kind="plain", charset="utf-8", style="utf8"):
        self.n = n
        self.subject = subject
        self.body = body
        self.sender = sender
        self.to = to
        self.kind = kind
        self.charset = charset
        self.style = style
        self.received = "from mx1.example.org by mail.example.org; %s" % self.date()
        self.message_id = "<demo-%04d@example.org>" % n

    def date(self, shift=0):
        t = BASE_TIME + (self.n + shift) * 3600
        import time
        return time.strftime("%a, %d %b %Y %H:%M:%S +0000", time.gmtime(t))

    def text_part(self, subtype, text):
        data = text.replace("\n", "\r\n").encode(self.charset)
        if all(b < 128 for b in data):
            return ("Content-Type: text/%s; charset=%s\r\nContent-Transfer-Encoding: 7bit\r\n\r\n" % (
                subtype, self.charset)).encode() + data
        encoded = base64.encodebytes(data).replace(b"\n", b"\r\n")
        return ("Content-Type: text/%s; charset=%s\r\nContent-Transfer-Encoding: base64\r\n\r\n" % (
            subtype, self.charset)).encode() + encoded

    def html(self):
        paragraphs = "".join("<p>%s</p>\r\n" % line.replace("&", "&amp;").replace("<", "&lt;")
                             for line in self.body.split("\n") if line)
        return "<html><head><title>%s</title></head><body>\r\n%s</body></html>\r\n" % (
            self.subject.replace("<", "&lt;"), paragraphs)

    def content(self):
        if self.kind == "plain":
            return self.text_part("plain", self.body)
        if self.kind == "html":
            return self.text_part("html", self.html())
        if self.kind == "alternative":
            return (b"Content-Type: multipart/alternative; boundary=\"alt-%d\"\r\n\r\n" % self.n
                    + b"--alt-%d\r\n" % self.n + self.text_part("plain", self.body)
                    + b"\r\n--alt-%d\r\n" % self.n + self.text_part("html", self.html())
                    + b"\r\n--alt-%d--\r\n" % self.n)
        if self.kind == "inline-image":
            html = self.html().replace("</body>", "<p><img src=\"cid:logo-%d@example.org\" alt=\"logo\"></p></body>" % self.n)
            return (b"Content-Type: multipart/related; boundary=\"rel-%d\"; type=\"text/html\"\r\n\r\n" % self.n
                    + b"--rel-%d\r\n" % self.n + self.text_part("html", html)
                    + b"\r\n--rel-%d\r\n" % self.n
                    + b"Content-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n"
                    + b"Content-ID: <logo-%d@example.org>\r\nContent-Disposition: inline; filename=\"logo.png\"\r\n\r\n" % self.n
                    + base64.encodebytes(PNG).replace(b"\n", b"\r\n")
                    + b"--rel-%d--\r\n" % self.n)
        raise ValueError(self.kind)

    def to_bytes(self, padding=0):
        headers = [
            "Received: " + self.received,
            "From: " + address(self.sender[0], self.sender[1], self.style),
            "To: " + ", ".join(address(n, m, self.style) for n, m in self.to),
            "Subject: " + header_text(self.subject, self.style),
            "Date: " + self.date(),
            "Message-ID: " + self.message_id,
            "MIME-Version: 1.0",
            "X-Mailer: Demo Generator" + "." * padding,
        ]
        return "\r\n".join(headers).encode("ascii") + b"\r\n" + self.content()


def build():
    """(folder, slug, bytes) in the order the files are written."""
    items = []
    n = [0]

    def add(folder, slug, message_or_bytes):
        n[0] += 1
        data = message_or_bytes if isinstance(message_or_bytes, bytes) else message_or_bytes.to_bytes()
        # File names stay valid on Windows too.
        slug = "".join(c for c in slug if c not in '<>:"/\\|?*#!')
        items.append((folder, "%03d %s.eml" % (n[0], slug), data))

    def msg(subject, body, **kw):
        return Message(len(items) + 1, subject, body, **kw)

    topics = [
        ("Inbox", "Lunch on Friday?", "Shall we try the new place on the corner at noon?", "plain"),
        ("Inbox", "Quarterly report", "The quarterly report is ready for review.\nNumbers look good.", "alternative"),
        ("Inbox", "Server maintenance tonight", "The mail server restarts at 22:00 for ten minutes.", "html"),
        ("Inbox", "Grüße aus Köln", "Liebe Grüße aus Köln, bis bald!\nJürgen", "plain"),
        ("Inbox", "Invoice 2023-117", "Please find the invoice details below.\nTotal: 1.250,00 EUR", "alternative"),
        ("Inbox", "Re: Holiday plans", "August works for us. Let's book the cabin.", "plain"),
        ("Inbox/Family", "Photos from the weekend", "The photos are online now. Grandma looks great!", "plain"),
        ("Inbox/Family", "Café crème recipe", "Un café crème: un espresso et du lait chaud.", "plain"),
        ("Inbox/Newsletters", "Weekly digest #12", "Top stories this week: duplicates, mail stores and more.", "html"),
        ("Inbox/Newsletters", "Weekly digest #13", "Top stories this week: folders, trees and keys.", "html"),
        ("Sent Items", "Meeting minutes", "Attached are the minutes of Monday's meeting.", "plain"),
        ("Sent Items", "Re: Quarterly report", "Thanks, I will read it tomorrow.", "alternative"),
        ("Projects/Alpha", "Alpha kickoff", "Kickoff is on the 3rd. Agenda to follow.", "alternative"),
        ("Projects/Alpha", "Alpha: design review", "The design review moves to Thursday.", "plain"),
        ("Projects/Beta", "Beta test results", "All 42 tests passed on the second run.", "plain"),
        ("Projects/Beta", "Beta release notes", "Release notes draft for version 0.9.", "html"),
        ("Projects", "Project overview", "Alpha and Beta are both on schedule.", "plain"),
    ]
    senders = [("Anna Berg", "anna@example.org"), ("Jürgen Müller", "juergen@example.de"),
               ("René Dupré", "rene@example.fr"), (None, "noreply@example.com"), ("Bob Stone", "bob@example.org")]
    originals = []
    for i, (folder, subject, body, kind) in enumerate(topics):
        sender = senders[i % len(senders)]
        style = "latin1" if "é" in subject or sender[0] == "René Dupré" else "utf8"
        charset = "iso-8859-1" if "é" in body else ("windows-1252" if "€" in body else "utf-8")
        m = msg(subject, body, sender=sender, kind=kind, charset=charset, style=style,
                to=(("Demo User", "demo@example.org"), ("Ève Martin", "eve@example.fr")) if i % 3 == 0 else
                (("Demo User", "demo@example.org"),))
        add(folder, subject, m)
        originals.append((folder, m))

    # Exact byte copies (a double delivery, a copy made by hand).
    for idx in (0, 3, 6, 12):
        folder, m = originals[idx]
        add(folder, "copy of " + str(idx), m.to_bytes())
    add(originals[0][0], "second copy of 0", originals[0][1].to_bytes())

    # Copies that travelled another way: new Received, Message-ID and Date, same content.
    for idx in (1, 4, 8, 14):
        folder, m = originals[idx]
        other = Message(m.n, m.subject, m.body, sender=m.sender, to=m.to, kind=m.kind, charset=m.charset, style=m.style)
        other.received = "from mx2.example.net by mail.example.org; " + m.date(shift=1)
        other.message_id = "<resent-%04d@example.net>" % m.n
        add(folder, "resent " + str(idx), other)

    # Subjects that differ only in case or in stripped punctuation and spaces.
    for idx, subject in ((2, "SERVER MAINTENANCE TONIGHT"), (5, "Re:Holiday plans!"), (10, "meeting-minutes"),
                         (13, "Alpha:   design review...")):
        folder, m = originals[idx]
        other = Message(m.n, subject, m.body, sender=m.sender, to=m.to, kind=m.kind, charset=m.charset, style=m.style)
        other.message_id = "<variant-%04d@example.org>" % m.n
        add(folder, "variant " + str(idx), other)

    # Same subject, another body: a look-alike that is not a duplicate under the default fields.
    for idx, body in ((0, "Shall we try the new place on the corner at one?"),
                      (9, "Top stories this week: folders, trees and locks.")):
        folder, m = originals[idx]
        add(folder, "look-alike " + str(idx), Message(m.n + 100, m.subject, body, sender=m.sender, kind=m.kind))

    # Two unrelated messages of exactly the same size.
    a = msg("Parking permit", "Your parking permit for level 2 is renewed.")
    b = msg("Printer toner", "Toner for the second floor printer arrived.")
    da, db = a.to_bytes(), b.to_bytes()
    if len(da) < len(db):
        da = a.to_bytes(padding=len(db) - len(da))
    elif len(db) < len(da):
        db = b.to_bytes(padding=len(da) - len(db))
    assert len(da) == len(db), (len(da), len(db))
    add("Inbox", "Parking permit", da)
    add("Inbox", "Printer toner", db)

    # The inline image, and a copy of it.
    logo = msg("Our new logo", "Here is the new logo, inline.", kind="inline-image", sender=senders[4])
    add("Inbox", "Our new logo", logo)
    add("Projects/Alpha", "Our new logo forwarded", logo.to_bytes())

    # Fill up with unrelated mail so the store is not all duplicates.
    fillers = ["Train delays", "Library books due", "Dentist appointment", "Team offsite", "Budget 2024",
               "Welcome aboard", "Password expiry", "Coffee machine", "Fire drill", "Conference tickets",
               "Book club", "Garden party", "Yoga class", "Bike to work week", "Tax documents",
               "Ünïcödé tëst", "Newsletter signup", "Office move", "Parcel delivery", "Happy birthday!",
               "Security update", "Feedback survey", "Lunch and learn", "Wi-Fi password", "Old photos",
               "Reunion", "Car service", "Flight itinerary", "Hotel booking", "Concert on Saturday"]
    folders = ["Inbox", "Inbox/Family", "Sent Items", "Projects/Beta", "Inbox/Newsletters", "Projects/Alpha"]
    kinds = ["plain", "alternative", "html"]
    for i, subject in enumerate(fillers):
        body = "This note is about %s, number %d of the demo mail.\nNothing else shares this text." % (subject.lower(), i)
        add(folders[i % len(folders)], subject,
            msg(subject, body, kind=kinds[i % 3], sender=senders[(i + 2) % len(senders)]))
    return items


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--out", default=os.path.join(here, "demo-store"))
    args = parser.parse_args()
    if os.path.exists(args.out):
        # Only ever replace a tree this script wrote: folders of .eml files.
        for dirpath, _dirs, files in os.walk(args.out):
            for name in files:
                if not name.endswith(".eml") and name != ".keep":
                    raise SystemExit("refusing to replace %s: %s is not a demo message" % (args.out, name))
        shutil.rmtree(args.out)
    for folder in ("Inbox/Family", "Inbox/Newsletters", "Sent Items", "Deleted Items", "Projects/Alpha",
                   "Projects/Beta"):
        os.makedirs(os.path.join(args.out, folder), exist_ok=True)
    items = build()
    for i, (folder, name, data) in enumerate(sorted(items, key=lambda item: item[1])):
        path = os.path.join(args.out, folder, name)
        with open(path, "wb") as f:
            f.write(data)
        t = BASE_TIME + 60 * i
        os.utime(path, (t, t))
    # An empty folder is kept by git only with a file in it; a .eml-free marker is ignored by the store.
    with open(os.path.join(args.out, "Deleted Items", ".keep"), "w") as f:
        f.write("")
    print("%d messages written to %s" % (len(items), args.out))


if __name__ == "__main__":
    main()
