#!/usr/bin/env python3
"""Writes a small sample release of the Aerivon 10 demo for the local demo server (tools/demo_server.py).

Usage: make_sample_release.py OUT [options]

OUT receives (everything deterministic, well under 1 MB):
  hosts.json                      which host serves which folder (read by demo_server.py --root OUT)
  maker/_lookup_10_/server_list_10.txt
                                  the server list: FINAL Aerivon10Demo, BETA Aerivon10DemoBeta and the
                                  servers mirror1.test and mirror2.test, both with base path /pub/
  mirror/pub/Aerivon10Demo/       release v2: directory.txt.zip (a version 1004 directory file) and one
                                  package per file: <path>.zip, <path>.7z or the plain file
  mirror/pub/Aerivon10DemoBeta/   the same release under the beta name
  v1/                             release v1, servable on its own: demo_server.py --root OUT/v1
  installed-v1/                   an installed copy of v1 (with the Airfoils, Instructions, Output and
                                  Resources folders), the starting point of an update to v2
  manifest.json                   what the tests check against: every file's MD5 after a fresh install
                                  and after an update, the files that must stay absent, the folders an
                                  update removes, the packages with their URL paths, and each file's role

The release holds: the simulator stand-in "Aerivon.exe" (a zip package whose entry is a 0755 shell script
that writes its environment to launch_environment.txt beside itself, then launch_marker.txt with its
arguments), a changed file (zip), a GONE file whose folders then empty, an added file (plain package, a
name with blanks), an unchanged file, a changed and very compressible file (7z), a Windows-only file and a
scenery file (neither wanted by a default install on Linux), and a Linux-only file (plain package). Sizes
are whole kilobytes of 1,000 bytes, rounded up.

Variants (each changes the served release v2 or the installed copy):
  --bad-crc               the changed file's zip package has a corrupted data byte (its CRC fails)
  --wrong-bytes           the changed file's package holds other bytes than the directory's MD5 says
  --wrong-name            the changed file's package holds its file under another name
  --expand-past KB        the compressible 7z package expands to more than KB kilobytes
  --hostile-records       the directory also lists paths that leave the install folder ("../escape.txt",
                          "/tmp/aerivon-escape.txt", "a/../../escape.txt", "C:/escape.txt", "a\\b.txt")
  --hostile-entry         the changed file's zip package also holds the entry "../../x"
  --too-new-server-list   the server list's header says version 1001
  --too-new-directory     the directory file's header says version 1005
  --large KB              release v2 also holds "Resources/large/terrain.dat", KB kilobytes that do not
                          compress (a plain package)
  --folders N             release v2 also holds N one-file folders, "Resources/folders/NNNN/f.txt" (zip
                          packages of a few bytes), as a large release lays out its thousands of folders
  --odd-names             release v2 also holds files whose names need percent-encoding in a request:
                          "Resources/odd names/" + "a#b.txt", "c?d.txt", "e%41f.txt", "g h+i.txt" and
                          "café.txt" (zip, plain and 7z packages)
  --modify WHICH          in installed-v1, the user changed the file: "changed" (the changed file) or
                          "gone" (the GONE file); may be given twice

Folder discs (the release v2 as the maker's discs, for the installer's DVD roads):
  --discs                 also writes discs/disc0 and discs/disc1. Each disc is a folder holding
                          dvd_version.txt (VERSION "Aerivon 10", LANG en and LANG de), then
                          "Aerivon 10/directory.txt.zip" (the v2 directory with DISK 0 and DISK 1 records and
                          PRODUCT_KEY 1, the same on both discs) and the packages that lie on that disc, at
                          "Aerivon 10/<path><suffix>". The Windows-only file lies on disc 1 between files of
                          disc 0. Disc files are read-only, as on a real disc. The variants above apply.
  --scenery-disc          also writes discs/scenery: a scenery-only disc (PRODUCT_KEY 2, DISK 0) holding
                          the scenery files
  The manifest's "dvd" part names the discs, the version folder, the languages, every directory entry in
  order (path, current signature, disc, number of records) and each package's file on its disc.
"""

import argparse
import hashlib
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

INSTALL_NAME = "Aerivon10Demo"
BETA_NAME = "Aerivon10DemoBeta"
MAKER_HOST = "www.aerivon.example"
MIRRORS = ["mirror1.test", "mirror2.test"]
CONTROL_HOST = "control.test"
FIXED_TIME = (2020, 1, 1, 0, 0, 0)
FIXED_EPOCH = 1577836800  # 2020-01-01 00:00:00 UTC

