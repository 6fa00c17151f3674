#!/usr/bin/env python3
"""Packs the release zip, the same byte for byte for the same sources.

    make_zip.py <source directory> <output zip> <name>=<file>...

Entries follow the order given. Every entry carries the time of the source
tree's last commit (SOURCE_DATE_EPOCH, when set, wins) and the same
permissions, so nothing of the build machine or the build time gets in.
Text entries (.txt) get Windows line ends for the users' editors.
"""

import os
import subprocess
import sys
import time
import zipfile

# rw-r--r-- regular file, as unzip on Unix restores it.
ENTRY_ATTRIBUTES = 0o100644 << 16


def SourceDateEpoch(sourceDirectory):
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    result = subprocess.run(["git", "-C", sourceDirectory, "log", "-1", "--format=%ct"],
                            capture_output=True, text=True)
    if result.returncode != 0 or not result.stdout.strip():
        sys.exit("make_zip.py: no SOURCE_DATE_EPOCH and no git history in " + sourceDirectory)
    return int(result.stdout)


def EntryContents(name, path):
    with open(path, "rb") as source:
        contents = source.read()
    if name.endswith(".txt"):
        contents = contents.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    return contents


def main():
    if len(sys.argv) < 4 or any("=" not in entry for entry in sys.argv[3:]):
        sys.exit(__doc__)
    sourceDirectory, output = sys.argv[1], sys.argv[2]
    # Zip times are local calendar times from 1980 on; UTC keeps them independent of the machine.
    stamp = max(time.gmtime(SourceDateEpoch(sourceDirectory))[:6], (1980, 1, 1, 0, 0, 0))
    partial = output + ".part"
    with zipfile.ZipFile(partial, "w") as archive:
        for entry in sys.argv[3:]:
            name, path = entry.split("=", 1)
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that the permissions below mean what they say
            info.external_attr = ENTRY_ATTRIBUTES
            archive.writestr(info, EntryContents(name, path), compresslevel=9)
    os.replace(partial, output)


if __name__ == "__main__":
    main()
