#!/usr/bin/env python3
"""Installs Lyraban into a temporary prefix and plays the installed sample
game headless, as a player who cannot write the installation.

Run as: installed_game.py --build BUILD_FOLDER --e2e TESTS_E2E_FOLDER [--cmake CMAKE]

The installed lyraban is started with no game folder, so it has to find the
sample game relative to itself. The installation is made unwritable for the
player (as root, whom permission bits do not stop, the program runs as the
account "nobody"). Two runs follow, from fresh working folders:

1. The winning route until the title screen after the clear. The player's
   settings (instant typing, which the input's click times rely on) are only
   in $XDG_CONFIG_HOME/lyraban/LyrabanDemo/lyraban.cfg.
2. A replay, whose answers differ once the clear count from run 1 is read
   back from $XDG_DATA_HOME/lyraban/LyrabanDemo/save/.

Each run must exit with 0, print nothing on standard error, trace the save
folder it uses, and end on the frame of the end-to-end test's reference. The
saves must be in the player's data folder and nothing may appear in the
installation.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True


def tree(folder):
    found = []
    for base, dirs, files in os.walk(folder):
        found += [os.path.relpath(os.path.join(base, n), folder) for n in dirs + files]
    return sorted(found)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--e2e", required=True, help="tests/e2e: input scripts, reference frames")
    parser.add_argument("--cmake", default="cmake")
    args = parser.parse_args()
    args.e2e = os.path.abspath(args.e2e)
    sys.path.insert(0, args.e2e)
    import play_through  # noqa: E402  (its settings record and frame comparison)

    problems = []
    as_root = os.geteuid() == 0
    with tempfile.TemporaryDirectory(prefix="lyraban-installed-") as work:
        os.chmod(work, 0o755)
        prefix = os.path.join(work, "prefix")
        subprocess.run([args.cmake, "--install", args.build, "--prefix", prefix], check=True, capture_output=True)
        program = os.path.join(prefix, "bin", "lyraban")
        sample = os.path.join(prefix, "share", "games", "lyraban", "sample")
        if not os.path.isdir(os.path.join(sample, "data")):
            print(f"the sample game is not installed at {sample}")
            return 1
        installed_before = tree(prefix)

        home = os.path.join(work, "home")
        data_home = os.path.join(home, "data")
        config_home = os.path.join(home, "config")
        settings = os.path.join(config_home, "lyraban", "LyrabanDemo", "lyraban.cfg")
        os.makedirs(os.path.dirname(settings))
        with open(settings, "wb") as f:
            f.write(play_through.settings_bytes())
        saves = os.path.join(data_home, "lyraban", "LyrabanDemo", "save")

        if as_root:
            for base, dirs, files in os.walk(home):
                for n in [base] + [os.path.join(base, d) for d in dirs] + [os.path.join(base, f) for f in files]:
                    os.chown(n, 65534, 65534)
            prefix_command = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"]
        else:
            for base, dirs, files in os.walk(sample):
                for n in [base] + [os.path.join(base, d) for d in dirs]:
                    os.chmod(n, 0o555)
            prefix_command = []

        env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        env.update(HOME=home, XDG_DATA_HOME=data_home, XDG_CONFIG_HOME=config_home)
        out = os.path.join(work, "out")
        os.makedirs(out)
        os.chmod(out, 0o777)
        # The input scripts are copied where "nobody" can read them.
        for script in ("good_ending.input", "replay.input"):
            shutil.copy(os.path.join(args.e2e, script), out)
        # The end-to-end test's own runs, so their end times stay one number.
        runs = [(r.name, r.script, r.run_ms, r.text) for r in play_through.RUNS
                if r.name in ("title_after_clear", "replay_rain_answer")]
        for name, script, run_ms, text in runs:
            cwd = os.path.join(work, "cwd-" + name)
            os.makedirs(cwd)
            os.chmod(cwd, 0o777)
            shot = os.path.join(out, name + ".png")
            trace = os.path.join(out, name + ".trace.txt")
            command = prefix_command + [program, "--headless", "--run-ms", str(run_ms), "--trace", trace,
                                        "--screenshot", shot, "--input", os.path.join(out, script)]
            result = subprocess.run(command, cwd=cwd, env=env, capture_output=True, timeout=300)
            if result.returncode != 0:
                problems.append(f"{name}: exit status {result.returncode}")
            if result.stderr:
                problems.append(f"{name}: standard error: {result.stderr.decode(errors='replace')[-2000:]}")
            traced = open(trace, encoding="utf-8", errors="replace").read() if os.path.exists(trace) else ""
            if saves not in traced:
                problems.append(f"{name}: the trace does not name the save folder {saves}")
            if "エラー" in traced:
                problems.append(f"{name}: the trace holds errors")
            if os.listdir(cwd):
                problems.append(f"{name}: files appeared in the working folder: {os.listdir(cwd)}")
            reference = os.path.join(args.e2e, "reference", name + ".png")
            if not os.path.exists(shot):
                problems.append(f"{name}: no screenshot")
            else:
                difference = play_through.compare(shot, reference, text)
                if difference:
                    problems.append(f"{name}: frame differs from {reference}: {difference}")
            if name == "title_after_clear":
                for kept in ("flagdata.000", "complete.log"):
                    if not os.path.exists(os.path.join(saves, kept)):
                        problems.append(f"{name}: {kept} is not in the player's save folder {saves}")
        installed_after = tree(prefix)
        if installed_after != installed_before:
            added = sorted(set(installed_after) - set(installed_before))
            problems.append(f"the installation changed: {added}")
        if not as_root:
            for base, dirs, files in os.walk(sample):
                for n in [base] + [os.path.join(base, d) for d in dirs]:
                    os.chmod(n, 0o755)
        if problems:
            keep = os.path.join(os.getcwd(), "installed-game-failures")
            shutil.rmtree(keep, ignore_errors=True)
            shutil.copytree(out, keep)
            problems.append(f"screenshots and traces kept in {keep}")

    for p in problems:
        print(p)
    print("ok" if not problems else f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