ZIP, SEVEN_ZIP, PLAIN = 0x40, 0x80, 0x00
OS_ALL, OS_IBM, OS_LIN = 0, 2, 3

SIMULATOR_SCRIPT = b"""#!/bin/sh
# Stand-in for the simulator: records how it was started and its environment, beside itself.
dir=$(dirname "$0")
env > "$dir/launch_environment.txt"
{
    echo "started"
    for a in "$@"; do echo "arg:$a"; done
} > "$dir/launch_marker.txt"
"""


def md5(data):
    return hashlib.md5(data).hexdigest()


def kb(n):
    """Whole kilobytes of 1,000 bytes, rounded up."""
    return (n + 999) // 1000


def text_lines(seed, count, width=60):
    """Deterministic text: numbered lines derived from `seed`."""
    out = io.StringIO()
    for i in range(count):
        digest = hashlib.sha1(f"{seed}:{i}".encode()).hexdigest()
        out.write(f"{i:06d} {seed} {digest[: width - 20]}\n")
    return out.getvalue().encode()


def nav_data(version, lines):
    """Very compressible text: the same few records over and over."""
    body = io.StringIO()
    body.write(f"I\n{version} Version - sample navigation data\n")
    for i in range(lines):
        body.write(f"2 {40 + i % 9:d}.000000 -123.000000 0 11510 25 0.0 ABC SAMPLE NDB {version}\n")
    body.write("99\n")
    return body.getvalue().encode()


# Every path of both releases, in the order of the directory file.
RELEASE_ORDER = [
    "Aerivon.exe",
    "Instructions/Aerivon Manual.txt",
    "Airfoils/old/wing.afl",
    "Resources/unchanged.txt",
    "Resources/win only.dll",
    "Resources/linux only.so",
    "Resources/default data/earth_nav.dat",
    "Resources/plugins/read me.txt",
    "Global Scenery/Demo Scenery/Earth nav data/+40-130/+47-123.dsf",
]


class FileSpec:
    """One file of a release: its path, bytes, package kind, OS code, tile rectangle and role."""

    def __init__(self, path, data, kind, os_code=OS_ALL, tile=None, role=None, mode=0o644):
        self.path = path
        self.data = data
        self.kind = kind
        self.os_code = os_code
        self.tile = tile
        self.role = role
        self.mode = mode


# Names a request must percent-encode, and the package kind of each.
ODD_NAMES = [("a#b.txt", ZIP), ("c?d.txt", PLAIN), ("e%41f.txt", ZIP), ("g h+i.txt", SEVEN_ZIP), ("café.txt", ZIP)]


def release_files(version, expand_past_kb=0, odd_names=False, large_kb=0, folders=0):
    """The files of release 1 or 2, in directory order. GONE files are listed separately."""
    manual = {
        1: b"Aerivon 10 demo manual, first edition.\n" + text_lines("manual-v1", 40),
        2: b"Aerivon 10 demo manual, second edition.\n" + text_lines("manual-v2", 55),
    }[version]
    nav_lines = {1: 600, 2: 900}[version]
    nav = nav_data(version, nav_lines)
    if version == 2 and expand_past_kb > 0:
        while len(nav) <= expand_past_kb * 1000:
            nav_lines *= 2
            nav = nav_data(version, nav_lines)
    files = [
        FileSpec("Aerivon.exe", SIMULATOR_SCRIPT, ZIP, role="simulator", mode=0o755),
        FileSpec("Instructions/Aerivon Manual.txt", manual, ZIP, role="changed"),
    ]
    if version == 1:
        files.append(FileSpec("Airfoils/old/wing.afl", text_lines("wing", 30), ZIP, role="gone"))
    files += [
        FileSpec("Resources/unchanged.txt", text_lines("unchanged", 20), ZIP, role="unchanged"),
        FileSpec("Resources/win only.dll", text_lines("windows", 12), ZIP, os_code=OS_IBM, role="windows_only"),
        FileSpec("Resources/linux only.so", text_lines("linux", 10), PLAIN, os_code=OS_LIN, role="linux_only"),
        FileSpec("Resources/default data/earth_nav.dat", nav, SEVEN_ZIP, role="compressible"),
    ]
    if version == 2:
        files.append(FileSpec("Resources/plugins/read me.txt", text_lines("added", 15), PLAIN, role="added"))
    if version == 2 and large_kb > 0:
        data = hashlib.shake_256(b"large").digest(large_kb * 1000)
        files.append(FileSpec("Resources/large/terrain.dat", data, PLAIN, role="large"))
    if version == 2:
        for i in range(folders):
            files.append(FileSpec(f"Resources/folders/{i:04d}/f.txt", f"folder {i}\n".encode(), ZIP))
    if version == 2 and odd_names:
        for name, kind in ODD_NAMES:
            files.append(FileSpec("Resources/odd names/" + name, text_lines(name, 8), kind))
    files.append(
        FileSpec(
            "Global Scenery/Demo Scenery/Earth nav data/+40-130/+47-123.dsf",
            text_lines("scenery", 25),
            ZIP,
            tile=(5, 13, 5, 13),
            role="scenery",
        )
    )
    return files


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (FIXED_EPOCH, FIXED_EPOCH))


