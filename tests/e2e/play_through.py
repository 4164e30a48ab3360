#!/usr/bin/env python3
"""Plays the sample game headless with scripted input and checks what it shows.

Run as: play_through.py --lyraban BINARY --game GAME_FOLDER [--update] [--only NAME]

Every run copies the game's data/ into a fresh temporary folder (the save
folder is created inside the game folder) and starts the engine from a fresh
current directory that holds a chosen lyraban.cfg, so no run sees another's
saves or settings unless it is chained on purpose (the replay after a clear).
Each run must exit with status 0, leave a trace without any line holding
"エラー" (failed script lines and resource diagnostics both carry it), and end
on a frame equal to its reviewed reference image in reference/.

--update writes the screenshots as the new reference images instead of
comparing; look at every one of them before keeping it.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pngio  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.path.join(HERE, "reference")

# Frames that show text may differ where glyph edges are anti-aliased: another
# FreeType or font package version rounds edge coverage differently. A screen
# of dialogue holds a few thousand glyph pixels, of which only edge pixels
# move; a wrong line of text, a missing choice or another scene changes far
# more than 480 pixels (0.1 % of 800 x 600). Frames without text match exactly.
TEXT_PIXEL_SHARE = 0.001


class Run:
    """One start of the engine: its input, when it is closed, the frame it is
    checked against, the game folder it plays in (runs naming the same
    folder share it, in order) and the bytes the settings file must hold
    afterwards (offset: value), when the run confirms the settings dialog."""

    def __init__(self, name, script, run_ms, text, folder=None, settings=None, layout=None):
        self.name, self.script, self.run_ms, self.text = name, script, run_ms, text
        self.folder = folder or name
        self.settings = settings or {}
        self.layout = layout  # checks the frame's layout in pixels; returns problems


# The layout of the message box, in screen pixels: the box stands at y 400,
# its text starts at (80, 70) in 24-pixel cells 40 pixels apart and ends at
# x 640, and the name's cell is centred on x 142 at rows 18 to 42.
BOX_Y, TEXT_X, TEXT_Y, CELL, PITCH, TEXT_RIGHT = 400, 80, 70, 24, 40, 640


def text_ink(width, pixels, x0, y0, x1, y1):
    """The (x, y) of the white text pixels in a rectangle (gold frames,
    the dark box and the shadows are darker in at least one channel)."""
    ink = []
    for y in range(y0, y1):
        row = y * width * 3
        for x in range(x0, x1):
            i = row + x * 3
            if min(pixels[i:i + 3]) > 180:
                ink.append((x, y))
    return ink


def cells_with_ink(width, pixels, line):
    """Which of the line's cells hold ink, as a string of '#' and '.'."""
    top = BOX_Y + TEXT_Y + line * PITCH
    xs = {x for x, _ in text_ink(width, pixels, TEXT_X, top, width, top + CELL)}
    cells = (width - TEXT_X) // CELL
    return "".join("#" if any(TEXT_X + c * CELL <= x < TEXT_X + (c + 1) * CELL for x in xs) else "." for c in
                   range(cells))


def prologue_first_line(width, height, pixels):
    """The prologue's first text, 34 characters, breaks after the 23rd: the
    23 cells up to x 632 fill the first line, the other 11 the second."""
    problems = []
    cells = (width - TEXT_X) // CELL
    expected = ["#" * 23 + "." * (cells - 23), "#" * 11 + "." * (cells - 11)]
    for line in (0, 1):
        got = cells_with_ink(width, pixels, line)
        if got != expected[line]:
            problems.append(f"line {line + 1} cells {got}, expected {expected[line]}")
    return problems


def name_centred(width, height, pixels):
    """The speaker's name "光" is centred in its plate: on x 142, and on the
    middle of the name's cell (rows 18 to 42 of the box), within a pixel across
    and two down the rows."""
    # Inside the plate only (x 37 to 247, rows 16 to 44 of the box): the
    # scene around it may be as light as the name.
    ink = text_ink(width, pixels, 40, BOX_Y + 17, 244, BOX_Y + 44)
    if not ink:
        return ["no name drawn on the plate"]
    xs, ys = [x for x, _ in ink], [y for _, y in ink]
    centre = ((min(xs) + max(xs) + 1) / 2, (min(ys) + max(ys) + 1) / 2 - BOX_Y)
    if abs(centre[0] - 142) > 1 or abs(centre[1] - 30) > 2:
        return [f"name ink centred on ({centre[0]}, {centre[1]}) of the box, expected (142, 30)"]
    return []


