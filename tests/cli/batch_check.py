#!/usr/bin/env python3
"""Cross-checks batch mode with single runs: each line of one batch is also run as a process
of its own, with the batch's command-line options and then the words the line stands for, and
the answer line must carry that run's status and text. The batch reads its key once from a
pipe, which a second read would find empty. The same batch under -jsonl must give the same
statuses and texts, each line valid JSON of the right kind. Then a coprocess exchange,
unreadable input, batches stopped by each stop signal while their answers are read slowly, which
must end at a line boundary, batches stopped while blocked writing to a reader that reads
nothing until after the signal, which must end without reading another request; answers to a
file that fills up, cut back to a whole line, and a key file that is a silent FIFO.

Usage: batch_check.py TOLVANE
"""
import codecs
import json
import os
import resource
import select
import signal
import subprocess
import sys
import tempfile
import time

KEY = bytes.fromhex("0123456789ABCDEFFEDCBA9876543210")
LONGEST = b"-" + b"x" * 65535  # a line at the limit, quoted back as an unknown option
TOO_LONG = b"problem:  request line longer than 65536 bytes"
# (line as sent, the words it stands for: None for its blank-separated parts, or the answer
# expected where no single run can give it)
LINES = [
    (b"-calcpvv -pin 1234 -pan 4111111111111111\n", None),
    (b"-calcpvv -pin 5678 -pvki 2 -pan 4111111111111111\r\n", None),
    (b"-calcpvv -pin 1234 -pan 4111111111111111 -kpv 0123456789ABCDEF\n", None),
    (b"-calcpinblock -pin 1234 -pan 4111111111111111 -kpe 0123456789ABCDEF\n", None),
    (b"\n", []),
    (b" \t \n", []),
    (b"-help2 -frobnicate\n", None),
    (b"-calcpvv -pin 12 -pan 4111111111111111\n", None),
    (b"-calcpvv -pin 1234 -pan 4111111111111112\n", None),
    (b"-uncalcpinblock -pinblock 1FFFFFFFFFFFFFFF -pan 0000000000000\n", None),
    (b"-verifypan -pan \"\"\n", [b"-verifypan", b"-pan", b""]),
    (b"-fixpan\t-pan \"41 11\"\n", [b"-fixpan", b"-pan", b"41 11"]),
    (b'-fixpan -pan a\\\\\\"b\\\\"c d"\n', [b"-fixpan", b"-pan", b'a\\"b\\c d']),
    (b"-kpvfile /nonexistent/key -calcpvv\n", None),
    (b"-calcpvv -pin 1234 -pan 4111111111111111 -kpvkcv 0000\n", None),
    (b"-kcv -kpvkcv 08D7\n", None),
    (b"-caf\xc3\xa9 \"\x01\x7f\"\n", [b"-caf\xc3\xa9", b"\x01\x7f"]),  # bytes JSON must escape
    (LONGEST + b"\r\n", [LONGEST]),
    (LONGEST + b"x\n", (1, TOO_LONG)),
    (b"-" * 300000 + b"\r\n", (1, TOO_LONG)),
    (b"-verifypan -batch -pan 4111111111111111\n",
     (1, b"Command line problem:  -batch is not allowed in a batch request\r\nuse -help for usage information")),
    (b"-verifypan -pan 4111111111111111", None),
]


