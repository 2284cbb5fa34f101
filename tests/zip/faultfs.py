#!/usr/bin/python3
"""A file system that passes a folder through, for tests that need a disk that fails or is slow.
   faultfs.py <folder> <mount point> [--eio NAME[:FROM:TO]]... [--slow NAME:SECONDS]... [--requests serial]
Reads of a file whose last name is NAME fail with EIO (only those touching bytes FROM to TO when
given); reads of a file named after --slow wait SECONDS for each request (never return when
negative). With --requests serial, requests are answered one at a time and every read call of a
reader is passed on as it is made, past the page cache: a disk that answers a call at a time. Runs
until unmounted."""
import errno
import os
import sys
import threading
import time

from fusepy import FUSE, FuseOSError, Operations


class FaultFS(Operations):
    use_ns = True  # times in nanoseconds

    def __init__(self, root, eio, slow):
        self.root = root
        self.eio = eio
        self.slow = slow

    def _real(self, path):
        return os.path.join(self.root, path.lstrip('/'))

    def getattr(self, path, fh=None):
        st = os.lstat(self._real(path))
        names = ('st_mode', 'st_ino', 'st_nlink', 'st_uid', 'st_gid', 'st_size')
        attrs = {name: getattr(st, name) for name in names}
        for name in ('st_atime', 'st_mtime', 'st_ctime'):
            attrs[name] = getattr(st, name + '_ns')
        return attrs

    def access(self, path, mode):
        if not os.access(self._real(path), mode):
            raise FuseOSError(errno.EACCES)

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self._real(path))

    def open(self, path, flags):
        return os.open(self._real(path), flags)

    def read(self, path, size, offset, fh):
        name = os.path.basename(path)
        if name in self.slow:
            if self.slow[name] < 0:
                threading.Event().wait()
            time.sleep(self.slow[name])
        for failing, start, end in self.eio:
            if name == failing and offset < end and offset + size > start:
                raise FuseOSError(errno.EIO)
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)


def main():
    root, mount = sys.argv[1], sys.argv[2]
    eio, slow, serial = [], {}, {}
    args = sys.argv[3:]
    for option, value in zip(args[::2], args[1::2]):
        parts = value.split(':')
        if option == '--eio':
            eio.append((parts[0], int(parts[1]) if len(parts) > 1 else 0,
                        int(parts[2]) if len(parts) > 2 else 1 << 62))
        elif option == '--slow':
            slow[parts[0]] = float(parts[1])
        elif option == '--requests' and value == 'serial':
            serial = {'nothreads': True, 'direct_io': True}
    FUSE(FaultFS(root, eio, slow), mount, foreground=True, attr_timeout=0, entry_timeout=0, **serial)


if __name__ == '__main__':
    main()
