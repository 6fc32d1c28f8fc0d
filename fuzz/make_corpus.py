#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into corpus/<target>/.

Every seed is made here from scratch: short, well-formed examples of each
input plus a few broken ones, so the fuzzer starts next to the interesting
paths. Run it again after changing a format; the files are kept in the
repository.
"""
import hashlib
import io
import os
import shutil
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
OK = b"\r\nOK\r\n"
ERROR = b"\r\nERROR\r\n"


def hex_upper(data):
    return data.hex().upper().encode()


def packet_number(n):
    digits = "0123456789ABCDEF"
    high = n // 16
    return (digits[high] if high < 16 else "F") + digits[n % 16]


def packet(n, data, last, bad_check=False):
    """One download packet as the phone sends it."""
    hexdata = hex_upper(data)
    check = sum(hexdata) & 0xFFFF
    if bad_check:
        check = (check + 1) & 0xFFFF
    body = (packet_number(n) + "0" + ("0" if last else "1")).encode() + hexdata
    text = b"\r\n*FDWN: " + str(n).encode() + b"\r\n" + body + b"%04X" % check + b"\r\n"
    return text + (OK if last else b"")


def gif(frames, trailer=True, comment_after=False, width=16, height=16):
    out = b"GIF89a" + width.to_bytes(2, "little") + height.to_bytes(2, "little")
    out += bytes([0x80, 0, 0])  # global colour table of 2 entries
    out += bytes(6)
    for _ in range(frames):
        out += bytes([0x21, 0xF9, 4, 0, 10, 0, 0, 0])  # graphic control
        out += bytes([0x2C, 0, 0, 0, 0]) + width.to_bytes(2, "little") + height.to_bytes(2, "little") + b"\x00"
        out += bytes([2, 2, 0x44, 0x01, 0])
    if comment_after:
        out += bytes([0x21, 0xFE, 3]) + b"abc" + b"\x00"
    if trailer:
        out += b"\x3B"
    return out


def bmp(width, height):
    head = b"BM" + (70).to_bytes(4, "little") + bytes(4) + (54).to_bytes(4, "little")
    info = (40).to_bytes(4, "little") + width.to_bytes(4, "little", signed=True)
    info += height.to_bytes(4, "little", signed=True) + bytes(28)
    return head + info + bytes(16)


def jpeg(width, height, pad=0):
    out = b"\xFF\xD8\xFF\xE0\x00\x10JFIF\x00" + bytes(pad)
    out += b"\xFF\xC0\x00\x11\x08" + height.to_bytes(2, "big") + width.to_bytes(2, "big")
    return out + b"\x03\x01\x22\x00\xFF\xD9"


def jad(**fields):
    lines = ["%s: %s" % (k.replace("_", "-"), v) for k, v in fields.items()]
    return ("\r\n".join(lines) + "\r\n").encode()


FULL_JAD = dict(MIDlet_Name="Snake", MIDlet_Version="1.2.3", MIDlet_Vendor="Us",
                MIDlet_Jar_URL="snake.jar", MIDlet_Jar_Size="12345")


def suite(url, name, size, version):
    return b"URL:" + url + b"\r\nNAME:" + name + b"\r\nSIZE:" + size + b"\r\nVERSION:" + version


SEEDS = {
    "fuzz_reply": {
        # First byte: verdict before the text (byte % 7); second: read size;
        # then the reply, or the line sent, NUL and the reply.
        "ok": b"\x00\x05" + OK,
        "error": b"\x00\x03" + ERROR,
        "install_code": b"\x00\x07\r\n*JINS: (3)\r\nERROR\r\n",
        "first_packet": b"\x02\x10" + packet(1, b"hello", False),
        "next_packet": b"\x03\x20AT*ACK\r\n" + packet(2, b"world", False),
        "last_packet": b"\x03\x20AT*ACK\r\n" + packet(3, b"!", True),
        "resend": b"\x05\x08AT*D_ERR\r\n" + packet(2, b"again", False),
        "upload_refused": b"\x00\x04\r\n*FUPL: D_ERR\r\n",
        "babble": b"\xFF\x01" + b"noise " * 20,
        # "sent line NUL reply": the phone echoes the line first.
        "echo_ok": b"\x00\x06AT*FRMV=\"BOOK.mid\"\r\n\x00AT*FRMV=\"BOOK.mid\"\r\r\nERROR\r\n",
        "echo_only": b"\x00\x03AT*FLIST=\"ERROR(1)\"\r\n\x00AT*FLIST=\"ERR",
    },
    "fuzz_listing": {
        "two_files": b"\r\n<F> tune.mid (1234)\r\n<F> song.mmf (99)\r\n<D> sub\r\n" + OK,
        "empty": b"\r\n" + OK,
        "broken": b"\r\n<F> cut (12",
        "odd_sizes": b"<F> a (-5)\r\n<F> b (99999999999)\r\n<F> c ()\r\n<F>(7)\r\n<X> d (1)\r\n",
    },
    "fuzz_download": {
        # First byte: verdict (byte % 7), top bit = the disk fills after byte 2 bytes.
        "first": b"\x02\x00" + packet(1, bytes(range(40)), False),
        "last": b"\x03\x00AT*ACK\r\n" + packet(5, b"end", True),
        "bad_check": b"\x02\x00" + packet(1, b"abc", False, bad_check=True),
        "two_packets": b"\x03\x00" + packet(2, b"xy", False) + packet(3, b"z", True),
        "disk_full": b"\x82\x02" + packet(1, b"abcdef", False),
        "odd_hex": b"\x02\x00\r\n*FDWN: 1\r\n01014142A\r\n",
        "no_number": b"\x02\x00\r\n*FDWN: x\r\n0101\r\n",
        "no_packet": b"\x00\x00\r\nOK\r\n",
    },
    "fuzz_suite_list": {
        "one": suite(b"http://a/b.jar", b"Snake", b"2048", b"1.0.1") + b"\r\n" + OK,
        "two": suite(b"u1", b"A", b"1", b"1") + b"\r\n" + suite(b"u2", b"B", b"22", b"2.2") + b"\r\n",
        "seam": b"URL:http://x/" + b"0000*FDWN:0201" + b"y.jar\r\nNAME:Tet" + b"0000*FDWN:0301" + b"ris\r\nSIZE:300\r\nVERSION:1\r\n",
        "bad_size": suite(b"u", b"n", b"12a", b"1") + b"\r\n",
        "cut": b"URL:u\r\nNAME:n\r\nSIZE:",
    },
    "fuzz_jad": {
        "full": jad(**FULL_JAD),
        "missing_vendor": jad(**{k: v for k, v in FULL_JAD.items() if k != "MIDlet_Vendor"}),
        "spaces": b"MIDlet-Name :  Spaced   \nMIDlet-Version:2\nMIDlet-Vendor:V\nMIDlet-Jar-URL:x.jar\nMIDlet-Jar-Size: -7\n",
        "huge_size": jad(**dict(FULL_JAD, MIDlet_Jar_Size="99999999999999999999")),
    },
    "fuzz_version": {
        "same": b"1.2.3\x001.2.3",
        "older": b"1.2.3\x001.2.2",
        "newer": b"1.0\x001.0.1",
        "junk": b"  -4.x.9\n7\x00+2..",
        "long": b"99999999999.1\x004294967296.0",
    },
    "fuzz_gif": {
        "still": gif(1),
        "animated": gif(3),
        "comment_after": gif(1, comment_after=True),
        "no_trailer": gif(2, trailer=False),
        "cut": gif(2)[:-9],
        "not_gif": b"GIF88a" + bytes(10),
    },
    "fuzz_header": {
        # First byte picks the file name (byte % 8); bit 3 = stale size.
        "midi": b"\x00MThd\x00\x00\x00\x06\x00\x01",
        "mmf": b"\x00MMMD\x00\x00",
        "gif": b"\x01" + gif(2),
        "big_gif": b"\x01" + gif(1, width=700),
        "jpeg": b"\x02" + jpeg(320, 240),
        "jpeg_far": b"\x02" + jpeg(100, 100, pad=5000),
        "bmp": b"\x03" + bmp(64, -64),
        "short_bmp": b"\x03BM\x00\x00",
        "wbmp": b"\x04\x00\x00\x10\x10",
        "stale": b"\x09" + gif(1),
    },
    "fuzz_ini": {
        "plain": b"debugFlag=0\r\n",
        "logs": b"[Main]\ndebugflag=96\nOther=1\n",
        "first_wins": b"DEBUGFLAG=32\ndebugFlag=64\n",
        "bad_number": b"debugFlag= 32\n",
        "no_newline": b"a=b\nc",
    },
}


def jar(manifest, extra=()):
    """A suite archive holding this manifest (and more entries), built in memory."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        entries = ([("META-INF/MANIFEST.MF", manifest)] if manifest is not None else []) + list(extra)
        for name, data in entries:
            # A fixed date keeps the seeds the same from run to run.
            z.writestr(zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0)), data, zipfile.ZIP_DEFLATED)
    return out.getvalue()


