#!/usr/bin/python3
"""Reads every file of the corpus's png, bmp, tiff and jpeg folders through
the imaging control (orn_corpus_decode) and compares the pixels with a
reference decode made here by other libraries: Pillow for PNG, BMP and JPEG
(the BMP suite's own pictures in bmp/ref where it has one), libtiff's
tiff2rgba for TIFF. Transparent pixels are laid on the file's PNG
background colour or on white. Lossless files must match exactly, JPEG
within 40 dB PSNR. PngSuite's corrupt files (x*) must be refused; the BMP
suite's bad files (bmp/b) refused or read without harm (counted as
"read"). bmp/q holds files on which readers differ: they are counted and
must not crash, nothing more.

Prints a table per suite; exits 1 when a file came out wrong or crashed,
77 when the corpus or Pillow is absent."""

import argparse
import atexit
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

try:
    from PIL import Image, ImageOps
except ImportError:
    print("corpus check skipped: Pillow (python3-pil) is not installed")
    sys.exit(77)

WHITE = (255, 255, 255)


def over(c, a, bg):
    """Straight alpha laid on paper, rounded."""
    return (c * a + bg * (255 - a) + 127) // 255


def png_chunks(path):
    with open(path, "rb") as f:
        data = f.read()
    pos, chunks = 8, {}
    while pos + 8 <= len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunks.setdefault(kind, data[pos + 8:pos + 8 + n])
        pos += 12 + n
    return chunks


