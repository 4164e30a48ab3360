#!/usr/bin/env python3
"""Builds the Debian package with CPack and checks what it holds.

Run as: debian_package.py --build BUILD_FOLDER --cpack CPACK

- The files are exactly the programs, the sample game's archives, the desktop
  entry, the icon in two sizes (PNG files of their size), the two manual pages and the README, with the usual modes.
- Depends names exactly the packages that own the libraries the two programs
  link (found here through the dynamic section and dpkg -S, independently of
  dpkg-shlibdeps, which made the field), each with a version.
- The desktop entry is valid, and each manual page renders without warnings
  and documents every option the installed program's --help lists.
"""
import argparse
import glob
import gzip
import os
import re
import subprocess
import sys
import tempfile


def run(command, **kw):
    return subprocess.run(command, check=True, capture_output=True, text=True, **kw).stdout


def needed_libraries(binary):
    """The NEEDED entries of an ELF file's dynamic section."""
    out = run(["readelf", "-d", binary])
    return re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", out)


def owner_of_library(soname):
    """The installed package that holds the library the loader would use."""
    out = run(["ldconfig", "-p"])
    arch = run(["dpkg", "--print-architecture"]).strip()
    paths = re.findall(r"^\s*" + re.escape(soname) + r" \(([^)]*)\) => (\S+)$", out, re.M)
    # ldconfig lists every ABI; take the native one (x86-64, not i386 or x32).
    for flags, path in paths:
        if arch == "amd64" and "x86-64" not in flags:
            continue
        real = os.path.realpath(path)
        for candidate in (path, real):
            result = subprocess.run(["dpkg", "-S", candidate], capture_output=True, text=True)
            if result.returncode == 0:
                return result.stdout.split(":")[0].strip()
            # usrmerge: /lib and /usr/lib are one folder, dpkg knows one name.
            alt = candidate[4:] if candidate.startswith("/usr/") else "/usr" + candidate
            result = subprocess.run(["dpkg", "-S", alt], capture_output=True, text=True)
            if result.returncode == 0:
                return result.stdout.split(":")[0].strip()
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--cpack", default="cpack")
    args = parser.parse_args()
    problems = []

    with tempfile.TemporaryDirectory(prefix="lyraban-deb-") as work:
        run([args.cpack, "-G", "DEB", "-B", work, "--config", os.path.join(args.build, "CPackConfig.cmake")])
        debs = glob.glob(os.path.join(work, "lyraban_*.deb"))
        if len(debs) != 1:
            print(f"expected one lyraban_*.deb, found {debs}")
            return 1
        deb = debs[0]
        arch = run(["dpkg", "--print-architecture"]).strip()
        if os.path.basename(deb) != f"lyraban_0.1_{arch}.deb":
            problems.append(f"package file name {os.path.basename(deb)}, expected lyraban_0.1_{arch}.deb")

        # The file list, with modes and owners.
        listing = run(["dpkg-deb", "-c", deb]).splitlines()
        files = {}
        for line in listing:
            mode, owner, _size, _date, _time, path = line.split(None, 5)
            if mode.startswith("-"):
                files[path.lstrip(".").lstrip("/")] = (mode, owner)
        sample = sorted(os.listdir(os.path.join(args.build, "demo", "data")))
        expected = {
            "usr/bin/lyraban": "-rwxr-xr-x",
            "usr/bin/lyrapack": "-rwxr-xr-x",
            "usr/lib/lyraban/lyraban-ffmpeg-movie.so": "-rw-r--r--",
            "usr/share/applications/lyraban.desktop": "-rw-r--r--",
            "usr/share/icons/hicolor/48x48/apps/lyraban.png": "-rw-r--r--",
            "usr/share/icons/hicolor/256x256/apps/lyraban.png": "-rw-r--r--",
            "usr/share/man/man6/lyraban.6.gz": "-rw-r--r--",
            "usr/share/man/man1/lyrapack.1.gz": "-rw-r--r--",
            "usr/share/doc/lyraban/README.md": "-rw-r--r--",
        }
        for name in sample:
            expected["usr/share/games/lyraban/sample/data/" + name] = "-rw-r--r--"
        movies = os.path.join(args.build, "demo", "movie")
        for name in sorted(os.listdir(movies)) if os.path.isdir(movies) else []:
            expected["usr/share/games/lyraban/sample/movie/" + name] = "-rw-r--r--"
        if not sample:
            problems.append("the build holds no sample game archives")
        missing = sorted(set(expected) - set(files))
        extra = sorted(set(files) - set(expected))
        if missing:
            problems.append("missing from the package: " + ", ".join(missing))
        if extra:
            problems.append("not expected in the package: " + ", ".join(extra))
        for path, want in expected.items():
            if path in files:
                mode, owner = files[path]
                if mode != want:
                    problems.append(f"{path}: mode {mode}, expected {want}")
                if owner != "root/root":
                    problems.append(f"{path}: owner {owner}, expected root/root")

        # The control fields.
        fields = {f: run(["dpkg-deb", "-f", deb, f]).strip() for f in ("Package", "Version", "Architecture",
                                                                          "Depends", "Section")}
        for field, want in (("Package", "lyraban"), ("Version", "0.1"), ("Architecture", arch),
                            ("Section", "games")):
            if fields[field] != want:
                problems.append(f"{field}: {fields[field]!r}, expected {want!r}")

        # Depends against the libraries the programs really link.
        root = os.path.join(work, "root")
        run(["dpkg-deb", "-x", deb, root])
        owners = {}
        for program in ("bin/lyraban", "bin/lyrapack", "lib/lyraban/lyraban-ffmpeg-movie.so"):
            for soname in needed_libraries(os.path.join(root, "usr", program)):
                owner = owner_of_library(soname)
                if owner is None:
                    problems.append(f"{program} links {soname}, which no installed package holds")
                else:
                    owners.setdefault(owner, set()).add(soname)
        depends = {}
        for entry in fields["Depends"].split(","):
            entry = entry.strip()
            if not entry:
                continue
            m = re.match(r"^([a-z0-9][a-z0-9+.-]*)(?::\S+)?\s*(\(([<>=]+)\s*([^)]+)\))?$", entry)
            if not m:
                problems.append(f"Depends entry not understood: {entry!r}")
                continue
            depends[m.group(1)] = m.group(2)
        for owner, sonames in sorted(owners.items()):
            if owner not in depends:
                problems.append(f"Depends lacks {owner} (holds {', '.join(sorted(sonames))})")
            elif not depends[owner]:
                problems.append(f"Depends names {owner} without a version")
        for name in sorted(set(depends) - set(owners)):
            problems.append(f"Depends names {name}, which holds none of the linked libraries")
        if any(name.endswith("-dev") for name in depends):
            problems.append("Depends names a development package: " + fields["Depends"])

        for size in (48, 256):
            icon = os.path.join(root, f"usr/share/icons/hicolor/{size}x{size}/apps/lyraban.png")
            if os.path.exists(icon):
                with open(icon, "rb") as f:
                    head = f.read(24)
                got = (int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big"))
                if head[:8] != b"\x89PNG\r\n\x1a\n" or got != (size, size):
                    problems.append(f"{icon}: not a {size}x{size} PNG file (header {head[:8]!r}, size {got})")

        # The desktop entry and the manual pages.
        desktop = os.path.join(root, "usr/share/applications/lyraban.desktop")
        result = subprocess.run(["desktop-file-validate", desktop], capture_output=True, text=True)
        if result.returncode != 0 or result.stdout.strip():
            problems.append("desktop-file-validate: " + (result.stdout + result.stderr).strip())
        for program, page in (("lyraban", "usr/share/man/man6/lyraban.6.gz"),
                              ("lyrapack", "usr/share/man/man1/lyrapack.1.gz")):
            path = os.path.join(root, page)
            if not os.path.exists(path):
                continue
            with gzip.open(path, "rb") as f:
                source = f.read()
            rendered = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-rLL=200n"], input=source,
                                      capture_output=True)
            text = re.sub(r".\x08", "", rendered.stdout.decode("utf-8", "replace"))
            if rendered.returncode != 0 or rendered.stderr:
                problems.append(f"{page}: groff: {rendered.stderr.decode(errors='replace').strip()}")
            help_text = subprocess.run([os.path.join(root, "usr/bin", program), "--help"], capture_output=True,
                                       text=True).stdout
            options = re.findall(r"^  (--?[a-z-]+)", help_text, re.M)
            if not options:
                problems.append(f"{program} --help lists no options: {help_text!r}")
            for option in options:
                if option not in text:
                    problems.append(f"{page} does not document {option}, which {program} --help lists")

    for p in problems:
        print(p)
    print("ok" if not problems else f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
