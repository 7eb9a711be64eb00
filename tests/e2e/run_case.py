#!/usr/bin/env python3
"""Runs the real koravel program on one end-to-end case and compares the result.

A case file holds directives, then the expected output in sections:

    # comment
    args: data/x.cif Fe1 --out=report.txt      (split like a POSIX shell)
    raw: x.cif Mg" O1"                         (instead of args: see below)
    status: 0
    env: NAME=value                            (optional, repeatable; NAME= removes
                                                NAME, NAME=<empty> sets it empty)
    timeout: 10                                (optional; seconds, default 60)
    setup: mkdir NAME | touch NAME | copy SRC DST | chmod MODE NAME   (optional)
           write NAME TEXT | write-lines NAME TEXT    (TEXT with \\n escapes; write-lines
                                                ends its lines as the platform does)
    --- stdout
    ...the exact console output, line by line...
    --- stderr
    ...the exact standard error (optional: without it, standard error stays empty)...
    --- file report.txt
    ...the exact content of a file the run must leave in its working directory...
    --- page page.html
    (no lines: an HTML page the run must leave, well formed, whose text outside
    its drawings is the console report word for word; for a --brief run, one
    that holds every number of the brief line)

The program runs in a fresh working directory holding a link "data" to the
test data, with TEMP and TMP pointing at an empty "tmp" directory. The case
passes when the exit status, standard output and the listed files match, the
standard error is as given (empty when not given), no other file is left
behind (a temporary file included) and no data file changed.

The Windows build runs under wine (--wrapper wine) through a small launcher
(--launcher koravel_launch.exe) that starts koravel.exe with CreateProcessW,
an exact command line and an exact environment: wine itself would replace
TEMP and TMP with its own. The command line is then the arguments of args:
quoted by the usual Windows rules, or the text of raw: byte for byte (the
command line after the program name, as a caller such as Olex2 hands it over;
such a case runs only where a launcher is given). Paths in the environment
are given in wine's form (Z: is the Unix root), and --crlf expects the
platform's CR LF line ends in the console output and the written files.

"{workdir}" in a raw: line and in the expected output stands for the working
directory as the program sees it (Z:\\tmp\\koravel_e2e_... under wine), so
that a case can name files by absolute paths, as Olex2 does.
"""
import argparse
import os
import posixpath
import shlex
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import page_text  # noqa: E402


def parse_case(path):
    directives = {"args": None, "raw": None, "status": None, "env": [], "setup": [],
                  "timeout": "60"}
    sections = {}
    current = None
    with open(path, encoding="utf-8", newline="") as f:
        text = f.read()
    for line in text.split("\n")[:-1] if text.endswith("\n") else text.split("\n"):
        if line.startswith("--- "):
            current = line[4:].strip()
            sections[current] = []
            continue
        if current is not None:
            sections[current].append(line)
            continue
        if not line.strip() or line.startswith("#"):
            continue
        key, _, value = line.partition(":")
        key = key.strip()
        if key in ("env", "setup"):
            directives[key].append(value.strip())
        elif key in ("args", "raw", "status", "timeout"):
            directives[key] = value.strip()
        else:
            raise SystemExit(f"{path}: unknown directive {key!r}")
    if (directives["args"] is None) == (directives["raw"] is None) or directives["status"] is None:
        raise SystemExit(f"{path}: 'status:' and one of 'args:' or 'raw:' are required")
    return directives, sections


def snapshot(directory):
    state = {}
    for root, _, files in os.walk(directory):
        for name in files:
            p = os.path.join(root, name)
            st = os.lstat(p)
            state[p] = (st.st_size, st.st_mtime_ns, st.st_mode)
    return state


