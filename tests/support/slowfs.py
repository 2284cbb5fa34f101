#!/usr/bin/python3
"""A read-only view of a folder through FUSE whose file reads are slow, or never return.

    slowfs.py SOURCE MOUNTPOINT SECONDS_PER_READ MARKER

Every read call sleeps SECONDS_PER_READ first (a negative number: it never returns), one call at a
time, as a slow or stalled network disk answers. MARKER is created when the first read begins.
Runs in the foreground until it is killed.
"""
import errno
import os
import sys
import threading
import time

import fusepy


class SlowFolder(fusepy.Operations):
    def __init__(self, source, delay, marker):
        self.source = source
        self.delay = delay
        self.marker = marker

    def _path(self, path):
        return os.path.join(self.source, path.lstrip("/"))

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self._path(path))
        except OSError as error:
            raise fusepy.FuseOSError(error.errno)
        names = ("st_mode", "st_size", "st_uid", "st_gid", "st_nlink", "st_atime", "st_mtime", "st_ctime")
        return {name: getattr(st, name) for name in names}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._path(path))

    def open(self, path, flags):
        if flags & (os.O_WRONLY | os.O_RDWR):
            raise fusepy.FuseOSError(errno.EROFS)
        return os.open(self._path(path), os.O_RDONLY)

    def read(self, path, size, offset, fh):
        if not os.path.exists(self.marker):
            open(self.marker, "w").close()
        if self.delay < 0:
            threading.Event().wait()
        time.sleep(self.delay)
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)


def main():
    source, mountpoint, delay, marker = sys.argv[1], sys.argv[2], float(sys.argv[3]), sys.argv[4]
    # One request at a time and no page cache: each read call of the reader is one slow step.
    fusepy.FUSE(SlowFolder(source, delay, marker), mountpoint, foreground=True, nothreads=True, ro=True,
                direct_io=True)


if __name__ == "__main__":
    main()
