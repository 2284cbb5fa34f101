# Writes an archive no backup of ours would hold: names that climb out or are absolute, Windows
# separators and drives, a link entry with a file behind it, and an entry whose size lies.
import struct
import sys
import zipfile

path = sys.argv[1]
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
    def add(name, data, mode=0o100644):
        info = zipfile.ZipInfo(name, (2021, 8, 31, 14, 5, 0))
        info.external_attr = mode << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(info, data)

    add("ok.txt", b"fine")
    add("../evil.txt", b"climbs out")
    add("/abs/x.txt", b"absolute")
    add("a\\..\\..\\b.txt", b"windows climb")
    add("C:\\x.txt", b"windows drive")
    add("link", b"/etc", 0o120777)
    add("link/passwd", b"through the link")
    add("linked/x.txt", b"through a link on the disk")
    add("lie.txt", b"more than it says" * 100)

data = bytearray(open(path, "rb").read())
at = data.find(b"PK\x01\x02")
while at >= 0:
    length = struct.unpack_from("<H", data, at + 28)[0]
    if data[at + 46 : at + 46 + length] == b"lie.txt":
        struct.pack_into("<I", data, at + 24, 10)
    at = data.find(b"PK\x01\x02", at + 46)
open(path, "wb").write(data)
