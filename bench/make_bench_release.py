#!/usr/bin/env python3
"""Writes a large release of the demo for the benchmarks, in the layout of tools/make_sample_release.py.

Usage: make_bench_release.py OUT [--files N] [--mirrors M] [--one-file-mb MB]

OUT receives:
  maker/_lookup_10_/server_list_10.txt   the server list: mirror1.test to mirrorM.test, base path /pub/
  mirror/pub/Aerivon10Demo/              directory.txt.zip (version 1004) and one package per file
  mirror/pub/Aerivon10DemoBeta           a link to the same release
  manifest.json                          "after_install" (path -> MD5), "absent_after_install" (empty)
                                         and "packages" (path -> url, kind, md5), as check_install.py reads
  packages.tsv                           one line per package: kind, URL path, file path, MD5
By default N files (10,000) of about 150 KB each on average, some of several MB, about 1.5 GB in all,
every file half random and half text: 71 % zip packages, 26 % 7z packages, 3 % plain files. With
--one-file-mb the release is a single plain file of that many MiB of random bytes. Everything is
deterministic for a given N. --mirrors only rewrites the server list when OUT already holds a release.
"""

import argparse
import hashlib
import json
import multiprocessing
import os
import random
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no cache folder beside the tools
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import make_sample_release as sample  # noqa: E402

POOL_BYTES = 16 << 20


def server_list(mirrors):
    lines = [f"I\n1000 version\nSERVERS\n", f"BETA {sample.BETA_NAME}\n", f"FINAL {sample.INSTALL_NAME}\n"]
    lines.append("BETA_VERSION 1001\nFINAL_VERSION 1000\n")
    for i in range(1, mirrors + 1):
        host = f"mirror{i}.test"
        lines.append(f"SERVER {host}\n/pub/\n{host}/pub/\n")
    lines.append("ENDOFLIST\n")
    return "".join(lines).encode()


def plan(n):
    """(path, size, kind) of each file, in directory order (grouped by folder)."""
    rng = random.Random(n)
    files = []
    for i in range(n):
        r = rng.random()
        kind = sample.ZIP if r < 0.71 else sample.SEVEN_ZIP if r < 0.97 else sample.PLAIN
        size = min(int(rng.expovariate(1 / 140000)), 4 << 20)
        if i % 997 == 500:
            size = rng.randrange(8 << 20, 20 << 20)
        folder = f"Resources/bench {i % 50:02d}/part {i % 7}"
        files.append((f"{folder}/file {i:05d}.dat", size, kind))
    files.sort(key=lambda f: f[0])
    return files


def file_bytes(pool, index, path, size):
    """Half random bytes (a slice of the shared pool), half text, led by the path so that every file differs."""
    head = (path + "\n").encode()
    rnd = size // 2
    start = (index * 7919) % (POOL_BYTES - rnd) if rnd < POOL_BYTES else 0
    text = b"".join(b"%08d sample record of the benchmark release\n" % k for k in range(size // 48 + 1))
    data = head + bytes(pool[start : start + rnd]) + text
    return data[:size] if size >= len(head) else head


_pool = None


def _init(seed):
    global _pool
    _pool = random.Random(seed).randbytes(POOL_BYTES)


def make_package(job):
    index, path, size, kind, base = job
    data = file_bytes(_pool, index, path, size)
    name = os.path.basename(path)
    suffix = sample.suffix_of(kind)
    out = os.path.join(base, path + suffix)
    os.makedirs(os.path.dirname(out), exist_ok=True)
    if kind == sample.PLAIN:
        package = data
        with open(out, "wb") as f:
            f.write(data)
    elif kind == sample.ZIP:
        package = sample.zip_bytes([(name, data, 0o644)])
        with open(out, "wb") as f:
            f.write(package)
    else:
        with tempfile.TemporaryDirectory() as tmp:
            with open(os.path.join(tmp, name), "wb") as f:
                f.write(data)
            archive = os.path.join(tmp, "out.7z")
            subprocess.run(["7zz", "a", "-t7z", "-mx=5", "-mtm=off", "-mtc=off", "-mta=off", archive, name],
                           cwd=tmp, check=True, stdout=subprocess.DEVNULL)
            os.replace(archive, out)
        with open(out, "rb") as f:
            package = f.read()
    return path, kind, hashlib.md5(data).hexdigest(), sample.kb(len(package)), sample.kb(len(data))


def one_file(base, mb):
    path = "Resources/one large file.dat"
    out = os.path.join(base, path)
    os.makedirs(os.path.dirname(out), exist_ok=True)
    digest = hashlib.md5()
    chunk = random.Random(mb).randbytes(1 << 20)
    with open(out, "wb") as f:
        for i in range(mb):
            block = i.to_bytes(8, "little") + chunk[8:]
            digest.update(block)
            f.write(block)
    size = mb << 20
    return [(path, sample.PLAIN, digest.hexdigest(), sample.kb(size), sample.kb(size))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("out")
    parser.add_argument("--files", type=int, default=10000)
    parser.add_argument("--mirrors", type=int, default=2)
    parser.add_argument("--one-file-mb", type=int, default=0)
    opts = parser.parse_args()
    out = os.path.abspath(opts.out)

    server_list_path = os.path.join(out, "maker", "_lookup_10_", "server_list_10.txt")
    if os.path.exists(os.path.join(out, "manifest.json")):
        sample.write(server_list_path, server_list(opts.mirrors))
        return
    os.makedirs(out, exist_ok=True)
    sample.write(server_list_path, server_list(opts.mirrors))
    base = os.path.join(out, "mirror", "pub", sample.INSTALL_NAME)
    os.makedirs(base, exist_ok=True)
    beta = os.path.join(out, "mirror", "pub", sample.BETA_NAME)
    if not os.path.lexists(beta):
        os.symlink(sample.INSTALL_NAME, beta)

    if opts.one_file_mb:
        made = one_file(base, opts.one_file_mb)
    else:
        jobs = [(i, path, size, kind, base) for i, (path, size, kind) in enumerate(plan(opts.files))]
        with multiprocessing.Pool(os.cpu_count(), initializer=_init, initargs=(opts.files,)) as pool:
            made = pool.map(make_package, jobs, chunksize=16)

    entries = []
    manifest = {"after_install": {}, "absent_after_install": [], "packages": {}}
    with open(os.path.join(out, "packages.tsv"), "w") as tsv:
        for path, kind, sig, download_kb, expanded_kb in made:
            record = sample.FileSpec(path, b"", kind)
            entries.append((record, [(sig, download_kb, expanded_kb)]))
            url = f"/pub/{sample.INSTALL_NAME}/{path}{sample.suffix_of(kind)}"
            name = {sample.ZIP: "zip", sample.SEVEN_ZIP: "7z"}.get(kind, "plain")
            manifest["after_install"][path] = sig
            manifest["packages"][path] = {"url": url, "kind": name, "md5": sig}
            tsv.write(f"{name}\t{url}\t{path}\t{sig}\n")
    text = sample.directory_text(entries, 1004)
    sample.write(os.path.join(base, "directory.txt.zip"), sample.zip_bytes([("directory.txt", text.encode(), 0o644)]))
    with open(os.path.join(out, "manifest.json"), "w") as f:
        json.dump(manifest, f, indent=1, sort_keys=True)


if __name__ == "__main__":
    main()
