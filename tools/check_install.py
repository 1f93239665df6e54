#!/usr/bin/env python3
"""Checks an installed copy of the sample release against its manifest (tools/make_sample_release.py).

Usage: check_install.py MANIFEST FOLDER [REQUESTS]

Every file of "after_install" must have its MD5, and no file of "absent_after_install" may exist. With
REQUESTS (the demo server's log: one JSON object per line with its "path"), none of the absent files'
packages may have been requested. Prints what differs; exits 0 when all holds, else 1.
"""

import hashlib
import json
import os
import sys


def main():
    manifest = json.load(open(sys.argv[1]))
    folder = sys.argv[2]
    requested = set()
    if len(sys.argv) > 3:
        with open(sys.argv[3]) as log:
            requested = {json.loads(line)["path"] for line in log if line.strip()}
    bad = []
    for path, md5 in sorted(manifest["after_install"].items()):
        try:
            with open(os.path.join(folder, path), "rb") as f:
                have = hashlib.md5(f.read()).hexdigest()
        except OSError:
            have = "missing"
        if have != md5:
            bad.append(f"{path}: {have}, wanted {md5}")
    for path in manifest["absent_after_install"]:
        if os.path.lexists(os.path.join(folder, path)):
            bad.append(f"{path}: present, wanted absent")
        url = manifest["packages"].get(path, {}).get("url")
        if url in requested:
            bad.append(f"{url}: requested, but nothing wants it")
    if bad:
        print("MD5 check FAILED:\n  " + "\n  ".join(bad))
        return 1
    print(f"every MD5 matched ({len(manifest['after_install'])} files)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
