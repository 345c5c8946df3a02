#!/usr/bin/env python3
"""Runs black-box cases against the tolvane binary and compares stdout, stderr and the exit
status byte for byte.

A case file holds blocks like:

    == shows that a valid PAN is answered with Y
    args: "-verifypan" "-pan" "4111111111111111"
    status: 0
    stdout: "Y"
    stderr: ""

Values are double-quoted byte strings with the escapes \\\\ \\" \\r \\n \\t and \\xNN; several
strings in a row, also on indented continuation lines, are joined. Other keys:
    file: "name" "bytes"    create a file in the case's scratch folder first
    dir: "name"             create a folder there
    stdin: "bytes"          fed through a pipe (otherwise stdin is empty)
    stdout-to: full|closed|broken-pipe
                            stdout is /dev/full, closed, or a pipe nobody reads
"{dir}" inside an argument stands for the scratch folder. Lines starting with # are comments.

Usage: run_cases.py [--wrapper "valgrind ..."] TOLVANE CASEFILE...
"""

import os
import shlex
import subprocess
import sys
import tempfile

WRAPPER_FAILURE = 99  # exit status a wrapper such as valgrind is told to use for its findings


def parse_strings(text, where):
    """Parses a run of quoted strings into bytes; returns the list of strings."""
    out, i = [], 0
    while i < len(text):
        if text[i].isspace():
            i += 1
            continue
        if text[i] != '"':
            raise ValueError(f"{where}: expected a quoted string at {text[i:]!r}")
        i += 1
        buf = bytearray()
        while True:
            if i >= len(text):
                raise ValueError(f"{where}: unterminated string")
            c = text[i]
            if c == '"':
                i += 1
                break
            if c == "\\":
                e = text[i + 1]
                if e == "x":
                    buf.append(int(text[i + 2:i + 4], 16))
                    i += 4
                    continue
                buf += {"\\": b"\\", '"': b'"', "r": b"\r", "n": b"\n", "t": b"\t"}[e]
                i += 2
                continue
            buf += c.encode("utf-8")
            i += 1
        out.append(bytes(buf))
    return out


def parse_cases(path):
    cases, case, key = [], None, None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            where = f"{path}:{number}"
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            if line.startswith("== "):
                case = {"title": line[3:], "line": number, "files": [], "dirs": []}
                cases.append(case)
                key = None
                continue
            if case is None:
                raise ValueError(f"{where}: text before the first case")
            if line[0].isspace():
                if key not in ("stdout", "stderr", "args"):
                    raise ValueError(f"{where}: continuation of {key!r}")
                case[key] += parse_strings(line, where)
                continue
            key, _, value = line.partition(":")
            value = value.strip()
            if key in ("stdout", "stderr", "args", "stdin"):
                case[key] = parse_strings(value, where)
            elif key == "status":
                case[key] = int(value)
            elif key == "file":
                name, *content = parse_strings(value, where)
                case["files"].append((name, b"".join(content)))
            elif key == "dir":
                case["dirs"].append(b"".join(parse_strings(value, where)))
            elif key == "stdout-to":
                if value not in ("full", "closed", "broken-pipe"):
                    raise ValueError(f"{where}: stdout-to is full, closed or broken-pipe")
                case[key] = value
            else:
                raise ValueError(f"{where}: unknown key {key!r}")
    for case in cases:
        for needed in ("args", "status", "stdout", "stderr"):
            if needed not in case:
                raise ValueError(f"{path}:{case['line']}: case lacks {needed!r}")
    return cases


def run_case(binary, wrapper, case):
    with tempfile.TemporaryDirectory() as scratch:
        root = os.fsencode(scratch)
        for name in case["dirs"]:
            os.mkdir(os.path.join(root, name))
        for name, content in case["files"]:
            with open(os.path.join(root, name), "wb") as f:
                f.write(content)
        args = [a.replace(b"{dir}", root) for a in case["args"]]
        stdin = b"".join(case.get("stdin", []))
        target = case.get("stdout-to")
        sink = None
        if target == "full":
            sink = open("/dev/full", "wb")
        elif target == "broken-pipe":
            reader, writer = os.pipe()
            os.close(reader)
            sink = os.fdopen(writer, "wb")
        try:
            proc = subprocess.run(
                wrapper + [os.fsencode(binary)] + args,
                input=stdin,
                stdout=sink or (None if target == "closed" else subprocess.PIPE),
                stderr=subprocess.PIPE,
                preexec_fn=(lambda: os.close(1)) if target == "closed" else None,
                timeout=120,
            )
        finally:
            if sink:
                sink.close()
        stdout = proc.stdout if proc.stdout is not None else b""
        return proc.returncode, stdout, proc.stderr


def main(argv):
    wrapper = []
    if len(argv) > 2 and argv[1] == "--wrapper":
        wrapper = shlex.split(argv[2])
        argv = argv[:1] + argv[3:]
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    binary, passed, failed, skipped = argv[1], 0, 0, 0
    for path in argv[2:]:
        for case in parse_cases(path):
            name = f"{os.path.basename(path)}:{case['line']} {case['title']}"
            if wrapper and case.get("stdout-to") == "closed":
                # The wrapper's own files would take over the free descriptor 1.
                skipped += 1
                print(f"skip {name} (not under a wrapper)")
                continue
            status, stdout, stderr = run_case(binary, wrapper, case)
            want_out, want_err = b"".join(case["stdout"]), b"".join(case["stderr"])
            problems = []
            if wrapper and status == WRAPPER_FAILURE:
                problems.append("the wrapper reported errors (see its log)")
            if status != case["status"]:
                problems.append(f"status {status}, expected {case['status']}")
            if stdout != want_out:
                problems.append(f"stdout {stdout!r}\n      expected {want_out!r}")
            if stderr != want_err:
                problems.append(f"stderr {stderr!r}\n      expected {want_err!r}")
            if problems:
                failed += 1
                print(f"FAIL {name}")
                for p in problems:
                    print(f"      {p}")
            else:
                passed += 1
                print(f"ok   {name}")
    print(f"{passed} passed, {failed} failed" + (f", {skipped} skipped" if skipped else ""))
    return 1 if failed or passed == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