MANIFEST = (b"Manifest-Version: 1.0\r\nMIDlet-Name: Game\r\nMIDlet-Version: 1.0\n"
            b"MIDlet-Vendor: Quendrel\r\n  Test\r\nMIDlet-1: Game, , a.Main\r\n\r\n"
            b"Name: a/Main.class\r\nSHA1-Digest: x\r\n")

# First byte: even = manifest text, odd = archive (and the size cap).
SEEDS["fuzz_manifest"] = {
    "text": b"\x00" + MANIFEST,
    "text_cr": b"\x00A: 1\rB: 2\r 3\r",
    "text_own_url": b"\x00MIDlet-Jar-URL: y.jar\nMIDlet-Jar-Size: 9\nMIDlet-Name: N\n",
    "text_bom": b"\x00\xef\xbb\xbfA: 1\n",
    "jar": b"\xff" + jar(MANIFEST, [("a/Main.class", b"\xca\xfe\xba\xbe" * 8)]),
    "jar_stored": b"\x01" + jar(b"A: 1\n"),
    "jar_no_manifest": b"\xff" + jar(None, [("readme.txt", b"hello")]),
    "jar_cut": b"\xff" + jar(MANIFEST)[:60],
}


# The fixed files of the backup fuzz_sums checks, as the target writes them.
BACKUP_FILES = {
    "melodies/a.mid": b"MThd\x00\x00\x00\x06melody",
    "pictures/b.gif": b"GIF89a picture",
    "suites.tsv": b"name\tversion\tsize\turl\nGame\t1.0\t100\tgame.jar\n",
}