def file_bytes(path):
    if not os.path.isfile(path) or os.path.islink(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def run_setup(workdir, steps, line_end):
    for step in steps:
        words = shlex.split(step)
        action, operands = words[0], words[1:]
        target = lambda name: os.path.join(workdir, name)
        if action == "mkdir":
            os.makedirs(target(operands[0]), exist_ok=True)
        elif action == "touch":
            open(target(operands[0]), "a").close()
        elif action == "copy":
            shutil.copyfile(target(operands[0]), target(operands[1]))
        elif action in ("write", "write-lines"):
            text = operands[1].encode().decode("unicode_escape")
            if action == "write-lines":
                text = text.replace("\n", line_end)
            with open(target(operands[0]), "w", newline="") as f:
                f.write(text)
        elif action == "chmod":
            os.chmod(target(operands[1]), int(operands[0], 8))
        else:
            raise SystemExit(f"unknown setup action {action!r}")


def environment_changes(workdir, assignments):
    """TEMP and TMP point at the empty "tmp" directory unless the case says
    otherwise; returns {name: value or None (removed)}."""
    changes = {"TEMP": os.path.join(workdir, "tmp"), "TMP": os.path.join(workdir, "tmp")}
    for assignment in assignments:
        name, _, value = assignment.partition("=")
        changes[name] = "" if value == "<empty>" else (value or None)
    return changes


def windows_quote(arg):
    """One argument as the Windows C runtime and CommandLineToArgvW read it
    back: quoted when it is empty or holds a blank or a double quote, with
    the backslashes before a quote doubled."""
    if arg and not any(ord(c) <= 32 or c == '"' for c in arg):
        return arg
    out, backslashes = '"', 0
    for c in arg:
        if c == "\\":
            backslashes += 1
            continue
        out += "\\" * (2 * backslashes + 1 if c == '"' else backslashes) + c
        backslashes = 0
    return out + "\\" * (2 * backslashes) + '"'


def wine_path(path):
    """An absolute Unix path as wine shows it to a Windows program."""
    if not posixpath.isabs(path):
        return path
    return "Z:" + path.replace("/", "\\")


def launcher_command(options, directives, changes, scratch, workdir):
    """wine koravel_launch.exe ... with the command-line file in `scratch`."""
    if directives["raw"] is not None:
        tail = directives["raw"].replace("{workdir}", wine_path(workdir))
    else:
        tail = " ".join(windows_quote(a) for a in shlex.split(directives["args"]))
    cmdline_file = os.path.join(scratch, "cmdline.txt")
    with open(cmdline_file, "w", encoding="utf-8", newline="") as f:
        f.write(tail)
    command = shlex.split(options.wrapper) + [
        os.path.abspath(options.launcher),
        "--program", wine_path(os.path.abspath(options.program)),
        "--cmdline-file", wine_path(cmdline_file)]
    for name, value in changes.items():
        if value is None:
            command += ["--unset", name]
        else:
            command += ["--set", f"{name}={wine_path(value)}"]
    return command


def expected_text(lines, line_end, workdir_text):
    return "".join(line.replace("{workdir}", workdir_text) + line_end for line in lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--wrapper", default="", help="command to run the program with (e.g. wine)")
    parser.add_argument("--crlf", action="store_true", help="the platform ends lines with CR LF")
    parser.add_argument("--launcher", default="",
                        help="Windows launcher that starts the program with an exact command line")
    parser.add_argument("--add-new-lines", action="store_true",
                        help="where the output only adds lines to what the case expects (a new "
                             "section or row), write them into the case; review the diff")
    parser.add_argument("case")
    options = parser.parse_args()

    directives, sections = parse_case(options.case)
    if directives["raw"] is not None and not options.launcher:
        raise SystemExit(f"{options.case}: a 'raw:' case needs --launcher (Windows build)")
    line_end = "\r\n" if options.crlf else "\n"
    failures = []
    updates = {}  # section name -> its new text (--add-new-lines)

    workdir = tempfile.mkdtemp(prefix="koravel_e2e_")
    scratch = tempfile.mkdtemp(prefix="koravel_e2e_launch_")
    try:
        os.symlink(os.path.abspath(options.data), os.path.join(workdir, "data"))
        os.mkdir(os.path.join(workdir, "tmp"))
        run_setup(workdir, directives["setup"], line_end)
        before_files = set(os.listdir(workdir))
        data_before = snapshot(options.data)
        work_before = {n: file_bytes(os.path.join(workdir, n)) for n in before_files}

        changes = environment_changes(workdir, directives["env"])
        env = dict(os.environ)
        if options.launcher:
            command = launcher_command(options, directives, changes, scratch, workdir)
        else:
            for name, value in changes.items():
                if value is None:
                    env.pop(name, None)
                else:
                    env[name] = value
            command = (shlex.split(options.wrapper) + [os.path.abspath(options.program)]
                       + shlex.split(directives["args"]))
        try:
            result = subprocess.run(command, cwd=workdir, env=env, capture_output=True,
                                    timeout=float(directives["timeout"]))
        except subprocess.TimeoutExpired:
            print(f"FAIL {options.case}")
            print(f"the program did not finish within {directives['timeout']} s")
            return 1

        if result.returncode != int(directives["status"]):
            failures.append(f"exit status {result.returncode}, expected {directives['status']}")
        workdir_text = wine_path(workdir) if options.launcher else workdir
        want_err = expected_text(sections["stderr"], line_end, workdir_text).encode("utf-8") \
            if "stderr" in sections else b""
        if result.stderr != want_err:
            if want_err:
                failures.append(diff("standard error", want_err, result.stderr))
            else:
                failures.append("standard error is not empty:\n" + result.stderr.decode(errors="replace"))
        want = expected_text(sections.get("stdout", []), line_end, workdir_text).encode("utf-8")
        if result.stdout != want:
            if options.add_new_lines and adds_lines_only(want, result.stdout, line_end):
                updates["stdout"] = result.stdout.decode("utf-8").replace(workdir_text, "{workdir}")
            else:
                failures.append(diff("standard output", want, result.stdout))

        for name, lines in sections.items():
            if not name.startswith("file "):
                continue
            fname = name[5:].strip()
            path = os.path.join(workdir, fname)
            if not os.path.isfile(path):
                failures.append(f"file {fname} was not written")
                continue
            with open(path, "rb") as f:
                got = f.read()
            want = expected_text(lines, line_end, workdir_text).encode("utf-8")
            if got != want:
                if options.add_new_lines and adds_lines_only(want, got, line_end):
                    updates[name] = got.decode("utf-8").replace(workdir_text, "{workdir}")
                else:
                    failures.append(diff(f"file {fname}", want, got))
        brief = "--brief" in (shlex.split(directives["args"]) if directives["args"] is not None
                              else directives["raw"].split())
        for name in sections:
            if not name.startswith("page "):
                continue
            fname = name[5:].strip()
            path = os.path.join(workdir, fname)
            if not os.path.isfile(path):
                failures.append(f"page {fname} was not written")
                continue
            with open(path, "rb") as f:
                page = f.read().decode("utf-8")
            problem = page_text.compare(page, result.stdout.decode("utf-8"), brief)
            if problem:
                failures.append(f"page {fname}: {problem}")
        expected_files = {n[5:].strip() for n in sections if n.startswith(("file ", "page "))}
        left = set(os.listdir(workdir)) - before_files - expected_files
        if left:
            failures.append(f"files left behind: {sorted(left)}")
        left_tmp = os.listdir(os.path.join(workdir, "tmp"))
        if left_tmp:
            failures.append(f"temporary files left behind: {left_tmp}")
        if snapshot(options.data) != data_before:
            failures.append("a data file was changed")
        for n, content in work_before.items():
            if n not in expected_files and file_bytes(os.path.join(workdir, n)) != content:
                failures.append(f"file {n} was changed")
    finally:
        for root, dirs, _ in os.walk(workdir):
            for d in dirs:
                try:
                    os.chmod(os.path.join(root, d), 0o755)
                except OSError:
                    pass
        shutil.rmtree(workdir, ignore_errors=True)
        shutil.rmtree(scratch, ignore_errors=True)

    if failures:
        print(f"FAIL {options.case}")
        for failure in failures:
            print(failure)
        return 1
    if updates:
        rewrite_sections(options.case, updates, line_end)
        print(f"UPDATED {options.case}: {', '.join(sorted(updates))}")
    return 0


def adds_lines_only(want, got, line_end):
    """Whether every expected line is still there, in order, among the output's."""
    rest = iter(got.decode("utf-8", errors="replace").split(line_end))
    return all(any(line == g for g in rest) for line in want.decode("utf-8").split(line_end))


def rewrite_sections(path, updates, line_end):
    with open(path, encoding="utf-8", newline="") as f:
        lines = f.read().split("\n")
    out, current = [], None
    for line in lines[:-1] if lines[-1] == "" else lines:
        if line.startswith("--- "):
            current = line[4:].strip()
            out.append(line)
            if current in updates:
                text = updates[current].replace(line_end, "\n")
                out += text[:-1].split("\n") if text.endswith("\n") else text.split("\n")
            continue
        if current not in updates:
            out.append(line)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write("\n".join(out) + "\n")


def diff(what, want, got):
    import difflib
    lines = difflib.unified_diff(
        want.decode("utf-8", errors="replace").splitlines(True),
        got.decode("utf-8", errors="replace").splitlines(True),
        "expected", "actual")
    return f"{what} differs:\n" + "".join(lines)


if __name__ == "__main__":
    sys.exit(main())
