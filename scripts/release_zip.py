"""Writes a zip whose bytes depend only on the files given, so that a rebuild of a
release gives the same zip:

    release_zip.py ZIP FILE...

Entries go in the order given, named by their file names, all dated SOURCE_DATE_EPOCH
(the last commit's time) and with the same permissions. Text files get Windows line
ends, for the Windows user who opens them.
"""

import os
import sys
import time
import zipfile

ZIP_EPOCH = 315532800  # 1980-01-01, the earliest time a zip entry can hold


def main():
    zip_path, *members = sys.argv[1:]
    stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), ZIP_EPOCH))[:6]
    with zipfile.ZipFile(zip_path, "w") as archive:
        for path in members:
            with open(path, "rb") as f:
                data = f.read()
            if path.endswith(".txt"):
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            entry = zipfile.ZipInfo(os.path.basename(path), date_time=stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.external_attr = 0o644 << 16
            archive.writestr(entry, data, compresslevel=9)


if __name__ == "__main__":
    main()