def png_background(path):
    """The bKGD colour as 8-bit R, G, B, or white."""
    ch = png_chunks(path)
    ihdr, bkgd = ch.get(b"IHDR"), ch.get(b"bKGD")
    if not ihdr or not bkgd:
        return WHITE
    depth, ctype = ihdr[8], ihdr[9]
    top = (1 << depth) - 1
    if ctype == 3:
        pal = ch.get(b"PLTE", b"")
        i = bkgd[0]
        return tuple(pal[3 * i:3 * i + 3]) if 3 * i + 3 <= len(pal) else WHITE
    vals = [v for v in struct.unpack(">%dH" % (len(bkgd) // 2), bkgd)]
    scaled = [v >> 8 if depth == 16 else v * 255 // top for v in vals]
    return tuple(scaled * 3) if len(scaled) == 1 else tuple(scaled[:3])


def rgba_of_png(path):
    """8-bit R, G, B, A per pixel as Pillow decodes the file; a tRNS colour
    is compared at the file's own depth."""
    im = Image.open(path)
    w, h = im.size
    trns = im.info.get("transparency")
    if im.mode in ("I", "I;16", "I;16B"):
        vals = list(im.getdata())
        return w, h, [(v >> 8,) * 3 + (0 if v == trns else 255,) for v in vals]
    if im.mode == "RGB" and trns is not None and im.tile and im.tile[0][3] == "RGB;16B":
        hi = list(im.convert("RGB").getdata())
        lo_im = Image.open(path)
        lo_im.tile = [(t[0], t[1], t[2], "RGB;16L") for t in lo_im.tile]
        lo = list(lo_im.getdata())
        out = []
        for (a, b, c), (d, e, f) in zip(hi, lo):
            full = (a << 8 | d, b << 8 | e, c << 8 | f)
            out.append((a, b, c, 0 if full == tuple(trns) else 255))
        return w, h, out
    if im.mode == "L" and trns is not None:
        depth = png_chunks(path)[b"IHDR"][8]
        level = trns * 255 // ((1 << depth) - 1)
        return w, h, [(v, v, v, 0 if v == level else 255) for v in im.getdata()]
    return w, h, list(im.convert("RGBA").getdata())


def lay(pixels, bg):
    return [tuple(over(p[i], p[3], bg[i]) for i in range(3)) for p in pixels]


def ref_png(path):
    w, h, px = rgba_of_png(path)
    return w, h, lay(px, png_background(path))


# The BMP suite's pictures of its files, where the file's own name is not
# the picture's: variants of one picture share it.
BMP_REF_ALIAS = {
    "pal1wb": "pal1", "pal4rle": "pal4", "pal8-0": "pal8", "pal8os2": "pal8", "pal8rle": "pal8",
    "pal8topdown": "pal8", "pal8v4": "pal8", "pal8v5": "pal8",
    "rgb16-565pal": "rgb16-565", "rgb16bfdef": "rgb16", "rgb24pal": "rgb24", "rgb32": "rgb24",
    "rgb32bf": "rgb24", "rgb32bfdef": "rgb24", "rgba32-1": "rgba32", "rgba32-2": "rgba32",
    "rgba32abf": "rgba32", "rgba32h56": "rgba32", "rgb32h52": "rgb24", "rgb32-xbgr": "rgb24",
    "rgb32-111110": "rgb24", "pal8os2v2": "pal8", "pal8os2v2-16": "pal8",
    "pal8os2v2-40sz": "pal8", "pal8os2v2-sz": "pal8", "pal8os2-sz": "pal8", "pal8os2-hs": "pal8",
    "pal8os2sp": "pal8", "pal8offs": "pal8", "pal8oversizepal": "pal8", "rgb24largepal": "rgb24",
    "rgb24lprof": "rgb24", "rgb24prof": "rgb24", "rgb24prof2": "rgb24", "pal1huffmsb": "pal1",
}


def ref_bmp(path):
    stem = os.path.splitext(os.path.basename(path))[0]
    refdir = os.path.join(os.path.dirname(os.path.dirname(path)), "ref")
    for name in (stem, BMP_REF_ALIAS.get(stem)):
        if name and os.path.exists(os.path.join(refdir, name + ".png")):
            return ref_png(os.path.join(refdir, name + ".png"))
    im = Image.open(path)
    return im.size[0], im.size[1], lay(list(im.convert("RGBA").getdata()), WHITE)


def ref_jpeg(path):
    im = ImageOps.exif_transpose(Image.open(path))
    return im.size[0], im.size[1], list(im.convert("RGB").getdata())


def ref_tiff(path, tmp):
    """tiff2rgba's page 1, premultiplied R, G, B, A, laid on white."""
    out = os.path.join(tmp, "ref.tif")
    if os.path.exists(out):
        os.remove(out)
    r = subprocess.run(["tiff2rgba", "-c", "none", path, out], capture_output=True, text=True, timeout=60)
    if r.returncode != 0 or not os.path.exists(out):
        raise ValueError("tiff2rgba failed")
    # tiff2rgba ends well after errors in the data too: an error (other than
    # a tag it skips) or a fax line cut short marks the file damaged.
    for line in r.stderr.splitlines():
        if ("Warning" not in line and "custom tag" not in line) or "Premature EOL" in line:
            raise ValueError("damaged: " + line)
    im = Image.open(out)
    im.tile = [(t[0], t[1], t[2], ("RGBA",) + tuple(t[3][1:]) if isinstance(t[3], tuple) else "RGBA")
               for t in im.tile]
    w, h = im.size
    px = list(im.getdata())
    return w, h, [tuple(min(255, p[i] + (255 * (255 - p[3]) + 127) // 255) for i in range(3)) for p in px]


def reference(kind, path, tmp):
    if kind == "png":
        return ref_png(path)
    if kind == "tiff":
        return ref_tiff(path, tmp)
    if kind == "jpeg":
        return ref_jpeg(path)
    return ref_bmp(path)


def sniff(path):
    with open(path, "rb") as f:
        head = f.read(4)
    if head.startswith(b"\x89PNG"):
        return "png"
    if head[:2] in (b"II", b"MM"):
        return "tiff"
    if head.startswith(b"\xff\xd8"):
        return "jpeg"
    if head.startswith(b"BM"):
        return "bmp"
    return None


def psnr(a, b):
    se = sum((x - y) ** 2 for p, q in zip(a, b) for x, y in zip(p, q))
    return math.inf if se == 0 else 10 * math.log10(255 * 255 * 3 * len(a) / se)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--decoder", required=True)
    ap.add_argument("--corpus", required=True)
    ap.add_argument("-v", action="store_true", help="one line per file")
    args = ap.parse_args()
    if not os.path.isdir(args.corpus):
        print("corpus check skipped: no corpus at", args.corpus)
        return 77
    suites = [("png", "png"), ("bmp/g", "bmp/g"), ("bmp/q", "bmp/q"), ("bmp/b", "bmp/b"),
              ("tiff", "tiff"), ("jpeg", "jpeg")]
    failed = False
    tmp = tempfile.mkdtemp(prefix="orn-corpus-")
    atexit.register(shutil.rmtree, tmp, True)
    rows = []
    for suite, folder in suites:
        root = os.path.join(args.corpus, folder)
        if not os.path.isdir(root):
            continue
        count = {"right": 0, "refused": 0, "read": 0, "wrong": 0}
        for name in sorted(os.listdir(root)):
            path = os.path.join(root, name)
            kind = sniff(path) if os.path.isfile(path) else None
            if kind is None:
                continue
            corrupt = (suite == "png" and name.startswith("x")) or suite == "bmp/b"
            raw = os.path.join(tmp, "ours.rgb")
            try:
                r = subprocess.run([args.decoder, path, raw], capture_output=True, text=True, timeout=60)
            except subprocess.TimeoutExpired:
                r = None
            if r is None or r.returncode != 0:
                verdict, why = "wrong", "crashed or hung (%s)" % (r.returncode if r else "timeout")
            else:
                rc, info_rc, w, h, iw, ih = map(int, r.stdout.split())
                try:
                    ref = None if corrupt else reference(kind, path, tmp)
                except Exception:  # the reference library refuses the file
                    ref = None
                if rc != 0:
                    if ref is None:
                        verdict, why = "refused", "refused %d" % rc
                    else:
                        verdict, why = "wrong", "refused %d, reference reads it" % rc
                elif corrupt and suite == "bmp/b":
                    verdict, why = "read", "bad file read without harm"
                elif corrupt:
                    verdict, why = "wrong", "corrupt file read"
                elif ref is None:
                    verdict, why = "wrong", "read, reference refuses it"
                elif info_rc != 0 or (iw, ih) != (w, h):
                    verdict, why = "wrong", "information %d says %dx%d, load %dx%d" % (info_rc, iw, ih, w, h)
                elif (ref[0], ref[1]) != (w, h):
                    verdict, why = "wrong", "size %dx%d, reference %dx%d" % (w, h, ref[0], ref[1])
                else:
                    with open(raw, "rb") as f:
                        data = f.read()
                    ours = [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]
                    if kind == "jpeg":
                        p = psnr(ours, ref[2])
                        verdict, why = ("right" if p > 40 else "wrong"), "PSNR %.1f dB" % p
                    else:
                        diff = sum(1 for a, b in zip(ours, ref[2]) if a != b)
                        verdict = "right" if diff == 0 and len(ours) == len(ref[2]) else "wrong"
                        why = "%d pixels differ" % diff if diff else "exact"
                if os.path.exists(raw):
                    os.remove(raw)
            count[verdict] += 1
            if verdict == "wrong" and (suite != "bmp/q" or why.startswith("crashed")):
                failed = True
            if args.v or (verdict == "wrong" and suite != "bmp/q") or why.startswith("crashed"):
                print("%-8s %-40s %-8s %s" % (suite, name, verdict, why))
        rows.append((suite, count))
    print("%-8s %6s %8s %5s %6s" % ("suite", "right", "refused", "read", "wrong"))
    for suite, c in rows:
        print("%-8s %6d %8d %5d %6d" % (suite, c["right"], c["refused"], c["read"], c["wrong"]))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
