#!/usr/bin/python3
"""Sets the created and last-saved dates in an MSI's summary information to
one fixed time, in place: wixl writes its build time there, which is all that
differs between two builds of the same inputs.
   summary_dates.py FILE.msi EPOCH_SECONDS"""
import struct
import sys

import olefile

PID_CREATE_DTM, PID_LASTSAVE_DTM = 12, 13
VT_FILETIME = 64
STREAM = "\x05SummaryInformation"


def filetime(epoch):
    return (int(epoch) + 11644473600) * 10_000_000


def main(path, epoch):
    with olefile.OleFileIO(path, write_mode=True) as ole:
        data = bytearray(ole.openstream(STREAM).read())
        # One property set: its offset is the last field of the header's
        # first (and only) format-ID entry.
        (section,) = struct.unpack_from("<I", data, 0x2C)
        _, count = struct.unpack_from("<II", data, section)
        fixed = set()
        for i in range(count):
            pid, offset = struct.unpack_from("<II", data, section + 8 + 8 * i)
            if pid not in (PID_CREATE_DTM, PID_LASTSAVE_DTM):
                continue
            at = section + offset
            (kind,) = struct.unpack_from("<I", data, at)
            if kind != VT_FILETIME:
                sys.exit(f"{path}: summary property {pid} is of type {kind}, not a time")
            struct.pack_into("<Q", data, at + 4, filetime(epoch))
            fixed.add(pid)
        if fixed != {PID_CREATE_DTM, PID_LASTSAVE_DTM}:
            sys.exit(f"{path}: the summary information lacks its dates")
        ole.write_stream(STREAM, bytes(data))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
