#!/usr/bin/env python3
"""A drive made to order: mirrors a folder through FUSE, and can be told to fail one
flush or to take its writes at a given rate, as a failing or slow USB stick does.

    passthrough.py SOURCE MOUNTPOINT [--rate BYTES_PER_SECOND]
                   [--fail-flush N] [--trigger FILE]

--fail-flush N   the Nth flush of a file (fsync) since the mount fails with EIO, once.
--trigger FILE   when a flush finds FILE, FILE is removed and the flush it names fails
                 with EIO: FILE holds N (1 when empty), counted from that flush on. A
                 new FILE arms the drive again.
--rate R         each write waits until R bytes a second have gone through since the
                 writes began: a drive without write caching.

Runs in the foreground until the mount is taken away (umount or fusermount -u).
"""
import argparse
import errno
import os
import threading
import time

try:
    from fusepy import FUSE, FuseOSError, Operations  # Debian's name for it
except ImportError:
    from fuse import FUSE, FuseOSError, Operations


class Passthrough(Operations):
    use_ns = True  # times in nanoseconds, as the files keep them

    def __init__(self, source, rate, fail_flush, trigger):
        self.source = source
        self.rate = rate
        self.trigger = trigger
        self.guard = threading.Lock()
        self.flushes = 0
        self.failing = fail_flush  # the number of the flush that fails; 0 for none
        self.ready = 0.0  # when the writes so far have gone through at the rate

    def real(self, path):
        return os.path.join(self.source, path.lstrip("/"))

    # Files and folders, as the mirrored folder has them.

    def getattr(self, path, fi=None):
        # An open file by its descriptor: it may have no name any more.
        st = os.fstat(fi.fh) if fi else os.lstat(self.real(path))
        attributes = {key: getattr(st, key) for key in
                      ("st_mode", "st_ino", "st_nlink", "st_uid", "st_gid", "st_size",
                       "st_blocks", "st_blksize")}
        attributes.update(st_atime=st.st_atime_ns, st_mtime=st.st_mtime_ns,
                          st_ctime=st.st_ctime_ns)
        return attributes

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self.real(path))

    def readlink(self, path):
        return os.readlink(self.real(path))

    def statfs(self, path):
        st = os.statvfs(self.real(path))
        return {key: getattr(st, key) for key in
                ("f_bsize", "f_frsize", "f_blocks", "f_bfree", "f_bavail", "f_files",
                 "f_ffree", "f_favail", "f_flag", "f_namemax")}

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)

    def rmdir(self, path):
        os.rmdir(self.real(path))

    def unlink(self, path):
        os.unlink(self.real(path))

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))

    def link(self, target, source):
        os.link(self.real(source), self.real(target))

    def symlink(self, target, source):
        os.symlink(source, self.real(target))

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self.real(path), uid, gid, follow_symlinks=False)

    def utimens(self, path, times=None):
        if times:
            os.utime(self.real(path), ns=times, follow_symlinks=False)
        else:
            os.utime(self.real(path), follow_symlinks=False)

    def truncate(self, path, length, fi=None):
        if fi:
            os.ftruncate(fi.fh, length)
        else:
            os.truncate(self.real(path), length)

    # Open files: the descriptor of the mirrored file is the handle.

    def open(self, path, fi):
        fi.fh = os.open(self.real(path), fi.flags)
        return 0

    def create(self, path, mode, fi):
        # The flags as asked (O_EXCL among them), not a plain create.
        fi.fh = os.open(self.real(path), fi.flags | os.O_CREAT, mode)
        return 0

    def read(self, path, size, offset, fi):
        return os.pread(fi.fh, size, offset)

    def write(self, path, data, offset, fi):
        if self.rate:
            with self.guard:
                now = time.monotonic()
                self.ready = max(self.ready, now) + len(data) / self.rate
                wait = self.ready - now
            time.sleep(wait)
        return os.pwrite(fi.fh, data, offset)

    def flush(self, path, fi):
        return 0  # a close: the bytes are already with the mirrored file

    def release(self, path, fi):
        os.close(fi.fh)
        return 0

    def fsync(self, path, datasync, fi):
        with self.guard:
            if self.trigger and os.path.exists(self.trigger):
                with open(self.trigger) as armed:
                    count = armed.read().strip()
                os.unlink(self.trigger)
                self.failing = self.flushes + (int(count) if count else 1)
            self.flushes += 1
            fails = self.flushes == self.failing
        if fails:
            raise FuseOSError(errno.EIO)
        os.fsync(fi.fh)
        return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("source")
    parser.add_argument("mountpoint")
    parser.add_argument("--rate", type=float, default=0, help="bytes a second")
    parser.add_argument("--fail-flush", type=int, default=0, metavar="N")
    parser.add_argument("--trigger", metavar="FILE")
    options = parser.parse_args()
    operations = Passthrough(os.path.realpath(options.source), options.rate,
                             options.fail_flush, options.trigger)
    # hard_remove: a removed file that is still open goes at once, leaving no hidden
    # name beside it; use_ino: the mirrored files' own inode numbers, so that a file's
    # identity is the one the folder gives it.
    FUSE(operations, options.mountpoint, raw_fi=True, foreground=True, fsname="passthrough",
         hard_remove=True, use_ino=True, big_writes=True, max_write=131072)


if __name__ == "__main__":
    main()
