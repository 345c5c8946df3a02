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
strings in a row, also on indented continuation lines, are joined (args keeps them apart).
Other keys: file: "name" "bytes" (made in the case's scratch folder first), stdin: "bytes" (otherwise stdin is empty), stdout-to: full|closed|broken-pipe|size-limit [N] (a
file under a file-size limit of N bytes, 2 if not given; what it holds at the end is the stdout
compared). "{dir}" in an
argument or in the expected stderr stands for the scratch folder. Lines starting with # are comments.

Usage: run_cases.py [--wrapper "valgrind ..."] [--every N] TOLVANE CASEFILE...
(--every N: the first case of every N of each file, for a wrapper that makes each run slow)
"""

import os
import re
import resource
import shlex
import subprocess
import sys
import tempfile

WRAPPER_FAILURE = 99  # the status a wrapper such as valgrind is told to use for its findings
ESCAPES = {"\\": b"\\", '"': b'"', "r": b"\r", "n": b"\n", "t": b"\t"}


def strings(text, where):
    if not re.fullmatch(r'(\s*"(\\.|[^"\\])*")*\s*', text):
        raise ValueError(f"{where}: expected quoted strings, got {text!r}")
    out = []
    for body in re.findall(r'"((?:\\.|[^"\\])*)"', text):
        parts = re.split(r"(\\x[0-9A-Fa-f]{2}|\\.)", body)
        out.append(b"".join(bytes([int(p[2:], 16)]) if p.startswith("\\x") else
                            ESCAPES[p[1]] if p.startswith("\\") else p.encode() for p in parts))
    return out


def parse_cases(path):
    cases, key = [], None
    for number, line in enumerate(open(path, encoding="utf-8").read().splitlines(), 1):
        where = f"{path}:{number}"
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        if line.startswith("== "):
            cases.append({"title": line[3:], "line": number, "file": [], "stdin": []})
        elif not cases:
            raise ValueError(f"{where}: text before the first case")
        elif line[0].isspace() and key in ("args", "stdout", "stderr", "stdin"):
            cases[-1][key] += strings(line, where)
        else:
            key, _, value = (part.strip() for part in line.partition(":"))
            if key == "status":
                cases[-1][key] = int(value)
            elif key == "stdout-to" and re.fullmatch(r"full|closed|broken-pipe|size-limit( \d+)?", value):
                cases[-1][key], _, limit = value.partition(" ")
                cases[-1]["limit"] = int(limit or 2)
            elif key in ("args", "stdout", "stderr", "stdin"):
                cases[-1][key] = strings(value, where)
            elif key == "file":
                cases[-1][key].append(strings(value, where))
            else:
                raise ValueError(f"{where}: unknown line {line!r}")
    for case in cases:
        missing = {"args", "status", "stdout", "stderr"} - case.keys()
        if missing:
            raise ValueError(f"{path}:{case['line']}: case lacks {', '.join(sorted(missing))}")
    return cases


def run_case(binary, wrapper, case):
    with tempfile.TemporaryDirectory() as scratch:
        root = os.fsencode(scratch)
        for name, *content in case["file"]:
            with open(os.path.join(root, name), "wb") as f:
                f.write(b"".join(content))
        target, sink = case.get("stdout-to"), subprocess.PIPE
        if target == "full":
            sink = open("/dev/full", "wb")
        elif target == "broken-pipe":
            reader, writer = os.pipe()
            os.close(reader)
            sink = os.fdopen(writer, "wb")
        elif target == "closed":
            sink = None
        elif target == "size-limit":
            sink = open(os.path.join(root, b"stdout"), "w+b")
        try:
            proc = subprocess.run(
                wrapper + [os.fsencode(binary)] + [a.replace(b"{dir}", root) for a in case["args"]],
                input=b"".join(case["stdin"]), stdout=sink, stderr=subprocess.PIPE, timeout=120,
                preexec_fn={"closed": lambda: os.close(1), "size-limit": lambda: resource.setrlimit(
                    resource.RLIMIT_FSIZE, (case["limit"], resource.RLIM_INFINITY))}.get(target))
            if target == "size-limit":
                sink.seek(0)
                proc.stdout = sink.read()
        finally:
            if sink not in (None, subprocess.PIPE):
                sink.close()
        return proc.returncode, proc.stdout or b"", proc.stderr, root


def main(argv):
    wrapper, every = [], 1
    while argv[1:2] in (["--wrapper"], ["--every"]):
        if argv[1] == "--wrapper":
            wrapper = shlex.split(argv[2])
        else:
            every = int(argv[2])
        argv = argv[:1] + argv[3:]
    if len(argv) < 3:
        sys.exit(__doc__)
    counts = {"passed": 0, "failed": 0, "skipped": 0}
    for path in argv[2:]:
        for index, case in enumerate(parse_cases(path)):
            name = f"{os.path.basename(path)}:{case['line']} {case['title']}"
            if index % every:
                continue
            if wrapper and case.get("stdout-to") in ("closed", "size-limit"):
                # The wrapper's own files would take descriptor 1, or outgrow the limit.
                counts["skipped"] += 1
                print(f"skip {name} (not under a wrapper)")
                continue
            status, stdout, stderr, scratch = run_case(argv[1], wrapper, case)
            problems = [f"{what} {got!r}\n      expected {want!r}" for what, got, want in (
                ("status", status, case["status"]), ("stdout", stdout, b"".join(case["stdout"])),
                ("stderr", stderr, b"".join(case["stderr"]).replace(b"{dir}", scratch)))
                if got != want]
            if wrapper and status == WRAPPER_FAILURE:
                problems.insert(0, "the wrapper reported errors (see its log)")
            counts["failed" if problems else "passed"] += 1
            print(("FAIL " if problems else "ok   ") + name + "".join(f"\n      {p}" for p in problems))
    print(", ".join(f"{n} {k}" for k, n in counts.items() if n or k != "skipped"))
    return 1 if counts["failed"] or not counts["passed"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