RUNS = [
    # Closed right after the first frame: the splash picture.
    Run("splash", None, 1, text=False),
    # The first two lines of the prologue, measured in pixels.
    Run("prologue_first_line", "prologue.input", 5410, text=True, layout=prologue_first_line),
    Run("prologue_name", "prologue.input", 6110, text=True, layout=name_centred),
    # The best route, closed at moments along the way.
    Run("map_bakery_disabled", "good_ending.input", 22500, text=False),
    Run("home_three_choices", "good_ending.input", 27500, text=True),
    Run("ending_birds", "good_ending.input", 33000, text=False),
    Run("title_after_clear", "good_ending.input", 40117, text=True, folder="cleared"),
    # The same game folder again: the clear count and seen marks persist. The
    # recollection from the title shows its dialogue.
    Run("recollection_text", "replay.input", 4700, text=True, folder="cleared"),
    Run("replay_rain_answer", "replay.input", 17500, text=True, folder="cleared"),
    Run("home_two_choices", "bad_ending.input", 24000, text=True),
    Run("quiet_ending", "bad_ending.input", 27100, text=True),
    # BgmVolume 20 and Space: backlog, set in the dialog the title opens.
    Run("title_quit", "title_menu.input", 16000, text=True, settings={32: 20, 312: 14}),
    # Escape in the prologue; Space: backlog, effects off, wheel up: hide.
    Run("escape_settings", "escape_settings.input", 6110, text=True, settings={312: 14, 40: 0, 310: 12}),
]


def settings_bytes():
    """A settings record with the defaults except instant typing, so that the
    scripts' click times do not hang on the typing speed."""
    record = bytearray(336)
    struct.pack_into("<iii", record, 0, 4, 4, 5)  # unread, read speed: instant; auto delay
    record[12:18] = bytes([0, 1, 1, 1, 1, 1])  # font kind, shadow, se/voice/env/bgm on
    struct.pack_into("<iiii", record, 20, 50, 50, 50, 50)  # volumes
    record[36:48] = bytes([1, 1, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0])  # voices, effects on, stop skip after choice
    record[308:313] = bytes([11, 22, 14, 4, 2])  # right, middle, wheel, space commands
    record[325:327] = bytes([2, 3])  # pad buttons 1 and 2
    return bytes(record)


def copy_game(source, game):
    """A fresh copy of the game's archives and movies, so saves start empty."""
    shutil.copytree(os.path.join(source, "data"), os.path.join(game, "data"))
    movies = os.path.join(source, "movie")
    if os.path.isdir(movies):
        shutil.copytree(movies, os.path.join(game, "movie"))
    return game


def make_cwd(cwd, settings=None):
    """A current folder holding the player's settings for one run."""
    os.makedirs(cwd)
    with open(os.path.join(cwd, "lyraban.cfg"), "wb") as f:
        f.write(settings if settings is not None else settings_bytes())
    return cwd


def compare(actual_path, reference_path, text):
    """Returns None when the frames agree, else a description of how they differ."""
    w1, h1, a = pngio.read_rgb(actual_path)
    w2, h2, b = pngio.read_rgb(reference_path)
    if (w1, h1) != (w2, h2):
        return f"size {w1}x{h1}, reference {w2}x{h2}"
    if a == b:
        return None
    differing, largest = 0, 0
    for i in range(0, len(a), 3):
        if a[i:i + 3] != b[i:i + 3]:
            differing += 1
            largest = max(largest, abs(a[i] - b[i]), abs(a[i + 1] - b[i + 1]), abs(a[i + 2] - b[i + 2]))
    allowed = int(w1 * h1 * TEXT_PIXEL_SHARE) if text else 0
    if differing <= allowed:
        return None
    return f"{differing} pixels differ (allowed {allowed}), largest channel difference {largest}"


