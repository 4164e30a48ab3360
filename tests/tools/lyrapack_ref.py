#!/usr/bin/env python3
"""A second, independent implementation of the resource archive format, used
to check that lyrapack writes and reads archives another program agrees with.

Run as: lyrapack_ref.py LYRAPACK_BINARY
Exits non-zero with a message on the first disagreement.
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

MAGIC = b"LYRAPACK"
VERSION = 203
BASE_SEED = 0x6D21
MASK = 0xFFFFFFFF


class Keystream:
    def __init__(self, seed):
        self._fill(seed)

    def _fill(self, seed):
        self.table = []
        value = seed & MASK
        for _ in range(624):
            value = (value * 69069) & MASK
            self.table.append(value)
        self.index = 0

    def next(self, byte):
        if self.index >= 624:
            self._fill(self.table[623])
        y = self.table[self.index]
        self.index += 1
        y ^= y >> 11
        y ^= (y << 7) & 0x5C2E9B17
        y &= MASK
        y ^= (y << 15) & 0x2A6D4F39
        y &= MASK
        y ^= y >> 18
        return byte ^ (y & 0xFF)

    def apply(self, data):
        return bytes(self.next(b) for b in data)


def collect(folder):
    """(relative path with '/', archive name with backslashes) of every file, sorted."""
    found = []
    for root, _dirs, files in os.walk(folder):
        for f in files:
            full = os.path.join(root, f)
            rel = os.path.relpath(full, folder).replace(os.sep, "/")
            found.append(rel)
    found.sort(key=lambda r: r.encode("utf-8", "surrogateescape"))
    return [(r, r.encode("utf-8", "surrogateescape").replace(b"/", b"\\")) for r in found]


def pack(folder, archive, priority, code):
    files = collect(folder)
    records = []
    blobs = []
    directory_size = sum(2 + len(name) + 8 for _rel, name in files)
    offset = 20 + directory_size
    names = Keystream(BASE_SEED)
    for rel, name in files:
        with open(os.path.join(folder, rel), "rb") as fh:
            data = fh.read()
        records.append(struct.pack("<BB", code, len(name)) + names.apply(name) + struct.pack("<II", offset, len(data)))
        blobs.append(Keystream(BASE_SEED + code).apply(data) if code else data)
        offset += len(data)
    with open(archive, "wb") as fh:
        fh.write(MAGIC + struct.pack("<III", VERSION, priority, len(files)))
        fh.write(b"".join(records))
        fh.write(b"".join(blobs))


def read(archive):
    """(priority, [(name, code, data)]) of an archive."""
    with open(archive, "rb") as fh:
        raw = fh.read()
    if raw[:8] != MAGIC:
        raise ValueError("bad magic")
    version, priority, count = struct.unpack_from("<III", raw, 8)
    if version != VERSION:
        raise ValueError("bad version %d" % version)
    pos = 20
    names = Keystream(BASE_SEED)
    entries = []
    for _ in range(count):
        code, length = struct.unpack_from("<BB", raw, pos)
        if length == 0:
            raise ValueError("zero name length")
        name = names.apply(raw[pos + 2:pos + 2 + length])
        offset, size = struct.unpack_from("<II", raw, pos + 2 + length)
        pos += 2 + length + 8
        if offset + size > len(raw):
            raise ValueError("entry outside the archive")
        data = raw[offset:offset + size]
        entries.append((name, code, Keystream(BASE_SEED + code).apply(data) if code else data))
    return priority, entries


def fail(message):
    print("lyrapack_ref: " + message, file=sys.stderr)
    sys.exit(1)


def make_tree(folder):
    rng = random.Random(20240611)
    files = {
        "script/start.txt": b"; opening\r\nhello\r\n",
        "script/Chapter01.TXT": bytes(rng.randrange(256) for _ in range(3000)),
        "config/config.txt": b"[System]\r\nScreenWidth 800\r\n",
        "img/bg/Room Night.png": bytes(rng.randrange(256) for _ in range(1500)),
        "se/empty.ogg": b"",
    }
    # Enough long names that the name keystream refills its table.
    for i in range(30):
        files["voice/v%03d_%s.ogg" % (i, "x" * 20)] = bytes(rng.randrange(256) for _ in range(rng.randrange(1, 80)))
    for rel, data in files.items():
        path = os.path.join(folder, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as fh:
            fh.write(data)
    return files


def main():
    if len(sys.argv) != 2:
        fail("usage: lyrapack_ref.py LYRAPACK_BINARY")
    tool = sys.argv[1]
    work = tempfile.mkdtemp(prefix="lyrapack-ref-")
    try:
        src = os.path.join(work, "src")
        files = make_tree(src)
        expected = {rel.replace("/", "\\").encode(): data for rel, data in files.items()}
        for priority, code in ((0, 0), (7, 1), (0xFFFFFFFF, 255)):
            ours = os.path.join(work, "ref-%d.dat" % code)
            theirs = os.path.join(work, "tool-%d.dat" % code)
            pack(src, ours, priority, code)
            subprocess.run([tool, "create", theirs, src, "--priority", str(priority), "--scramble", str(code)],
                           check=True)

            # Same input, same rules: the two writers agree byte for byte.
            with open(ours, "rb") as a, open(theirs, "rb") as b:
                if a.read() != b.read():
                    fail("archives differ for code %d" % code)

            # The tool reads what this writer wrote.
            listing = subprocess.run([tool, "list", ours], check=True, capture_output=True).stdout
            want = b"".join(b"%s %d %d\n" % (name, len(expected[name]), code)
                            for _rel, name in collect(src))
            if listing != want:
                fail("list of the reference archive differs for code %d" % code)
            out = os.path.join(work, "out-%d" % code)
            subprocess.run([tool, "extract", ours, out], check=True)
            for rel, data in files.items():
                with open(os.path.join(out, rel), "rb") as fh:
                    if fh.read() != data:
                        fail("extracted %s differs for code %d" % (rel, code))

            # This reader reads what the tool wrote.
            got_priority, entries = read(theirs)
            if got_priority != priority:
                fail("priority %d read back as %d" % (priority, got_priority))
            if len(entries) != len(expected):
                fail("tool archive holds %d entries, expected %d" % (len(entries), len(expected)))
            for name, got_code, data in entries:
                if got_code != code or expected.get(name) != data:
                    fail("entry %r of the tool archive differs (code %d)" % (name, got_code))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("lyrapack_ref: ok")


if __name__ == "__main__":
    main()