def sum_line(name, data=None, escaped=False):
    digest = hashlib.sha256(BACKUP_FILES.get(name, b"") if data is None else data).hexdigest().encode()
    return (b"\\" if escaped else b"") + digest + b"  " + name.encode() + b"\n"


WHOLE_SUMS = b"".join(sum_line(n) for n in BACKUP_FILES)
SEEDS["fuzz_sums"] = {
    "whole": WHOLE_SUMS,
    "binary_mark": WHOLE_SUMS.replace(b"  pictures", b" *pictures"),
    "no_picture": sum_line("melodies/a.mid") + sum_line("suites.tsv"),
    "empty": b"",
    "first_line": sum_line("melodies/a.mid"),
    "no_last_end": WHOLE_SUMS[:-1],
    "twice": WHOLE_SUMS + sum_line("melodies/a.mid"),
    "wrong_sum": sum_line("melodies/a.mid", b"other") + sum_line("suites.tsv"),
    "outside": WHOLE_SUMS + sum_line("melodies/../../etc/passwd") + sum_line("other/x.gif"),
    "escaped": WHOLE_SUMS + b"\\" + b"0" * 64 + b"  melodies/a\\nb.mid\n",
    "crlf": WHOLE_SUMS.replace(b"\n", b"\r\n"),
}

SEEDS["fuzz_suites"] = {
    "one": BACKUP_FILES["suites.tsv"],
    "none": b"name\tversion\tsize\turl\n",
    "crlf": b"name\tversion\tsize\turl\r\nGame\t1.0\t100\tgame.jar\r\nSnake Run\t2\t-5\t\r\n",
    "short_rows": b"h\n\t\t\t\nA\tB\nC\t1\t2\t3\t4\t5\n",
    "big_size": b"h\nA\t1\t99999999999999999999\tu\nB\t1\t0x10\tu\nC\t1\t 7z\tu\n",
    "no_header_end": b"name\tversion",
    "inner_cr": b"h\nA\rB\t1\r\t3\tu\r\n",
}


def main():
    root = os.path.join(HERE, "corpus")
    for target, seeds in SEEDS.items():
        folder = os.path.join(root, target)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    print("wrote", sum(len(s) for s in SEEDS.values()), "seeds in", root)


if __name__ == "__main__":
    main()
