#!/usr/bin/env python3
"""Writes the starting corpus of the fuzz targets into tests/fuzz/corpus/.

Each file is laid out as the target's FuzzedDataProvider reads it: texts from
the front (a backslash doubled, a backslash and another byte ending the
text), numbers and flags from the back, one byte each, in the order the
target takes them. Run it again after changing what a target reads.
"""
import pathlib
import shutil

ROOT = pathlib.Path(__file__).resolve().parent / "corpus"


def gbk(text):
    return text.encode("gbk")


class Input:
    def __init__(self):
        self.front = bytearray()
        self.back = []  # in the order the target consumes them

    def text(self, data):
        self.front += data.replace(b"\\", b"\\\\") + b"\\|"
        return self

    def byte(self, value):
        self.back.append(value & 0xFF)
        return self

    def flag(self, value):
        return self.byte(1 if value else 0)

    def u16(self, value):
        return self.byte(value >> 8).byte(value)  # the first byte taken is the high one

    def bytes(self):
        return bytes(self.front) + bytes(reversed(self.back))


def write(target, name, data):
    folder = ROOT / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data.bytes())


# --- fuzz_name_compare: pair kind (0 from input, 1 letters' case swapped,
# 2 one trail byte's case swapped), pattern, cut, then the names.
def names(kind, pattern, cut, first, second=None):
    data = Input().byte(kind).byte(pattern).u16(cut).text(first)
    return data.text(second) if second is not None else data


USB_ID = b"vid_f0e1&pid_c20b"
USB_PREFIX = b"\\\\?\\usb#"
USB_PATH = USB_PREFIX + b"vid_f0e1&pid_c20b#RX7300001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"


# --- fuzz_usb_match: real match text, detected before, device count,
# enumeration failing at (5: never), four slots (kind, length above 1000,
# case pattern), the match text when not the real one, the devices' bytes,
# one more path for the match alone.
def devices(paths, slots=(), real_id=True, before=False, fails_at=5, match_id=b"", extra=b""):
    slots = list(slots) + [(0, 0, 0)] * (4 - len(slots))
    data = Input().flag(real_id).flag(before).byte(len(paths)).byte(fails_at)
    for kind, above, pattern in slots:
        data.byte(kind).byte(above).byte(pattern)
    if not real_id:
        data.text(match_id)
    for path in paths:
        data.text(path)
    return data.text(extra)