def zip_bytes(entries, stored=False):
    """A zip archive (made on Unix, fixed times) of (name, bytes, mode) entries; deflated unless `stored`."""
    method = zipfile.ZIP_STORED if stored else zipfile.ZIP_DEFLATED
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", method, compresslevel=9) as z:
        for name, data, mode in entries:
            info = zipfile.ZipInfo(name, date_time=FIXED_TIME)
            info.create_system = 3
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = method
            z.writestr(info, data, compresslevel=9)
    return buf.getvalue()


def corrupt_zip_data(data, name):
    """Flips one byte of the data of entry `name`, so its CRC check fails."""
    with zipfile.ZipFile(io.BytesIO(data)) as z:
        info = z.getinfo(name)
    header = info.header_offset
    name_len = int.from_bytes(data[header + 26 : header + 28], "little")
    extra_len = int.from_bytes(data[header + 28 : header + 30], "little")
    start = header + 30 + name_len + extra_len
    at = start + info.compress_size // 2
    out = bytearray(data)
    out[at] ^= 0x55
    return bytes(out)


def seven_zip_tool():
    for tool in ("7zz", "7z", "7za"):
        if shutil.which(tool):
            return tool
    sys.exit("make_sample_release: no 7z tool found (install 7zip or p7zip-full)")


def seven_zip_bytes(name, data, mode):
    """A 7z archive (LZMA2, no times) holding one file."""
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "in")
        os.makedirs(src)
        path = os.path.join(src, name)
        write(path, data)
        os.chmod(path, mode)
        archive = os.path.join(tmp, "out.7z")
        subprocess.run(
            [seven_zip_tool(), "a", "-t7z", "-mx=9", "-m0=LZMA2", "-mtm=off", "-mtc=off", "-mta=off", archive, name],
            cwd=src,
            check=True,
            stdout=subprocess.DEVNULL,
        )
        with open(archive, "rb") as f:
            return f.read()


def package_bytes(pkg, variant):
    """The package of one file; `variant` names a fault to build into it, or None."""
    name = os.path.basename(pkg.path)
    if pkg.kind == PLAIN:
        return pkg.data
    if pkg.kind == SEVEN_ZIP:
        return seven_zip_bytes(name, pkg.data, pkg.mode)
    entries = [(name, pkg.data, pkg.mode)]
    if variant == "wrong-bytes":
        entries = [(name, pkg.data + b"a line the directory does not know\n", pkg.mode)]
    elif variant == "wrong-name":
        entries = [("Other " + name, pkg.data, pkg.mode)]
    elif variant == "hostile-entry":
        entries = [("../../x", b"escaped\n", 0o644)] + entries
    # A stored entry whose byte is flipped fails exactly its CRC check (a deflated one might fail to inflate).
    data = zip_bytes(entries, stored=variant == "bad-crc")
    if variant == "bad-crc":
        data = corrupt_zip_data(data, name)
    return data


def suffix_of(kind):
    return {ZIP: ".zip", SEVEN_ZIP: ".7z"}.get(kind, "")


def flag_word(pkg):
    return pkg.os_code | (0x08 if pkg.tile else 0) | pkg.kind


def file_line(pkg, sig, download_kb, expanded_kb, rest):
    x0, y0, x1, y1 = pkg.tile or (0, 0, 0, 0)
    return f"FILE {flag_word(pkg)} 0 {x0} {y0} {x1} {y1} {download_kb} {expanded_kb} {sig} {rest}\n"


