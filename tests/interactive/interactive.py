"""Drives a program through pipes the way a person types into it.

Each scenario is a list of steps: wait for text to appear on the program's
standard output, check that the program is still waiting for input, type a
line, and finally check that it has ended with status 0.  Standard output is a
pipe here, so a prompt that is not flushed before a read never arrives and the
scenario fails on a timeout.

usage: interactive.py [--crlf] SCENARIO PROGRAM [ARGUMENT...]

PROGRAM may be a runner, such as Wine, with the program among its arguments.
--crlf: the program is a Windows one, so every line end it writes and every
line end typed into it is CR LF.
"""
import os
import select
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from texts import BUILT, CLOSING, NOT_BUILT  # noqa: E402

TIMEOUT = 10.0      # seconds to wait for text that must come
QUIET = 0.5         # seconds of silence that count as "still waiting"


def expect(text):
    return ("expect", text)


def send(text):
    return ("send", text)


WAITS = ("waits",)
ENDS = ("ends",)

SCENARIOS = {
    # Every prompt is on the pipe before the program waits for its answer, and
    # blank lines answer nothing.
    "value_table-prompts": [
        expect(b"kezd\xf5 \xe9rt\xe9k = "), WAITS, send(b"\n"), WAITS, send(b"0\n"),
        expect(b"v\xe9g \xe9rt\xe9k = "), WAITS, send(b"   \n"), WAITS, send(b"1\n"),
        expect(b"l\xe9p\xe9sk\xf6z = "), WAITS, send(b"0.5\n"),
        expect(b"l\xe9p\xe9sek sz\xe1ma = 2\n------------------------\n"
               b"1.  x=   0.0000  y=  8.0000 \n"
               b"2.  x=   0.5000  y= 10.0000 \n" + CLOSING),
        WAITS, send(b"x\n"), ENDS,
    ],
    # The closing pause stays through empty and blank lines and ends on the
    # first line that holds a character.
    "value_table-pause": [
        expect(b"kezd\xf5 \xe9rt\xe9k = "), send(b"0 5 2\n"),
        expect(b"3.  x=   4.0000  y= 52.0000 \n" + CLOSING),
        WAITS, send(b"\n"), WAITS, send(b"\t \n\n"), WAITS, send(b"7\n"), ENDS,
    ],
    # Two answers on one line: the second prompt is still written, and the
    # program waits only for the third.
    "value_table-two-on-a-line": [
        expect(b"kezd\xf5 \xe9rt\xe9k = "), send(b"1 0\n"),
        expect(b"v\xe9g \xe9rt\xe9k = l\xe9p\xe9sk\xf6z = "), WAITS, send(b"-0.5\n"),
        expect(b"2.  x=   0.5000  y= 10.0000 \n" + CLOSING), WAITS, send(b"q\n"), ENDS,
    ],
    "triangle_test-prompts": [
        expect(b"a = "), WAITS, send(b"\n"), WAITS, send(b"3\n"),
        expect(b"b = "), WAITS, send(b"4"), WAITS, send(b"\n"),
        expect(b"c = "), WAITS, send(b"5\n"),
        expect(BUILT + CLOSING),
        WAITS, send(b"x\n"), ENDS,
    ],
    "triangle_test-pause": [
        expect(b"a = "), send(b"1 2 3\n"),
        expect(b"b = c = " + NOT_BUILT + CLOSING),
        WAITS, send(b"\n"), WAITS, send(b"  \n"), WAITS, send(b"-12\n"), ENDS,
    ],
    # Programs that ask nothing still show everything before the pause waits.
    "reciprocal_sum-pause": [
        expect(b"A reciprokok \xf6sszege 1..100-ig: 5.187378" + CLOSING),
        WAITS, send(b"\n\n"), WAITS, send(b"k\n"), ENDS,
    ],
    "tab_pattern-pause": [
        expect(b"\txxxx \tx \txxxx \n\txxxx \txx \txxx \n\txxxx \txxx \txx \n\txxxx \txxxx \tx \n"
               + CLOSING),
        WAITS, send(b"\n \n"), WAITS, send(b"x\n"), ENDS,
    ],
}


class Failure(Exception):
    pass


def read_available(proc, deadline):
    """Returns what the program writes before the deadline, or b"" at its end."""
    remaining = deadline - time.monotonic()
    if remaining <= 0:
        return None
    ready, _, _ = select.select([proc.stdout], [], [], remaining)
    if not ready:
        return None
    return os.read(proc.stdout.fileno(), 65536)


def run(steps, command):
    proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    seen = b""
    try:
        for step in steps:
            if step[0] == "expect":
                deadline = time.monotonic() + TIMEOUT
                while step[1] not in seen:
                    chunk = read_available(proc, deadline)
                    if chunk is None:
                        raise Failure(f"timed out waiting for {step[1]!r}; got {seen!r}")
                    if chunk == b"":
                        raise Failure(f"output ended before {step[1]!r}; got {seen!r}")
                    seen += chunk
                seen = seen[seen.index(step[1]) + len(step[1]):]
            elif step[0] == "waits":
                chunk = read_available(proc, time.monotonic() + QUIET)
                if chunk is not None:
                    raise Failure(f"expected the program to wait, but it wrote {chunk!r}")
                if proc.poll() is not None:
                    raise Failure(f"expected the program to wait, but it ended ({proc.returncode})")
            elif step[0] == "send":
                proc.stdin.write(step[1])
                proc.stdin.flush()
            elif step[0] == "ends":
                try:
                    status = proc.wait(TIMEOUT)
                except subprocess.TimeoutExpired:
                    raise Failure("the program did not end after the closing line")
                rest = proc.stdout.read()
                if rest or seen:
                    raise Failure(f"unexpected output at the end: {seen + rest!r}")
                if status != 0:
                    raise Failure(f"exit status {status}, expected 0")
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()


def main():
    args = sys.argv[1:]
    crlf = args[:1] == ["--crlf"]
    if crlf:
        args = args[1:]
    scenario, command = args[0], args[1:]
    steps = SCENARIOS[scenario]
    if crlf:
        steps = [(step[0], step[1].replace(b"\n", b"\r\n")) if len(step) == 2 else step
                 for step in steps]
    try:
        run(steps, command)
    except Failure as failure:
        print(f"{scenario}: {failure}")
        return 1
    print(f"{scenario}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
