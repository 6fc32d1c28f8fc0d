#!/usr/bin/env python3
"""Regenerates the sample content of the virtual phone.

phone/1..3 hold melodies, animations and pictures already "on the phone",
phone/4/<suite>/ the installed MIDlet suites; pc/ holds files to send.
Needs python3 and ImageMagick's `convert`. Output is deterministic except
for the images, whose bytes depend on the ImageMagick version.
"""
import os
import shutil
import struct
import subprocess
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def midi(notes, tempo_us=500000, program=0):
    """A format-0 MIDI file playing the notes (pitch, ticks) one after another."""
    def vlq(n):
        out = [n & 0x7F]
        n >>= 7
        while n:
            out.insert(0, 0x80 | (n & 0x7F))
            n >>= 7
        return bytes(out)

    track = b"\x00\xff\x51\x03" + tempo_us.to_bytes(3, "big")
    track += b"\x00" + bytes([0xC0, program])
    for pitch, ticks in notes:
        track += b"\x00" + bytes([0x90, pitch, 100])
        track += vlq(ticks) + bytes([0x80, pitch, 64])
    track += b"\x00\xff\x2f\x00"
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96)
    return header + b"MTrk" + struct.pack(">I", len(track)) + track


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def convert(*args):
    os.makedirs(os.path.dirname(args[-1].split(":")[-1]), exist_ok=True)
    subprocess.run(["convert", *args], check=True)


def jar(path, name, vendor, version):
    """A small zip standing in for a MIDlet archive; fixed dates keep it stable."""
    manifest = (
        "Manifest-Version: 1.0\r\n"
        f"MIDlet-Name: {name}\r\nMIDlet-Vendor: {vendor}\r\nMIDlet-Version: {version}\r\n"
        "MicroEdition-Profile: MIDP-2.0\r\nMicroEdition-Configuration: CLDC-1.1\r\n"
    )
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for member, text in (("META-INF/MANIFEST.MF", manifest),
                             ("readme.txt", f"{name} {version}: sample suite for the virtual phone.\n")):
            info = zipfile.ZipInfo(member, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, text)
    return os.path.getsize(path)


def suite(folder, base, name, vendor, version):
    size = jar(os.path.join(folder, base + ".jar"), name, vendor, version)
    jad = (
        f"MIDlet-Name: {name}\r\n"
        f"MIDlet-Version: {version}\r\n"
        f"MIDlet-Vendor: {vendor}\r\n"
        f"MIDlet-Jar-URL: {base}.jar\r\n"
        f"MIDlet-Jar-Size: {size}\r\n"
        f"MIDlet-1: {name}, , {base}.Main\r\n"
        "MicroEdition-Profile: MIDP-2.0\r\n"
        "MicroEdition-Configuration: CLDC-1.1\r\n"
    )
    write(os.path.join(folder, base + ".jad"), jad.encode())


def main():
    phone = os.path.join(HERE, "phone")
    pc = os.path.join(HERE, "pc")
    for d in (phone, pc):
        shutil.rmtree(d, ignore_errors=True)

    # Melodies.
    write(os.path.join(phone, "1", "Morning Bell.mid"), midi([(72, 96), (76, 96), (79, 192), (84, 384)], program=14))
    write(os.path.join(phone, "1", "scale.mid"), midi([(60 + s, 48) for s in (0, 2, 4, 5, 7, 9, 11, 12)]))
    write(os.path.join(pc, "march.mid"), midi([(67, 72), (67, 24), (72, 96), (76, 96), (79, 192)] * 2, program=56))
    write(os.path.join(pc, "lullaby.mid"), midi([(64, 144), (67, 48), (69, 192), (67, 96), (64, 192)], 700000, 10))

    # Animations: two frames each.
    convert("-size", "16x16", "xc:#ffcc00", "xc:#ff6600", "-set", "delay", "50", "-loop", "0",
            os.path.join(phone, "2", "blink.gif"))
    convert("-size", "24x24", "xc:white", "-fill", "blue", "-draw", "rectangle 2,2 11,11",
            "(", "-size", "24x24", "xc:white", "-fill", "blue", "-draw", "rectangle 12,12 21,21", ")",
            "-set", "delay", "30", "-loop", "0", os.path.join(pc, "spinner.gif"))

    # Pictures: one-frame GIFs, a BMP, colour baseline JPEGs.
    convert("-size", "32x32", "radial-gradient:yellow-orange", "-colors", "16",
            os.path.join(phone, "3", "sun.gif"))
    convert("-size", "12x12", "pattern:checkerboard", "BMP3:" + os.path.join(phone, "3", "tile.bmp"))
    convert("-size", "40x30", "gradient:skyblue-navy", "-strip", "-type", "TrueColor", "-quality", "70",
            os.path.join(phone, "3", "photo.jpg"))
    convert("-size", "20x20", "xc:none", "-fill", "gold", "-draw", "circle 10,10 10,2", "-colors", "8",
            os.path.join(pc, "star.gif"))
    convert("-size", "16x12", "gradient:green-lime", "BMP3:" + os.path.join(pc, "field.bmp"))
    convert("-size", "48x32", "gradient:khaki-sienna", "-strip", "-type", "TrueColor", "-quality", "70",
            os.path.join(pc, "beach.jpg"))

    # MIDlet suites: Snake Run 1.0 is installed; the PC has 1.1 and a second suite.
    suite(os.path.join(phone, "4", "Snake Run"), "snake", "Snake Run", "Quendrel Samples", "1.0")
    suite(pc, "snake", "Snake Run", "Quendrel Samples", "1.1")
    suite(pc, "puzzle", "Tile Puzzle", "Quendrel Samples", "1.0.2")


if __name__ == "__main__":
    main()