def directory_text(entries, version_number, disc_of=None, product_key=None):
    """A version-1004 directory file. `entries` is a list of (pkg, [(sig, download_kb, expanded_kb)...]).
    Each path is written as a DIR prefix (its folder) and the rest of the FILE line. An empty prefix cannot
    be written as a DIR record, so files without a folder must come before the first DIR. With `disc_of`,
    a DISK record goes before each run of files on one disc; with `product_key`, a PRODUCT_KEY record
    follows the header."""
    out = [f"I\n{version_number} version\nINSTALLER\n"]
    if product_key is not None:
        out.append(f"PRODUCT_KEY {product_key}\n")
    prefix = None
    disc = None
    for pkg, history in entries:
        if disc_of is not None and disc_of(pkg) != disc:
            disc = disc_of(pkg)
            out.append(f"DISK {disc}\n")
        folder, _, rest = pkg.path.rpartition("/")
        if folder:
            folder += "/"
            if folder != prefix:
                out.append(f"DIR {folder}\n")
                prefix = folder
        elif prefix is not None:
            raise ValueError(f"{pkg.path}: a file without a folder after a DIR record")
        for sig, download_kb, expanded_kb in history:
            out.append(file_line(pkg, sig, download_kb, expanded_kb, rest))
    return "".join(out)


def server_list_text(version_number):
    lines = [f"I\n{version_number} version\nSERVERS\n", f"BETA {BETA_NAME}\n", f"FINAL {INSTALL_NAME}\n"]
    lines.append("BETA_VERSION 1001\nFINAL_VERSION 1000\n")
    for host in MIRRORS:
        lines.append(f"SERVER {host}\n/pub/\n{host}/pub/\n")
    lines.append("ENDOFLIST\n")
    return "".join(lines)


def write_hosts(root):
    os.makedirs(root, exist_ok=True)
    hosts = {MAKER_HOST: "maker"}
    for host in MIRRORS:
        hosts[host] = "mirror"
    with open(os.path.join(root, "hosts.json"), "w") as f:
        json.dump({"hosts": hosts, "control_host": CONTROL_HOST}, f, indent=2, sort_keys=True)
        f.write("\n")


def release_entries(files, history_of, gone, args, variants):
    """The directory entries of a release in directory order, and its packages by path."""
    packages = {}
    entries = []
    for pkg in files:
        data = package_bytes(pkg, variants.get(pkg.role))
        sig = md5(pkg.data)
        history = list(history_of.get(pkg.path, [])) + [(sig, kb(len(data)), kb(len(pkg.data)))]
        # A version that did not change is listed once.
        if len(history) > 1 and history[-2][0] == sig:
            history = history[:-1]
        entries.append((pkg, history))
        packages[pkg.path] = (data, suffix_of(pkg.kind), sig, pkg)
    for pkg, old in gone:
        entries.append((pkg, [old, ("GONE", 0, 0)]))
    for hostile in args.get("hostile_paths", []):
        entries.append((FileSpec(hostile, b"escaped\n", ZIP), [(md5(b"escaped\n"), 1, 1)]))
    order = {path: i for i, path in enumerate(RELEASE_ORDER)}
    entries.sort(key=lambda e: ("/" in e[0].path, order.get(e[0].path, len(order))))
    return entries, packages


def write_release(root, files, history_of, gone, args, variants):
    """Writes hosts.json, the server list and the served release into `root`. Returns the package table
    and the directory text."""
    write_hosts(root)
    write(
        os.path.join(root, "maker", "_lookup_10_", "server_list_10.txt"),
        server_list_text(1001 if args.get("too_new_server_list") else 1000).encode(),
    )
    entries, packages = release_entries(files, history_of, gone, args, variants)
    text = directory_text(entries, 1005 if args.get("too_new_directory") else 1004)
    directory_zip = zip_bytes([("directory.txt", text.encode(), 0o644)])
    table = {}
    for name in (INSTALL_NAME, BETA_NAME):
        base = os.path.join(root, "mirror", "pub", name)
        write(os.path.join(base, "directory.txt.zip"), directory_zip)
        for path, (data, suffix, sig, pkg) in packages.items():
            write(os.path.join(base, path + suffix), data)
    for path, (data, suffix, sig, pkg) in packages.items():
        table[path] = {
            "url": f"/pub/{INSTALL_NAME}/{path}{suffix}",
            "kind": {ZIP: "zip", SEVEN_ZIP: "7z"}.get(pkg.kind, "plain"),
            "package_md5": md5(data),
            "md5": sig,
            "download_kb": kb(len(data)),
            "expanded_kb": kb(len(pkg.data)),
            "os": pkg.os_code,
            "role": pkg.role,
        }
    return table, text