def main():
    if ROOT.exists():
        shutil.rmtree(ROOT)

    model = gbk("Orvane RX730TⅡ")
    write("name_compare", "model-case", names(0, 0, 9, model, gbk("ORVANE rx730tⅡ")))
    write("name_compare", "model-lpt-swapped", names(1, 0x5A, 14, gbk("Orvane RX730TⅡ LPT")))
    # Trail bytes 0x41 and 0x61 look like letters: another character when swapped.
    write("name_compare", "trail-letters", names(2, 1, 3, b"\x81\x41\x81\x61AB"))
    write("name_compare", "lone-lead-at-end", names(0, 0, 0xFFFF, model[:-1], gbk("orvane rx730t") + model[-2:-1]))
    write("name_compare", "gbk-names", names(1, 0xFF, 5, gbk("打印机 Printer 驱动")))

    write("usb_match", "real-path", devices([USB_PATH]))
    write("usb_match", "real-path-capitals", devices([USB_PATH.upper()]))
    write("usb_match", "exactly-25", devices([USB_PREFIX + USB_ID]))
    write("usb_match", "prefix-only", devices([USB_PREFIX, USB_PREFIX[:7], b""]))
    write("usb_match", "composite-suffix", devices([USB_PREFIX + USB_ID + b"&mi_00#7&1b2c&0&0000#{a5dcbf10}"]))
    write("usb_match", "id-in-serial", devices([USB_PREFIX + b"vid_0000&pid_0000#" + USB_ID + b"#{a5dcbf10}"]))
    # A GBK lead byte at the last place of the piece, its trail byte behind the cut.
    write("usb_match", "lead-at-cut", devices([USB_PREFIX + USB_ID[:-1] + gbk("Ⅱ") + b"#serial"]))
    write("usb_match", "lead-before-piece", devices([b"\\\\?\\usb\x81#" + USB_ID + b"#serial"]))
    write("usb_match", "too-long-then-printer", devices([b"x", USB_PATH], slots=[(3, 20, 0)]))
    write("usb_match", "buffer-edge", devices([b"", b""], slots=[(3, 15, 0x55), (3, 16, 0xAA)]))
    write("usb_match", "zero-inside", devices([USB_PREFIX + USB_ID[:5] + b"\0" + USB_ID[5:]]))
    write("usb_match", "gbk-match-text", devices([b"#serial"], slots=[(2, 0, 3)], real_id=False,
                                                  match_id=gbk("打印机RX730TⅡ"), extra=gbk("型号Ⅱ")))

    # --- fuzz_paths: the builder first, then its flags and numbers, then texts.
    lpt = gbk("Orvane RX730TⅡ LPT")
    folder = b".\\x64\\driver\\"
    files = [b"RX730TP.INF", b"RX730TP.dll", b"RX730TP.gpd", b"UNIDRV.DLL", b"UNIDRV.HLP",
             b"UNIDRVUI.DLL", b"UNIRES.DLL", b"STDNAMES.GPD"]
    spool = b"C:\\Windows\\System32\\spool\\DRIVERS\\x64"

    def parallel(well_formed, queue, source, inf, driver_model):
        return Input().byte(0).flag(well_formed).text(queue).text(source).text(inf).text(driver_model)

    write("paths", "parallel-command", parallel(True, lpt, folder, files[0], model))
    # 0x5C as the trail byte of the queue's last character, right before its closing quote.
    write("paths", "parallel-trail-backslash", parallel(True, gbk("打印") + b"\x95\x5c", folder, files[0], model))
    write("paths", "parallel-long-gbk-folder",
          parallel(True, lpt, b"D:\\" + gbk("下载\\驱动程序\\") * 20, files[0], model))
    write("paths", "finish-usb-both", Input().byte(1).flag(True).byte(1).flag(True).flag(True).text(model).text(lpt))
    write("paths", "finish-lpt-default", Input().byte(1).flag(True).byte(2).flag(True).flag(False).text(model).text(lpt))
    write("paths", "directory-usual", Input().byte(2).flag(False).byte(0x41).text(spool))
    write("paths", "directory-259", Input().byte(2).flag(False).byte(0x41).text(b"C:\\" + b"d" * 256))
    write("paths", "directory-260", Input().byte(2).flag(False).byte(0x41).text(b"C:\\" + b"d" * 257))
    write("paths", "directory-fails", Input().byte(2).flag(True).byte(0x41).text(b"garbage" * 50))
    # A directory buffer with no zero in its 264 bytes.
    write("paths", "install-full-buffer", Input().byte(3).flag(False).byte(0x5A).flag(True).flag(False).byte(1)
          .text(spool + b"\\3").text(files[0]).text(b"USBPRINT\\OrvaneRX730TII87C8"))
    write("paths", "install-usual", Input().byte(3).flag(True).byte(0).flag(True).flag(True).byte(2)
          .text(spool + b"\\3").text(files[0]).text(b"USBPRINT\\OrvaneRX730TII87C8"))
    check = Input().byte(4).byte(0xFF).byte(0).text(folder)
    for name in files:
        check.text(name)
    write("paths", "package-check", check)
    # A file with no name is looked for as the folder itself, as before the catalog was checked.
    unnamed = Input().byte(4).byte(0xFF).byte(0x04).text(folder)
    for name in files:
        unnamed.text(name)
    write("paths", "package-check-unnamed", unnamed)

    staging = Input().byte(5).flag(True).byte(0).flag(False).byte(6)
    for kind, exists, copies in [(2, False, True), (2, False, True), (0, False, True),
                                 (1, False, True), (2, False, True), (0, True, True)]:
        staging.byte(kind).flag(exists).flag(copies)
    staging.text(spool + b"\\3").text(folder)
    for name in [b".", b"..", files[0], gbk("说明.txt"), gbk("子目录"), files[3]]:
        staging.text(name)
    write("paths", "staging-package", staging)


if __name__ == "__main__":
    main()