def main(tolvane):
    problems = []
    with tempfile.TemporaryDirectory() as scratch:
        key_file = os.path.join(scratch, "kpv")
        open(key_file, "wb").write(KEY)
        reader, writer = os.pipe()
        os.write(writer, KEY)
        os.close(writer)
        batch = subprocess.run([tolvane, "-pvki", "1", "-batch", "-kpvfile", f"/dev/fd/{reader}"],
                               input=b"".join(line for line, _ in LINES), capture_output=True,
                               pass_fds=[reader], timeout=60)
        jsonl = subprocess.run([tolvane, "-pvki", "1", "-batch", "-jsonl", "-kpvfile", key_file],
                               input=b"".join(line for line, _ in LINES), capture_output=True,
                               timeout=60)
        kinds = {b"problem:  ": "problem", b"Command line problem:  ": "command line",
                 b"Horror!  ": "error", b"Tolvane: ": "usage"}
        for tab, js in zip(batch.stdout.split(b"\n"), jsonl.stdout.split(b"\n")[:-1]):
            status, _, text = tab.partition(b"\t")
            text = codecs.escape_decode(text)[0]
            kind = next((k for prefix, k in kinds.items() if text.startswith(prefix)), "answer")
            want = {"status": int(status), "kind": kind, "text": text.decode("latin-1")}
            if not js.isascii() or json.loads(js) != want:
                problems.append(f"-jsonl {js[:100]!r}, expected {want!r:.100}")
        answers = batch.stdout.split(b"\n")
        if answers.pop() != b"" or len(answers) != len(LINES) or batch.returncode != 1:
            sys.exit(f"expected {len(LINES)} answer lines and status 1, got {batch}")
        for (line, words), got in zip(LINES, answers):
            status, _, text = got.partition(b"\t")
            got, want = (int(status), codecs.escape_decode(text)[0]), words  # \\ \t \r \n undone
            if not isinstance(words, tuple):
                single = subprocess.run([tolvane, "-pvki", "1", "-kpvfile", key_file] +
                                        (line.split() if words is None else words), capture_output=True)
                want = single.returncode, single.stdout or single.stderr
            if got != want:
                problems.append(f"line {line[:60]!r}:\n  batch  {got!r:.300}\n  single {want!r:.300}")

    # A coprocess: each answer arrives before the next request is written.
    proc = subprocess.Popen([tolvane, "-batch", "-verifypan"], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, bufsize=0)
    for pan, want in ((b"4111111111111111", b"0\tY\n"), (b"4111111111111112", b"0\tN\n")):
        proc.stdin.write(b"-pan " + pan + b"\n")
        ready = select.select([proc.stdout], [], [], 10)[0]
        got = os.read(proc.stdout.fileno(), 100) if ready else b"(no answer within 10 s)"
        if got != want:
            problems.append(f"coprocess: {got!r}, expected {want!r}")
    proc.stdin.close()
    if proc.wait(timeout=10) != 0:
        problems.append(f"coprocess ended with {proc.returncode}")

    # A directory as standard input: every read fails.
    got = subprocess.run([tolvane, "-batch"], stdin=os.open("/", os.O_RDONLY), capture_output=True)
    if (got.returncode, got.stdout, got.stderr) != (1, b"", b"Horror!  Unknown exception"):
        problems.append(f"unreadable input: {got}")

    # Each stop signal while answers are read slowly: the batch stops at a line boundary with
    # status 1, and no signal ends it by default (which would tear the last line).
    requests = tempfile.TemporaryFile()
    requests.write(b"-pan 4111111111111111 -pin 1234\n" * 400000)
    stops = [signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGUSR1,
             signal.SIGUSR2, signal.SIGALRM]
    for trial in range(3 * len(stops)):
        stop = stops[trial % len(stops)]
        requests.seek(0)
        proc = subprocess.Popen([tolvane, "-batch", "-calcpvv", "-pvki", "1", "-kpv", KEY.hex()],
                                stdin=requests, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        got = os.read(proc.stdout.fileno(), 4096 + trial * 97)
        time.sleep(0.01)
        proc.send_signal(stop)
        while chunk := os.read(proc.stdout.fileno(), 1000):
            got += chunk
            time.sleep(0.0005)
        lines = got.split(b"\n")
        if (proc.wait(timeout=10) != 1 or lines.pop() != b"" or set(lines) != {b"0\t9464"} or
                len(lines) >= 400000 or  # it stopped, rather than answer every request
                proc.stderr.read() != b"Horror!  batch stopped by a signal before the end of its input"):
            problems.append(f"{stop.name}, trial {trial}: status {proc.returncode}, ends {got[-30:]!r}")

    # A stop while blocked writing to a reader that reads nothing until after it: every request
    # was read (short requests, long answers: more than a pipe holds) and is answered whole, and
    # the batch ends without waiting for more input on the open pipe.
    for stop in (signal.SIGTERM, signal.SIGALRM):
        proc = subprocess.Popen([tolvane, "-batch", "-dukptkeys", "-bdk", KEY.hex()],
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)
        proc.stdin.write(b"-ksn FFFF9876543210E00001\n" * 200)
        proc.stdin.flush()
        time.sleep(0.5)
        proc.send_signal(stop)
        got, deadline = b"", time.monotonic() + 10
        while select.select([proc.stdout], [], [], max(0, deadline - time.monotonic()))[0]:
            if not (chunk := os.read(proc.stdout.fileno(), 65536)):
                break
            got += chunk
        try:
            status = proc.wait(timeout=1)
        except subprocess.TimeoutExpired:  # waiting for input it should never read
            proc.kill()
            status = "still waiting for input"
        proc.stdin.close()
        answers = got.split(b"\n")
        if status != 1 or answers.pop() != b"" or len(answers) != 200 or len(set(answers)) != 1:
            problems.append(f"{stop.name} while writing: status {status}, {len(answers)} answers")

    # Answers to a regular file that fills up part way (a file size limit, its signal ignored so
    # that the write fails): the file is cut back to its last whole answer line and the batch
    # fails. A file opened for appending is never cut back: another writer may have added to it.
    def limited():
        resource.setrlimit(resource.RLIMIT_FSIZE, (5003, 5003))
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    with tempfile.TemporaryDirectory() as scratch:
        out = os.path.join(scratch, "answers")
        for mode, before, want in (("wb", b"", 4998), ("ab", b"x\n", 5003)):
            open(out, "wb").write(before)
            with open(out, mode) as sink:
                proc = subprocess.run([tolvane, "-batch", "-calcpvv", "-pvki", "1", "-kpv", KEY.hex()],
                                      input=b"-pan 4111111111111111 -pin 1234\n" * 2000,
                                      stdout=sink, stderr=subprocess.PIPE, preexec_fn=limited)
            got = open(out, "rb").read()
            if (proc.returncode, proc.stderr, len(got)) != (1, b"Horror!  Unknown exception", want) \
                    or not got.startswith(before + b"0\t9464\n"):
                problems.append(f"file filled up ({mode}): status {proc.returncode}, "
                                f"{len(got)} bytes, expected {want}, ending {got[-12:]!r}")

        # A key file that is a FIFO whose writer holds it open and sends nothing: the request
        # fails within about a second, and the request behind it is answered.
        fifo = os.path.join(scratch, "fifo")
        os.mkfifo(fifo)
        holder = os.open(fifo, os.O_RDWR)
        start = time.monotonic()
        proc = subprocess.run([tolvane, "-batch", "-verifypan"], capture_output=True, timeout=10,
                              input=f"-pan 4111111111111111 -kpvfile {fifo}\n-pan 4111111111111111\n".encode())
        took = time.monotonic() - start
        os.close(holder)
        if not proc.stdout.startswith(b"1\tCommand line problem:  could not open key file") or \
                not proc.stdout.endswith(b"\n0\tY\n") or not 0.9 < took < 5:
            problems.append(f"silent FIFO key file: {proc.stdout!r} after {took:.1f} s")

    print("\n".join(problems) or
          f"ok: {len(LINES)} lines and -jsonl, coprocess, unreadable input, seven stop signals, "
          "a file filled up, a silent FIFO")
    return 1 if problems else 0

if __name__ == "__main__":
    sys.exit(main(sys.argv[1]) if len(sys.argv) == 2 else __doc__)
