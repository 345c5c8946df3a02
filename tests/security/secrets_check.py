#!/usr/bin/env python3
"""Checks that keys and PINs do not outlive their use in a tolvane process.

    secrets_check.py TOLVANE process   while tolvane waits on a key pipe, its visible command
                                       line holds only the program name, and no process of the
                                       same (non-root) user or of another user can open its memory
    secrets_check.py TOLVANE core      stops representative runs at exit under gdb, and a batch
                                       while it waits for input, dumps them, and searches the
                                       memory image for any copy of the key or the PIN (ASCII,
                                       UTF-16, raw bytes); skipped without gdb
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

KEY = "7C0DE52AB3914F68D2A6C75E108B94F3"  # nothing like a table the program itself holds
PAN = "4111111111111111"


def opens_memory(uid, pid):
    """1 when a process with uid (when we are root; else as we are) can open pid's memory."""
    child = os.fork()
    if child == 0:
        code = 2
        try:
            if os.getuid() == 0:
                os.setgroups([])
                os.setgid(uid)
                os.setuid(uid)
            open(f"/proc/{pid}/mem", "rb").close()
            code = 1
        except PermissionError:
            code = 0
        finally:
            os._exit(code)
    return os.waitstatus_to_exitcode(os.waitpid(child, 0)[1])


def wait_asleep(pid):
    for _ in range(500):
        if open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()[0] == "S":
            return
        time.sleep(0.01)


def process_check(binary):
    # As root, tolvane runs as nobody, and the readers as nobody and as another user.
    ids = {"user": 65534, "group": 65534, "extra_groups": []} if os.getuid() == 0 else {}
    keys, key_writer = os.pipe()
    if ids:
        os.fchown(keys, 65534, 65534)  # nobody reopens it through /dev/stdin
    with subprocess.Popen([binary, "-calcpvv", "-pin", "1234", "-pan", PAN, "-pvki", "1", "-kpvfile",
                           "/dev/stdin"], stdin=keys, stdout=subprocess.PIPE, **ids) as p:
        wait_asleep(p.pid)  # blocked on its key pipe
        shown = open(f"/proc/{p.pid}/cmdline", "rb").read().rstrip(b"\0")
        same, other = opens_memory(65534, p.pid), opens_memory(65533, p.pid) if ids else 0
        os.write(key_writer, bytes.fromhex("0123456789ABCDEFFEDCBA9876543210"))
        os.close(key_writer)
        answer = p.communicate(timeout=10)[0]
    print(f"command line while waiting: {shown!r}; memory opened by the same user: {same}, "
          f"by another: {other}; answer {answer!r}")
    return 0 if (shown, same, other, answer) == (binary.encode(), 0, 0, b"9464") else 1


def memory_of(core):
    """The PT_LOAD segments of an ELF core; the notes hold registers and the dumper's own
    record of the arguments, not the process's memory."""
    data = open(core, "rb").read()
    phoff, phsize, phnum = (int.from_bytes(data[a:a + n], "little") for a, n in ((32, 8), (54, 2), (56, 2)))
    headers = (data[phoff + i * phsize:phoff + (i + 1) * phsize] for i in range(phnum))
    return b"".join(data[int.from_bytes(h[8:16], "little"):][:int.from_bytes(h[32:40], "little")]
                    for h in headers if h[0:4] == b"\1\0\0\0")