# The folder discs: the version folder, the languages and the disc of each file's package.
DVD_VERSION = "Aerivon 10"
DVD_LANGS = ["en", "de"]
DISC_OF_ROLE = {
    "simulator": 0,
    "changed": 0,
    "gone": 0,
    "unchanged": 0,
    "linux_only": 0,
    "windows_only": 1,
    "compressible": 1,
    "added": 1,
    "scenery": 1,
}


def write_read_only(path, data):
    write(path, data)
    os.chmod(path, 0o444)


def write_disc(folder, entries, product_key, disc_of):
    """One folder disc: the version file, the zipped directory of `entries` and the packages on it."""
    version_text = f"I\n1000 version\nDVD\nVERSION {DVD_VERSION}\n" + "".join(f"LANG {c}\n" for c in DVD_LANGS)
    write_read_only(os.path.join(folder, "dvd_version.txt"), version_text.encode())
    text = directory_text(entries, 1004, disc_of=disc_of, product_key=product_key)
    write_read_only(
        os.path.join(folder, DVD_VERSION, "directory.txt.zip"), zip_bytes([("directory.txt", text.encode(), 0o644)])
    )
    return text


def write_discs(out, entries, packages, scenery_disc):
    """Writes discs/disc0 and discs/disc1 (and discs/scenery); returns the manifest's "dvd" part."""
    def disc_of(pkg):
        return DISC_OF_ROLE[pkg.role] if pkg.role else 0

    folders = [os.path.join("discs", f"disc{n}") for n in (0, 1)]
    for folder in folders:
        write_disc(os.path.join(out, folder), entries, 1, disc_of)
    table = {}
    for path, (data, suffix, sig, pkg) in packages.items():
        file = os.path.join(folders[disc_of(pkg)], DVD_VERSION, path + suffix)
        write_read_only(os.path.join(out, file), data)
        table[path] = {"disc": disc_of(pkg), "file": file, "md5": sig, "role": pkg.role}
    listed = [
        {"path": pkg.path, "sig_want": history[-1][0], "disc": disc_of(pkg), "records": len(history)}
        for pkg, history in entries
    ]
    part = {
        "version": DVD_VERSION,
        "langs": DVD_LANGS,
        "discs": folders,
        "entries": listed,
        "packages": table,
        "scenery_disc": None,
    }
    if scenery_disc:
        folder = os.path.join("discs", "scenery")
        scenery = [(pkg, history) for pkg, history in entries if pkg.tile]
        write_disc(os.path.join(out, folder), scenery, 2, lambda pkg: 0)
        for pkg, _ in scenery:
            data, suffix, _, _ = packages[pkg.path]
            write_read_only(os.path.join(out, folder, DVD_VERSION, pkg.path + suffix), data)
        part["scenery_disc"] = folder
        part["scenery_entries"] = [pkg.path for pkg, _ in scenery]
    return part


def wanted_by_default(pkg):
    """A record a default install wants: every system or this one's (Linux, the installer's default OS
    code here), and no scenery."""
    return pkg.tile is None and pkg.os_code in (OS_ALL, OS_LIN)


