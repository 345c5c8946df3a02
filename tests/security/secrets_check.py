#!/usr/bin/env python3
"""Checks that keys and PINs do not outlive their use in a tolvane process.

    secrets_check.py TOLVANE process   while tolvane waits on a key pipe: its visible command
                                       line holds only the program name, and neither a process
                                       of the same (non-root) user nor one of another user can
                                       open its memory
    secrets_check.py TOLVANE core      stops representative runs at exit under gdb, dumps them,
                                       and searches the memory image for every copy of the key
                                       and the PIN (ASCII, UTF-16 and raw bytes); skipped
                                       without gdb
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

KEY = "7C0DE52AB3914F68D2A6C75E108B94F3"  # nothing like a table the program itself holds
PAN = "4111111111111111"


def waiting(proc):
    """Waits until proc sleeps (blocked reading its key pipe)."""
    for _ in range(500):
        with open(f"/proc/{proc.pid}/stat") as f:
            if f.read().rsplit(")", 1)[1].split()[0] == "S":
                return
        time.sleep(0.01)
    raise SystemExit("tolvane never blocked on its key pipe")


def as_user(uid, action):
    """Runs action() in a child process with the given uid (when we are root); its exit code."""
    pid = os.fork()
    if pid == 0:
        try:
            if os.getuid() == 0:
                os.setgroups([])
                os.setgid(uid)
                os.setuid(uid)
            os._exit(action())
        except BaseException as e:  # report anything as a failure of the child
            print(f"child: {e!r}", file=sys.stderr)
            os._exit(3)
    return os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1])


def process_check(binary):
    args = [binary, "-calcpvv", "-pin", "1234", "-pan", PAN, "-pvki", "1", "-kpvfile", "/dev/stdin"]

    def same_user():
        with subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE) as proc:
            waiting(proc)
            with open(f"/proc/{proc.pid}/cmdline", "rb") as f:
                shown = f.read().rstrip(b"\0")
            try:
                open(f"/proc/{proc.pid}/mem", "rb").close()
                opened = True
            except PermissionError:
                opened = False
            outsider = as_user(65533, lambda: try_open(proc.pid)) if os.getuid() == 0 else 0
            answer = proc.communicate(bytes.fromhex("0123456789ABCDEFFEDCBA9876543210"), timeout=10)[0]
        print(f"command line while waiting: {shown!r}; memory opened by the same user: {opened}; "
              f"by another user: {outsider == 1}; answer {answer!r}")
        return 0 if shown == binary.encode() and not opened and outsider == 0 and answer == b"9464" else 1

    return as_user(65534, same_user)


def try_open(pid):
    try:
        open(f"/proc/{pid}/mem", "rb").close()
        return 1
    except PermissionError:
        return 0


def loads(core):
    """The memory of an ELF core file: the contents of its PT_LOAD segments. The notes are left
    out: they hold the registers at exit and the dumper's own record of the arguments."""
    data = open(core, "rb").read()
    phoff, phsize, phnum = (int.from_bytes(data[a:a + n], "little") for a, n in ((32, 8), (54, 2), (56, 2)))
    memory = b""
    for i in range(phnum):
        h = data[phoff + i * phsize:phoff + (i + 1) * phsize]
        if int.from_bytes(h[0:4], "little") == 1:
            offset, size = int.from_bytes(h[8:16], "little"), int.from_bytes(h[32:40], "little")
            memory += data[offset:offset + size]
    return memory


def core_check(binary):
    if not shutil.which("gdb"):
        print("skipped: gdb not found (Debian package gdb)")
        return 0
    kpe24 = KEY + "3E81A4C7D9265B0F"
    pin_field = bytes.fromhex("0597315F")  # a five-digit PIN as the PIN block holds it
    runs = [  # (arguments, key bytes to look for, PIN, bytes to feed a key pipe)
        (["-calcpvv", "-pin", "7391", "-pan", PAN, "-pvki", "1", "-kpv", KEY], KEY, "7391", None),
        # A key typed without its option word is quoted in the error; the shorter second PIN
        # would leave the tail of the first behind in its buffer if that were not blanked first.
        (["-calcpvv", "-pin", "11111111197315", "-pin", "8642", "-pan", PAN, "-pvki", "1", KEY], KEY, "97315",
         None),
        (["-calcpinblock", "-pin", "97315", "-pan", PAN, "-kpe", kpe24], kpe24, "97315", None),
        (["-calcpinblock", "-pin", "97315", "-pan", PAN, "-kpefile", "{fifo}"], kpe24, "97315", kpe24),
        (["-uncalcpinblock", "-pinblock", "0412AC89ABCDEF67", "-pan", PAN, "-kpe", kpe24], kpe24, "97315", None),
    ]
    failed = 0
    with tempfile.TemporaryDirectory() as scratch:
        fifo, core = os.path.join(scratch, "key"), os.path.join(scratch, "core")
        os.mkfifo(fifo)
        for args, key, pin, piped in runs:
            args = [a.replace("{fifo}", fifo) for a in args]
            gdb = subprocess.Popen(["gdb", "-batch", "-nx", "-ex", "catch syscall exit_group", "-ex", "run",
                                    "-ex", f"gcore {core}", "-ex", "kill", "--args", binary] + args,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            if piped:
                with open(fifo, "wb") as f:
                    f.write(bytes.fromhex(piped))
            log = gdb.communicate(timeout=60)[0].decode(errors="replace")
            if not os.path.exists(core):
                print(f"no core for {args}:\n{log}")
                return 1
            memory = loads(core)
            os.remove(core)
            # Any eight characters of the key count: a released block loses its first bytes to
            # the allocator's own bookkeeping, and the rest is still the key.
            windows = [key[i:i + 8] for i in range(len(key) - 7)]
            forms = {"key as ASCII": [w.encode() for w in windows],
                     "key as UTF-16": [w.encode("utf-16-le") for w in windows],
                     "key as bytes": [bytes.fromhex(key[i:i + 16]) for i in range(0, len(key), 16)],
                     "PIN as ASCII": [pin.encode()], "PIN as UTF-16": [pin.encode("utf-16-le")],
                     "PIN field": [pin_field]}
            found = [name for name, copies in forms.items() if any(c in memory for c in copies)]
            print(f"{'FAIL' if found else 'ok  '} {' '.join(args)}" + (f": {', '.join(found)}" if found else ""))
            failed |= bool(found)
    return failed


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in ("process", "core"):
        sys.exit(__doc__)
    # A copy where any user may run it: the build tree may sit in a folder others cannot enter.
    with tempfile.TemporaryDirectory() as place:
        os.chmod(place, 0o755)
        binary = shutil.copy(sys.argv[1], os.path.join(place, "tolvane"))
        sys.exit((process_check if sys.argv[2] == "process" else core_check)(binary))