def core_check(binary):
    if not shutil.which("gdb"):
        print("skipped: gdb not found (Debian package gdb)")
        return 0
    kpe = KEY + "3E81A4C7D9265B0F"
    runs = [  # arguments, the key and PIN to look for, bytes for the key pipe
        (["-calcpvv", "-pin", "7391", "-pan", PAN, "-pvki", "1", "-kpv", KEY], KEY, "7391", None),
        # A key typed without its option word is quoted in the error; a shorter second PIN would
        # leave the tail of the first behind in its buffer if that were not blanked first.
        (["-calcpvv", "-pin", "11111111197315", "-pin", "8642", "-pan", PAN, KEY], KEY, "97315", None),
        (["-calcpinblock", "-pin", "97315", "-pan", PAN, "-kpe", kpe], kpe, "97315", None),
        (["-calcpinblock", "-pin", "97315", "-pan", PAN, "-kpefile", "{fifo}"], kpe, "97315", kpe),
        (["-uncalcpinblock", "-pinblock", "0412AC89ABCDEF67", "-pan", PAN, "-kpe", kpe], kpe, "97315", None),
        # The CVV's single-DES step takes key A alone, a copy of the key's first half.
        (["-calccvv", "-pan", PAN, "-expiry", "2512", "-servicecode", "101", "-cvk", KEY], KEY, "97315", None),
        # DUKPT: the BDK, and the initial, transaction and PIN keys derived from it for the KSN.
        (["-uncalcpinblock", "-pinblock", "8522B38789326BD3", "-pan", PAN, "-bdk", KEY, "-ksn", "FFFF9876543210E00005"],
         KEY + " F9F98A2C1C1E1EE302D62EEB34A36315 15524E93B64ED240F751AAABC1298C24"
         " 15524E93B64ED2BFF751AAABC1298CDB", "97315", None),
        # A key block: its KBPK, the two keys derived from it, and the clear key it holds.
        (["-unwrapkey", "-kbpk", "DD7515F2BFC17F85CE48F3CA25CB21F6", "-keyblock",
          "B0080P0TE00E000094B420079CC80BA3461F86FE26EFC4A3B8E4FA4C5F5341176EED7B727B8A248E"],
         "DD7515F2BFC17F85CE48F3CA25CB21F6 3F419E1CB7079442AA37474C2EFBF8B8"
         " 698832F8778A7CFCBC79559DAB07B88A DD6CEEC1782D8453671BF8358AF9DB47", "97315", None),
        # EMV: the IMK, and the card master key and session key derived from it.
        (["-verifyarqc", "-imk", KEY, "-pan", PAN, "-cvn", "mc20", "-atc", "001C", "-acdata",
          "0000000040000000", "-arqc", "0000000000000000"],
         KEY + " 023BF780256D4016E9291A192FF1FE8F 6B43374C4A19EF29017CFD13ABDFD085", "97315", None),
        # MACs: a Triple-DES MAK for the retail MAC (its left half a key of its own), an AES MAK
        # for CMAC, an HMAC key with the two pads made from it, and a DUKPT MAC key.
        (["-calcmac", "-mak", KEY, "-macalg", "iso9797-3", "-data", "00112233445566778899"], KEY, "97315", None),
        (["-calcmac", "-makaes", KEY, "-macalg", "cmac", "-data", "00112233445566778899"], KEY, "97315", None),
        (["-calcmac", "-makhmac", KEY, "-macalg", "hmac-sha256", "-data", "00112233445566778899"],
         " ".join([KEY] + [bytes(b ^ pad for b in bytes.fromhex(KEY)).hex().upper() for pad in (0x36, 0x5C)]),
         "97315", None),
        (["-calcmac", "-bdk", KEY, "-ksn", "FFFF9876543210E00005", "-data", "00112233445566778899"],
         KEY + " F9F98A2C1C1E1EE302D62EEB34A36315 15524E93B64E2D40F751AAABC1297324", "97315", None),
        # Data: a DEK, and the one-way DUKPT data key.
        (["-encrypt", "-dek", KEY, "-data", "0011223344556677"], KEY, "97315", None),
        (["-encrypt", "-bdk", KEY, "-ksn", "FFFF9876543210E00005", "-data", "0011223344556677"],
         KEY + " F9F98A2C1C1E1EE302D62EEB34A36315 5811728519BECEA0218E200E2FBD3BBA", "97315", None),
        # Components, and the key they combine to, which the answer shows.
        (["-combinekeys", "-component", KEY, "-component", "2A9B4C1D8E3F5061728394A5B6C7D8E9"],
         KEY + " 2A9B4C1D8E3F5061728394A5B6C7D8E9 5797A8373DAE1F08A12552FBA74C4C1A", "97315", None),
        # A key wrapped: the clear key and the KBPK.
        (["-wrapkey", "-kbpk", "DD7515F2BFC17F85CE48F3CA25CB21F6", "-key", KEY, "-kbusage", "P0", "-kbmode", "E"],
         KEY + " DD7515F2BFC17F85CE48F3CA25CB21F6", "97315", None),
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
            failed |= report(args, memory_of(core), key, pin)
            os.remove(core)
        # A batch waiting for more input has wiped the requests it answered: their keys, the keys
        # derived from them, PINs, PIN fields and PANs. Dumped while it waits, as at exit its large
        # buffers are gone. The requests cover Triple-DES and AES keys and blocks, both DUKPTs, MACs,
        # data and a cryptogram.
        aes, pan = "4F1B0D7E3A5C92E6B8017D4C3E29A5F0", "5300718264930572"
        tdes_ksn, aes_ksn = "FFFF9876543210E00005", "0123456789ABCDEF0000002A"
        derived = []
        for bdk, ksn in ((["-bdk", KEY], tdes_ksn), (["-bdkaes", aes], aes_ksn)):
            keys = subprocess.run([binary, "-dukptkeys", "-ksn", ksn] + bdk, capture_output=True).stdout
            derived += [line.split()[-3] for line in keys.decode().splitlines()]
        requests = [f"-calcpinblock -pin 97315 -pan {pan} -kpe {kpe}",
                    f"-calcpvv -pin 11111111197315 -pin 8642 -pvki 1 -pan {pan} -kpv {KEY}",
                    f"-uncalcpinblock -kpe {kpe} -pan {pan} -pinblock {{0}}",
                    f"-calcpinblock -format 4 -pin 97315 -pan {pan} -kpeaes {aes}",
                    f"-uncalcpinblock -format 4 -kpeaes {aes} -pan {pan} -pinblockaes {{3}}",
                    f"-calcpinblock -pin 97315 -pan {pan} -bdk {KEY} -ksn {tdes_ksn}",
                    f"-uncalcpinblock -pinblock {{5}} -pan {pan} -bdk {KEY} -ksn {tdes_ksn}",
                    f"-calcpinblock -format 4 -pin 97315 -pan {pan} -bdkaes {aes} -ksn {aes_ksn}",
                    f"-uncalcpinblock -format 4 -pinblockaes {{7}} -pan {pan} -bdkaes {aes} -ksn {aes_ksn}",
                    f"-calcmac -mak {KEY} -macalg iso9797-3 -data 0011",
                    f"-calcmac -makhmac {aes} -macalg hmac-sha256 -data 0011",
                    f"-encrypt -dekaes {aes} -data 00112233445566778899AABBCCDDEEFF",
                    f"-calcarqc -imk {KEY} -pan {pan} -cvn visa10 -acdata 0000000040000000"]
        pads = [bytes(b ^ pad for b in bytes.fromhex(aes)).hex().upper() for pad in (0x36, 0x5C)]
        args = ["-batch"]
        proc = subprocess.Popen([binary] + args, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        answers = []
        for request in requests:
            proc.stdin.write(request.format(*answers).encode() + b"\n")
            proc.stdin.flush()
            answers.append(proc.stdout.readline().rstrip(b"\n")[2:].decode())
        wait_asleep(proc.pid)  # blocked on its next request, all it was given answered
        subprocess.run(["gdb", "-batch", "-nx", "-p", str(proc.pid), "-ex", f"gcore {core}", "-ex", "detach"],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        proc.stdin.close()
        if (proc.wait(timeout=10) != 0 or answers[2::2][:4] != ["97315"] * 4 or len(derived) < 12
                or not os.path.exists(core)):
            print(f"the waiting batch did not run as expected: {answers}, {len(derived)} derived keys")
            return 1
        failed |= report(args + ["(waiting)"], memory_of(core), " ".join([kpe, aes] + pads + derived), "97315", pan)
    return failed


def report(args, memory, keys, pin, pan=None):
    # Any eight characters of a key count: a released block loses its first bytes to
    # the allocator's bookkeeping, and the rest is still the key. keys: one or more, blank-separated.
    keys = keys.split()
    windows = [key[i:i + 8] for key in keys for i in range(len(key) - 7)]
    forms = {"key as ASCII": [w.encode() for w in windows],
             "key as UTF-16": [w.encode("utf-16-le") for w in windows],
             "key as bytes": [bytes.fromhex(key[i:i + 16]) for key in keys for i in range(0, len(key), 16)],
             "PIN as ASCII": [pin.encode()], "PIN as UTF-16": [pin.encode("utf-16-le")],
             # the five-digit PIN in a clear PIN field of format 0 and of format 4
             "PIN field": [bytes.fromhex("0597315F"), bytes.fromhex("4597315A")]}
    if pan:
        forms["PAN as ASCII"] = [pan[i:i + 8].encode() for i in range(len(pan) - 7)]
        forms["PAN as UTF-16"] = [pan[i:i + 8].encode("utf-16-le") for i in range(len(pan) - 7)]
    found = [name for name, copies in forms.items() if any(c in memory for c in copies)]
    print(f"{'FAIL' if found else 'ok  '} {' '.join(args)}" + (f": {', '.join(found)}" if found else ""))
    return bool(found)

if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in ("process", "core"):
        sys.exit(__doc__)
    # A copy any user may run: the build tree may sit in a folder others cannot enter.
    with tempfile.TemporaryDirectory() as place:
        os.chmod(place, 0o755)
        binary = shutil.copy(sys.argv[1], os.path.join(place, "tolvane"))
        sys.exit((process_check if sys.argv[2] == "process" else core_check)(binary))
