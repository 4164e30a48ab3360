#!/usr/bin/env python3
"""Plays every end-to-end run twice, with pictures decoded ahead on the
worker thread and with --no-decode-ahead, and checks that the last frame,
the audio dump and the trace come out byte for byte the same.

Run as: decode_ahead_identical.py --lyraban BINARY --game GAME_FOLDER [--same-way] [--only NAME...]

The runs, their input scripts, game folders and settings are those of
play_through.py; runs that share a game folder there share one here too, in
the same order, separately for each of the two ways of playing. Music plays:
its refills and fades run on the music thread, which the headless clock
keeps in lock-step with the audio it mixes, so they land on the same
samples every time.

--same-way plays both times with pictures decoded ahead, to check that a
headless run repeats itself exactly.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import play_through  # noqa: E402

MODES = {"ahead": [], "on_the_spot": ["--no-decode-ahead"]}
SAME_WAY = {"first": [], "second": []}
OUTPUTS = {"screenshot": ".png", "audio dump": ".wav", "trace": ".trace.txt"}


def play(args, work, modes, mode, runs):
    """Plays `runs` in order; gives {run name: problem} for runs that failed to play.

    Both ways play in the same folders (emptied in between), since the trace
    names the game folder."""
    failed = {}
    folders = {}
    out = os.path.join(work, mode)
    os.makedirs(out)
    play_folder = os.path.join(work, "play")
    shutil.rmtree(play_folder, ignore_errors=True)
    for run in runs:
        game = folders.get(run.folder)
        if game is None:
            game = play_through.copy_game(args.game, os.path.join(play_folder, "game-" + run.folder))
            folders[run.folder] = game
        cwd = play_through.make_cwd(os.path.join(play_folder, "cwd-" + run.name), play_through.settings_bytes())
        base = os.path.join(out, run.name)
        command = [args.lyraban, "--headless", "--run-ms", str(run.run_ms), "--trace", base + ".trace.txt",
                   "--screenshot", base + ".png", "--audio-dump", base + ".wav"] + modes[mode]
        if run.script:
            command += ["--input", os.path.join(play_through.HERE, run.script)]
        command.append(game)
        result = subprocess.run(command, cwd=cwd, capture_output=True, timeout=300)
        if result.returncode != 0 or result.stderr:
            failed[run.name] = f"exit status {result.returncode}: {result.stderr.decode(errors='replace')[-2000:]}"
    shutil.rmtree(play_folder)
    return failed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lyraban", required=True)
    parser.add_argument("--game", required=True, help="the packed game folder (holds data/)")
    parser.add_argument("--only", nargs="+", help="run only these runs (and the runs before each in its folder)")
    parser.add_argument("--same-way", action="store_true", help="decode pictures ahead both times")
    args = parser.parse_args()
    # The engine runs from a folder of its own.
    args.lyraban, args.game = os.path.abspath(args.lyraban), os.path.abspath(args.game)
    if not os.path.isdir(os.path.join(args.game, "data")):
        print(f"no packed game at {args.game}/data")
        return 1

    runs = play_through.RUNS
    if args.only:
        chosen = set()
        for name in args.only:
            target = next((r for r in runs if r.name == name), None)
            if target is None:
                print(f"no run named {name}")
                return 1
            chosen.update(r.name for r in runs[:runs.index(target) + 1] if r.folder == target.folder)
        runs = [r for r in runs if r.name in chosen]
    modes = SAME_WAY if args.same_way else MODES

    failures = []
    with tempfile.TemporaryDirectory(prefix="lyraban-decode-ahead-") as work:
        failed = {mode: play(args, work, modes, mode, runs) for mode in modes}
        for run in runs:
            problems = [f"{mode}: {failed[mode][run.name]}" for mode in modes if run.name in failed[mode]]
            for what, suffix in OUTPUTS.items():
                paths = [os.path.join(work, mode, run.name + suffix) for mode in modes]
                missing = [p for p in paths if not os.path.exists(p)]
                if missing:
                    problems.append(f"no {what}: {', '.join(missing)}")
                    continue
                contents = []
                for p in paths:
                    with open(p, "rb") as f:
                        contents.append(f.read())
                if contents[0] != contents[1]:
                    at = next((i for i, (a, b) in enumerate(zip(*contents)) if a != b), min(map(len, contents)))
                    first, second = modes
                    problems.append(f"{what} differs: {len(contents[0])} bytes {first}, {len(contents[1])} bytes "
                                    f"{second}, first difference at byte {at}")
            print(f"{run.name}: {'ok' if not problems else 'FAILED'}", flush=True)
            for p in problems:
                print("    " + p, flush=True)
            if problems:
                failures.append(run.name)
    if failures:
        print("failed: " + ", ".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
