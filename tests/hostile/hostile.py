"""Runs a program in a hostile environment and checks that it still behaves.

Standard input closed, standard output closed or full, a megabyte of letters,
a number of a million digits, forty digits at the closing pause: none may make
a program hang, crash or print anything but its own texts.  When output is lost the
program must still run its whole dialogue and then exit with status 1 and one
line on standard error; otherwise the status is 0 and standard error is empty.

usage: hostile.py CASE PROGRAM
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from texts import CLOSING, VT_HEAD, TT_HEAD, BUILT, NOT_BUILT  # noqa: E402

TIMEOUT = 20.0
QUIET = 0.5

RULE = b"------------------------\n"


def count_line(n):
    return b"l\xe9p\xe9sek sz\xe1ma = %d\n" % n + RULE


def rows(*pairs):
    return b"".join(b"%d.  x= %8.4f  y=%8.4f \n" % (i + 1, x, y) for i, (x, y) in enumerate(pairs))


FORTY = b"1234567890123456789012345678901234567890"
MILLION_FIVE = b"0" * 999_999 + b"5"            # 10^6 digits, the value 5
MILLION_HUGE = b"1" + b"0" * 999_999            # 10^6 digits, past every double
MB_LETTERS = b"abcdefghijklmnopqrstuvwxyz" * 40330  # a little over 1 MB

# For each program: an ordinary dialogue (answers, then the closing line) and
# its output, the output when every read fails, and the hostile inputs.  Those
# are made by the case that uses them: a megabyte made for every case cost
# each a third of its processor time.
PROGRAMS = {
    "value_table": {
        "answers": b"0\n1\n0.25\n",
        "output": VT_HEAD + count_line(4) + rows((0, 8), (0.25, 8.875), (0.5, 10), (0.75, 11.375)) + CLOSING,
        "nothing": VT_HEAD + count_line(-2147483648) + CLOSING,
        "letters": lambda: b"0 " + MB_LETTERS + b"\n",
        "letters_out": VT_HEAD + count_line(-2147483648) + CLOSING,  # 0 / 0
        "digits": lambda: b"0\n" + MILLION_FIVE + b"\n2\nx\n",
        "digits_out": VT_HEAD + count_line(3) + rows((0, 8), (2, 22), (4, 52)) + CLOSING,
        "overflow": lambda: b"0\n" + MILLION_HUGE + b"\n1\nx\n",
        "overflow_out": VT_HEAD + count_line(-2147483648) + CLOSING,
    },
    "triangle_test": {
        "answers": b"3\n4\n5\n",
        "output": TT_HEAD + BUILT + CLOSING,
        "nothing": TT_HEAD + NOT_BUILT + CLOSING,
        "letters": lambda: b"3 4 " + MB_LETTERS + b"\n",
        "letters_out": TT_HEAD + NOT_BUILT + CLOSING,
        "digits": lambda: b"3\n4." + b"0" * 999_999 + b"\n5\nx\n",
        "digits_out": TT_HEAD + BUILT + CLOSING,
        "overflow": lambda: b"3\n" + MILLION_HUGE + b"\n5\nx\n",
        "overflow_out": TT_HEAD + NOT_BUILT + CLOSING,
    },
    "reciprocal_sum": {
        "answers": b"",
        "output": b"A reciprokok \xf6sszege 1..100-ig: 5.187378" + CLOSING,
    },
    "tab_pattern": {
        "answers": b"",
        "output": b"\txxxx \tx \txxxx \n\txxxx \txx \txxx \n"
                  b"\txxxx \txxx \txx \n\txxxx \txxxx \tx \n" + CLOSING,
    },
}
for p in ("reciprocal_sum", "tab_pattern"):
    d = PROGRAMS[p]
    d["nothing"] = d["letters_out"] = d["digits_out"] = d["overflow_out"] = d["output"]
    d["letters"] = lambda: MB_LETTERS + b"\n"
    d["digits"] = lambda: MILLION_FIVE + b"\n"      # a million-digit integer at the pause
    d["overflow"] = lambda: MILLION_HUGE + b"\n"


class Failure(Exception):
    pass


def expect(what, actual, wanted):
    if actual != wanted:
        a, w = actual, wanted
        if len(a) > 400 or len(w) > 400:
            a, w = a[:200] + b"..." + a[-200:], w[:200] + b"..." + w[-200:]
        raise Failure("%s:\n  expected %r\n  actual   %r" % (what, w, a))


def run(program, data, redirect=None, stdout=subprocess.PIPE):
    """Runs PROGRAM on DATA through a shell that applies REDIRECT to it first."""
    argv = ["sh", "-c", 'exec "$0" ' + redirect, program] if redirect else [program]
    proc = subprocess.run(argv, input=data, stdout=stdout, stderr=subprocess.PIPE,
                          timeout=TIMEOUT)
    return proc.returncode, proc.stdout, proc.stderr


def waits(proc):
    time.sleep(QUIET)
    return proc.poll() is None


def lost_output(program, name, redirect, reason, wrapper="", stdout=None, env=None):
    """The whole dialogue still runs, the closing pause still waits, and the
    status and one line on standard error tell that the output was lost."""
    d = PROGRAMS[name]
    proc = subprocess.Popen(["sh", "-c", "exec " + wrapper + ' "$0" ' + redirect, program],
                            stdin=subprocess.PIPE, stdout=stdout, stderr=subprocess.PIPE, env=env)
    proc.stdin.write(d["answers"])
    proc.stdin.flush()
    if not waits(proc):
        raise Failure("ended before the closing line, status %r, stderr %r"
                      % (proc.returncode, proc.stderr.read()))
    proc.stdin.write(b"x\n")
    proc.stdin.close()
    status = proc.wait(TIMEOUT)
    errors = proc.stderr.read()
    expect("standard error", errors, b"%s: %s\n" % (name.encode(), reason))
    expect("exit status", status, 1)


def ordinary(program, name, data, wanted):
    status, out, errors = run(program, data)
    expect("standard error", errors, b"")
    expect("exit status", status, 0)
    expect("standard output", out, wanted)


def case_stdin_closed(program, name):
    status, out, errors = run(program, None, "<&-")
    expect("standard error", errors, b"")
    expect("exit status", status, 0)
    expect("standard output", out, PROGRAMS[name]["nothing"])


def case_stdout_closed(program, name):
    lost_output(program, name, ">&-", b"Bad file descriptor")


def case_stdout_full(program, name):
    lost_output(program, name, ">/dev/full", b"No space left on device")


def case_stdout_full_unbuffered(program, name):
    """Unbuffered, as msvcrt leaves it on a console, a write fails inside
    printf and no flush fails after it: its reason must be kept all the same."""
    # stdbuf preloads its library, which AddressSanitizer would refuse.
    env = dict(os.environ, ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0")
    lost_output(program, name, ">/dev/full", b"No space left on device", "stdbuf -o0", env=env)


def case_stdout_sealed(program, name):
    """A file sealed against writing refuses them with errno 1, EPERM: a
    reason like any other, not to be taken for none."""
    import fcntl
    fd = os.memfd_create("sealed", os.MFD_ALLOW_SEALING)
    fcntl.fcntl(fd, fcntl.F_ADD_SEALS, fcntl.F_SEAL_WRITE)
    with open(fd, "wb") as sealed:
        lost_output(program, name, "", b"Operation not permitted", stdout=sealed)


def case_letters_line(program, name):
    ordinary(program, name, PROGRAMS[name]["letters"](), PROGRAMS[name]["letters_out"])


def case_million_digits(program, name):
    d = PROGRAMS[name]
    ordinary(program, name, d["digits"](), d["digits_out"])
    ordinary(program, name, d["overflow"](), d["overflow_out"])


def case_pause_40_digits(program, name):
    """Forty digits answer the closing pause at once: the program ends with
    its input still open, and no integer overflows on the way."""
    d = PROGRAMS[name]
    for line in (FORTY, b"-" + FORTY, b"+" + FORTY + b"x"):
        proc = subprocess.Popen([program], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        proc.stdin.write(d["answers"] + line + b"\n")
        proc.stdin.flush()
        try:
            proc.wait(TIMEOUT)      # input still open: only the line can end it
        except subprocess.TimeoutExpired:
            proc.kill()
            raise Failure("still waiting after %r at the closing pause" % line)
        out, errors = proc.stdout.read(), proc.stderr.read()
        proc.stdin.close()
        expect("standard error", errors, b"")
        expect("exit status", proc.returncode, 0)
        expect("standard output", out, d["output"])


CASES = {
    "stdin-closed": case_stdin_closed,
    "stdout-closed": case_stdout_closed,
    "stdout-full": case_stdout_full,
    "stdout-full-unbuffered": case_stdout_full_unbuffered,
    "stdout-sealed": case_stdout_sealed,
    "letters-line": case_letters_line,
    "million-digits": case_million_digits,
    "pause-40-digits": case_pause_40_digits,
}


def main():
    case, program = sys.argv[1], sys.argv[2]
    name = os.path.basename(program)
    try:
        CASES[case](program, name)
    except (Failure, subprocess.TimeoutExpired) as e:
        print("%s %s: %s" % (name, case, e))
        return 1
    print("%s %s: ok" % (name, case))
    return 0


if __name__ == "__main__":
    sys.exit(main())