def write_difference(actual_path, reference_path, out_path):
    w, h, a = pngio.read_rgb(actual_path)
    _, _, b = pngio.read_rgb(reference_path)
    diff = bytearray(len(a))
    for i in range(0, len(a), 3):
        if a[i:i + 3] != b[i:i + 3]:
            diff[i] = 255
        else:
            diff[i] = diff[i + 1] = diff[i + 2] = a[i] // 4
    pngio.write_rgb(out_path, w, h, bytes(diff))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lyraban", required=True)
    parser.add_argument("--game", required=True, help="the packed game folder (holds data/)")
    parser.add_argument("--update", action="store_true", help="write the reference images")
    parser.add_argument("--only", help="run only this run (and the runs before it in its folder)")
    parser.add_argument("--keep", help="keep screenshots, traces and difference images in this folder")
    args = parser.parse_args()

    data = os.path.join(args.game, "data")
    if not os.path.isdir(data):
        print(f"no packed game at {data}")
        return 1
    failures = []
    with tempfile.TemporaryDirectory(prefix="lyraban-e2e-") as work:
        out = args.keep or os.path.join(work, "out")
        os.makedirs(out, exist_ok=True)
        selected = RUNS
        if args.only:
            target = next((r for r in RUNS if r.name == args.only), None)
            if target is None:
                print(f"no run named {args.only}")
                return 1
            upto = RUNS[:RUNS.index(target) + 1]
            selected = [r for r in upto if r.folder == target.folder]
        folders = {}
        for run in selected:
            game = folders.get(run.folder)
            if game is None:
                game = copy_game(args.game, os.path.join(work, "game-" + run.folder))
                folders[run.folder] = game
            cwd = make_cwd(os.path.join(work, "cwd-" + run.name))
            shot = os.path.join(out, run.name + ".png")
            trace = os.path.join(out, run.name + ".trace.txt")
            command = [args.lyraban, "--headless", "--run-ms", str(run.run_ms), "--trace", trace, "--screenshot", shot]
            if run.script:
                command += ["--input", os.path.join(HERE, run.script)]
            command.append(game)
            result = subprocess.run(command, cwd=cwd, capture_output=True, timeout=300)
            problems = []
            if result.returncode != 0:
                problems.append(f"exit status {result.returncode}: {result.stderr.decode(errors='replace')[-2000:]}")
            elif result.stderr:
                problems.append("standard error: " + result.stderr.decode(errors="replace")[-2000:])
            if os.path.exists(trace):
                with open(trace, encoding="utf-8", errors="replace") as f:
                    bad = [line.rstrip("\n") for line in f if "エラー" in line]
                if bad:
                    problems.append("trace: " + " | ".join(bad[:10]))
            else:
                problems.append("no trace file")
            if run.settings:
                with open(os.path.join(cwd, "lyraban.cfg"), "rb") as f:
                    saved = f.read()
                if len(saved) != 336:
                    problems.append(f"settings file of {len(saved)} bytes")
                for offset, value in run.settings.items():
                    if len(saved) == 336 and saved[offset] != value:
                        problems.append(f"settings byte {offset} is {saved[offset]}, expected {value}")
            reference = os.path.join(REFERENCE, run.name + ".png")
            if run.layout and os.path.exists(shot):
                problems += run.layout(*pngio.read_rgb(shot))
            if not os.path.exists(shot):
                problems.append("no screenshot")
            elif args.update:
                shutil.copyfile(shot, reference)
            elif not os.path.exists(reference):
                problems.append(f"no reference image {reference}")
            else:
                difference = compare(shot, reference, run.text)
                if difference:
                    diff_path = os.path.join(out, run.name + ".diff.png")
                    write_difference(shot, reference, diff_path)
                    problems.append(f"frame: {difference} (see {shot} and {diff_path})")
            status = "ok" if not problems else "FAILED"
            print(f"{run.name}: {status}", flush=True)
            for p in problems:
                print("    " + p, flush=True)
            if problems:
                failures.append(run.name)
        if failures and not args.keep:
            # The temporary folder goes away; keep what explains the failure.
            keep = os.path.join(os.getcwd(), "e2e-failures")
            shutil.rmtree(keep, ignore_errors=True)
            shutil.copytree(out, keep)
            print(f"screenshots and traces kept in {keep}")
    if failures:
        print("failed: " + ", ".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
