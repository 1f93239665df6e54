#!/usr/bin/env python3
"""Checks an installed copy of the sample release against its manifest (tools/make_sample_release.py).

Usage: check_install.py [--update] MANIFEST FOLDER [REQUESTS]

Every file of "after_install" must have its MD5, and no file of "absent_after_install" may exist. With
REQUESTS (the demo server's log: one JSON object per line with its "path"), none of the absent files'
packages may have been requested. With --update, a copy updated from v1 is checked the same way against
"after_update" and "absent_after_update", and the folders an update removes must be gone. Prints what
differs; exits 0 when all holds, else 1.
"""

import hashlib
import json
import os
import sys


def main():
    args = sys.argv[1:]
    after = "after_install"
    if args and args[0] == "--update":
        after = "after_update"
        args = args[1:]
    manifest = json.load(open(args[0]))
    folder = args[1]
    absent = "absent_" + after
    requested = set()
    if len(args) > 2:
        with open(args[2]) as log:
            requested = {json.loads(line)["path"] for line in log if line.strip()}
    bad = []
    for path, md5 in sorted(manifest[after].items()):
        try:
            with open(os.path.join(folder, path), "rb") as f:
                have = hashlib.md5(f.read()).hexdigest()
        except OSError:
            have = "missing"
        if have != md5:
            bad.append(f"{path}: {have}, wanted {md5}")
    for path in manifest[absent]:
        if os.path.lexists(os.path.join(folder, path)):
            bad.append(f"{path}: present, wanted absent")
        url = manifest["packages"].get(path, {}).get("url")
        if url in requested:
            bad.append(f"{url}: requested, but nothing wants it")
    if after == "after_update":
        for path in manifest["folders_removed_by_update"]:
            if os.path.lexists(os.path.join(folder, path)):
                bad.append(f"{path}: present, wanted removed by the update")
    if bad:
        print("MD5 check FAILED:\n  " + "\n  ".join(bad))
        return 1
    print(f"every MD5 matched ({len(manifest[after])} files)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