def main():
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0],
        formatter_class=argparse.RawDescriptionHelpFormatter,
        epilog="\n\n".join(__doc__.split("\n\n")[1:]),
    )
    parser.add_argument("out", help="folder to write (made; its old contents are replaced)")
    parser.add_argument("--bad-crc", action="store_true")
    parser.add_argument("--wrong-bytes", action="store_true")
    parser.add_argument("--wrong-name", action="store_true")
    parser.add_argument("--expand-past", type=int, default=0, metavar="KB")
    parser.add_argument("--hostile-records", action="store_true")
    parser.add_argument("--hostile-entry", action="store_true")
    parser.add_argument("--too-new-server-list", action="store_true")
    parser.add_argument("--too-new-directory", action="store_true")
    parser.add_argument("--large", type=int, default=0, metavar="KB")
    parser.add_argument("--folders", type=int, default=0, metavar="N")
    parser.add_argument("--odd-names", action="store_true")
    parser.add_argument("--modify", action="append", choices=["changed", "gone"], default=[])
    parser.add_argument("--discs", action="store_true")
    parser.add_argument("--scenery-disc", action="store_true")
    opts = parser.parse_args()

    out = os.path.abspath(opts.out)
    if os.path.isdir(out):
        for name in os.listdir(out):
            path = os.path.join(out, name)
            shutil.rmtree(path) if os.path.isdir(path) and not os.path.islink(path) else os.remove(path)
    os.makedirs(out, exist_ok=True)

    variant = None
    for flag, name in (("bad_crc", "bad-crc"), ("wrong_bytes", "wrong-bytes"), ("wrong_name", "wrong-name"),
                       ("hostile_entry", "hostile-entry")):
        if getattr(opts, flag):
            if variant:
                sys.exit("make_sample_release: choose one of --bad-crc, --wrong-bytes, --wrong-name, --hostile-entry")
            variant = name
    variants = {"changed": variant} if variant else {}

    v1 = release_files(1)
    v2 = release_files(2, opts.expand_past, opts.odd_names, opts.large, opts.folders)
    v1_by_path = {pkg.path: pkg for pkg in v1}

    # Release v1, servable on its own.
    v1_table, _ = write_release(os.path.join(out, "v1"), v1, {}, [], {}, {})

    # Release v2: histories carry v1's version of each file; the GONE file keeps its v1 record.
    history = {}
    for pkg in v2:
        old = v1_by_path.get(pkg.path)
        if old is not None and md5(old.data) != md5(pkg.data):
            old_package = package_bytes(old, None)
            history[pkg.path] = [(md5(old.data), kb(len(old_package)), kb(len(old.data)))]
    v2_paths = {pkg.path for pkg in v2}
    gone = []
    for pkg in v1:
        if pkg.path not in v2_paths:
            gone.append((pkg, (md5(pkg.data), kb(len(package_bytes(pkg, None))), kb(len(pkg.data)))))
    hostile = []
    if opts.hostile_records:
        hostile = ["../escape.txt", "/tmp/aerivon-escape.txt", "a/../../escape.txt", "C:/escape.txt", "a\\b.txt"]
    args = {
        "too_new_server_list": opts.too_new_server_list,
        "too_new_directory": opts.too_new_directory,
        "hostile_paths": hostile,
    }
    v2_table, directory = write_release(out, v2, history, gone, args, variants)
    dvd = None
    if opts.discs or opts.scenery_disc:
        entries, packages = release_entries(v2, history, gone, args, variants)
        dvd = write_discs(out, entries, packages, opts.scenery_disc)

    # The installed copy of v1.
    installed = os.path.join(out, "installed-v1")
    for folder in ("Airfoils", "Instructions", "Output", "Resources"):
        os.makedirs(os.path.join(installed, folder), exist_ok=True)
    installed_md5 = {}
    for pkg in v1:
        if not wanted_by_default(pkg):
            continue
        data = pkg.data
        if (pkg.role == "changed" and "changed" in opts.modify) or (pkg.role == "gone" and "gone" in opts.modify):
            data = data + b"A line the user added.\n"
        path = os.path.join(installed, pkg.path)
        write(path, data)
        os.chmod(path, pkg.mode)
        installed_md5[pkg.path] = md5(data)

    after = {pkg.path: md5(pkg.data) for pkg in v2 if wanted_by_default(pkg)}
    absent = sorted([pkg.path for pkg in v2 if not wanted_by_default(pkg)] + [pkg.path for pkg, _ in gone])
    roles = {pkg.role: pkg.path for pkg in v1 + v2 if pkg.role}
    manifest = {
        "install_name": INSTALL_NAME,
        "beta_name": BETA_NAME,
        "maker_host": MAKER_HOST,
        "mirrors": MIRRORS,
        "control_host": CONTROL_HOST,
        "server_list_url": "/_lookup_10_/server_list_10.txt",
        "directory_url": f"/pub/{INSTALL_NAME}/directory.txt.zip",
        "directory_text": directory,
        "marker": "launch_marker.txt",
        "roles": roles,
        "variant": variant,
        "modified": sorted(opts.modify),
        "after_install": after,
        "absent_after_install": absent,
        "after_update": after,
        "absent_after_update": absent,
        "folders_removed_by_update": ["Airfoils/old/", "Airfoils/"],
        "fixed_folders": [
            "Output/",
            "Output/FMS plans/",
            "Output/logbooks/",
            "Output/replays/",
            "Output/situations/",
            "Resources/",
            "Output/preferences/",
        ],
        "packages": v2_table,
        "v1": {"packages": v1_table, "installed": installed_md5, "installed_folder": "installed-v1"},
        "dvd": dvd,
    }
    with open(os.path.join(out, "manifest.json"), "w") as f:
        json.dump(manifest, f, indent=2, sort_keys=True)
        f.write("\n")


if __name__ == "__main__":
    main()
