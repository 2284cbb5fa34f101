#!/usr/bin/env python3
"""Reads every entry of a ZIP archive to its end with Python's own reader (which checks sizes and
CRC-32) and prints one line per entry: name, kind, size, SHA-1 of the content, flag bits,
compression method, Unix mode. Exit code 1 when the archive or an entry cannot be read."""
import hashlib
import sys
import zipfile


def main():
    try:
        with zipfile.ZipFile(sys.argv[1]) as archive:
            for info in archive.infolist():
                digest = hashlib.sha1()
                with archive.open(info) as stream:
                    while True:
                        block = stream.read(1 << 20)
                        if not block:
                            break
                        digest.update(block)
                kind = "dir" if info.is_dir() else "file"
                mode = (info.external_attr >> 16) & 0o7777
                sys.stdout.write("%s\t%s\t%d\t%s\t%d\t%d\t%o\n" % (
                    info.filename, kind, info.file_size, digest.hexdigest(), info.flag_bits,
                    info.compress_type, mode))
    except Exception as error:  # noqa: BLE001 - any failure to read is the answer
        sys.stderr.write("zipcheck: %s\n" % error)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
