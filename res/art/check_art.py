#!/usr/bin/env python3
"""Checks the binary layout of the pictures in res/ (exit status 1 on any mismatch).

The resource compiler and the Win32 loaders accept only certain encodings,
so the headers are checked byte by byte rather than trusted to the drawing tool.
"""
import struct
import sys
from pathlib import Path

RES = Path(__file__).resolve().parent.parent

BMPS = {
    "background.bmp": (566, 383),
    "logo.bmp": (133, 44),
    "printer.bmp": (64, 67),
}
ICON = ("vornell.ico", 48, 48)

errors = []


def fail(name, msg):
    errors.append(f"{name}: {msg}")


def check_bmp(name, want_w, want_h):
    data = (RES / name).read_bytes()
    if len(data) < 54:
        return fail(name, f"too short ({len(data)} bytes)")
    bf_type, bf_size, _r1, _r2, bf_off = struct.unpack_from("<2sIHHI", data, 0)
    (bi_size, bi_w, bi_h, bi_planes, bi_bits, bi_comp,
     _img_size, _xppm, _yppm, bi_clr_used, _clr_imp) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    if bf_type != b"BM":
        fail(name, f"bfType {bf_type!r}, want b'BM'")
    if bf_size != len(data):
        fail(name, f"bfSize {bf_size} != file size {len(data)}")
    # A plain BITMAPINFOHEADER; V4/V5 headers are what ImageMagick writes by default.
    if bi_size != 40:
        fail(name, f"biSize {bi_size}, want 40 (BITMAPINFOHEADER)")
    if (bi_w, bi_h) != (want_w, want_h):
        fail(name, f"size {bi_w}x{bi_h}, want {want_w}x{want_h} (bottom-up)")
    if bi_planes != 1:
        fail(name, f"biPlanes {bi_planes}, want 1")
    if bi_bits != 24:
        fail(name, f"biBitCount {bi_bits}, want 24")
    if bi_comp != 0:
        fail(name, f"biCompression {bi_comp}, want 0 (BI_RGB)")
    if bi_clr_used != 0:
        fail(name, f"biClrUsed {bi_clr_used}, want 0")
    stride = (want_w * 3 + 3) & ~3
    if bf_off != 54:
        fail(name, f"bfOffBits {bf_off}, want 54")
    if len(data) < bf_off + stride * want_h:
        fail(name, f"pixel data short: {len(data) - bf_off} < {stride * want_h}")


def check_ico(name, want_w, want_h):
    data = (RES / name).read_bytes()
    if len(data) < 6 + 16 + 40:
        return fail(name, f"too short ({len(data)} bytes)")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        fail(name, f"ICONDIR reserved={reserved} type={kind}, want 0/1")
    if count != 1:
        fail(name, f"{count} images, want exactly 1")
    w, h, colors, _res, planes, bits, size, off = struct.unpack_from("<BBBBHHII", data, 6)
    if (w, h) != (want_w, want_h):
        fail(name, f"entry size {w}x{h}, want {want_w}x{want_h}")
    if colors != 0:
        fail(name, f"entry colour count {colors}, want 0")
    if bits != 32:
        fail(name, f"entry bit count {bits}, want 32")
    if planes not in (0, 1):
        fail(name, f"entry planes {planes}, want 1")
    if off + size > len(data):
        return fail(name, f"entry data {off}+{size} beyond file end {len(data)}")
    blob = data[off:off + size]
    if blob[:8] == b"\x89PNG\r\n\x1a\n":
        return fail(name, "entry is PNG-compressed, want a BMP-style DIB")
    (bi_size, bi_w, bi_h, bi_planes, bi_bits, bi_comp) = struct.unpack_from("<IiiHHI", blob, 0)
    if bi_size != 40:
        fail(name, f"DIB header size {bi_size}, want 40")
    # Icon DIBs state twice the height: XOR colour rows plus the AND mask rows.
    if (bi_w, bi_h) != (want_w, 2 * want_h):
        fail(name, f"DIB size {bi_w}x{bi_h}, want {want_w}x{2 * want_h}")
    if bi_planes != 1 or bi_bits != 32 or bi_comp != 0:
        fail(name, f"DIB planes/bits/compression {bi_planes}/{bi_bits}/{bi_comp}, want 1/32/0")
    xor_len = want_w * want_h * 4
    and_len = ((want_w + 31) // 32) * 4 * want_h
    if size < 40 + xor_len + and_len:
        fail(name, f"entry data {size} bytes, want at least {40 + xor_len + and_len}")
        return
    alphas = {blob[40 + i * 4 + 3] for i in range(want_w * want_h)}
    # The icon must really use its alpha: some clear and some opaque pixels.
    if 0 not in alphas or 255 not in alphas:
        fail(name, f"alpha channel not used (values seen: {sorted(alphas)[:8]}...)")


def main():
    for name, (w, h) in BMPS.items():
        if not (RES / name).is_file():
            fail(name, "missing")
        else:
            check_bmp(name, w, h)
    name, w, h = ICON
    if not (RES / name).is_file():
        fail(name, "missing")
    else:
        check_ico(name, w, h)
    if errors:
        for e in errors:
            print("FAIL", e)
        return 1
    print("OK: " + ", ".join(list(BMPS) + [ICON[0]]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
