"""Feeds the four programs seeded random standard input and checks each run.

Every run must end within the timeout, with status 0, nothing on standard error
(where a sanitizer would report) and an output of the program's fixed shape:
its prompts or fixed text first, the closing text last, and in between only
what the program can print whatever it was given.  The inputs mix numbers in
every spelling the C library's reader might meet: signs, points, decimal
commas, exponents with and without digits, inf and nan words, hex floats,
white space and line ends, numbers of thousands of digits, runs of letters,
bytes of 0x80 and above, empty input and input cut off inside a number.

A value_table run whose count asks for more than ROW_CAP rows is legitimate
but could print gigabytes; its head is checked, it is stopped, and it is
reported as cut short instead of counted as a run.

usage: fuzz.py BUILD_DIR RUNS [--seed N] [--jobs N] [--timeout S] [--batch COMMAND]

--batch COMMAND: COMMAND BUILD_DIR/PROGRAM LIMIT runs every input a worker has
for PROGRAM, one after another (the protocol of tests/wasm/batch.js), and
stops a run whose output passes LIMIT bytes, which no table of ROW_CAP rows
reaches; its head must then show a longer table.
"""
import argparse
import multiprocessing
import os
import random
import re
import select
import shlex
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from texts import CLOSING, VT_HEAD, TT_HEAD, BUILT, NOT_BUILT  # noqa: E402
from wasm.batch import Batch  # noqa: E402

TT_VERDICTS = (BUILT, NOT_BUILT)
RS_OUT = b"A reciprokok \xf6sszege 1..100-ig: 5.187378" + CLOSING
TP_OUT = (b"\txxxx \tx \txxxx \n\txxxx \txx \txxx \n"
          b"\txxxx \txxx \txx \n\txxxx \txxxx \tx \n" + CLOSING)
COUNT_LINE = re.compile(rb"l\xe9p\xe9sek sz\xe1ma = (-?\d+)\n------------------------\n")
# A value printed by "%8.4lf": fixed point with four decimals, or inf/nan.
VALUE = rb"(?:-?\d+\.\d{4}|-?inf|-?nan)"
ROW = re.compile(rb"(\d+)\.  x= *(" + VALUE + rb")  y= *(" + VALUE + rb") \n")
ROW_CAP = 20000
# The prompts and the closing text, and ROW_CAP rows at their widest: two
# values of 309 digits and four decimals, and the row's number.
BATCH_LIMIT = 4096 + ROW_CAP * 660

# The programs, their share of the runs, and how much of their input matters.
PROGRAMS = (("value_table", 40), ("triangle_test", 30),
            ("reciprocal_sum", 15), ("tab_pattern", 15))

SPACES = [b" ", b"\t", b"\n", b"\r\n", b"\v", b"\f", b"  \n\n", b"\n \t\n"]
WORDS = [b"inf", b"INF", b"-inf", b"+Inf", b"infinity", b"-INFINITY", b"infinit",
         b"in", b"i", b"nan", b"NaN", b"-nan", b"nan(123)", b"nan(", b"nan()",
         b"nan(abc_9)", b"n", b"0x1p-3", b"0x", b"-0X1.8P+1", b"0x.p", b"0xg",
         b"0x1.fffffffffffffp1023", b"0x1p-1074"]


DIGITS = bytes(48 + i % 10 for i in range(256))


def digits(rng, n):
    return rng.randbytes(n).translate(DIGITS)


def number(rng):
    """A decimal number, well or badly formed."""
    out = rng.choice([b"", b"", b"-", b"+", b"--", b"+-"])
    size = rng.choice([0, 1, 1, 2, 3, 5, 17, 25, 40, rng.randint(100, 6000)])
    out += digits(rng, size)
    roll = rng.random()
    if roll < 0.4:
        out += b"." + digits(rng, rng.choice([0, 1, 2, 4, 20, rng.randint(100, 3000)]))
    elif roll < 0.5:
        out += b"," + digits(rng, rng.randint(0, 3))
    elif roll < 0.55:
        out += b"." + digits(rng, 2) + b"." + digits(rng, 2)
    roll = rng.random()
    if roll < 0.3:
        out += rng.choice([b"e", b"E"]) + rng.choice([b"", b"+", b"-"])
        out += digits(rng, rng.choice([0, 1, 2, 3, 4, 5, 12]))
    return out


def piece(rng):
    roll = rng.random()
    if roll < 0.55:
        return number(rng)
    if roll < 0.68:
        return rng.choice(WORDS)
    if roll < 0.76:
        letters = b"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
        return bytes(rng.choice(letters) for _ in range(rng.choice([1, 3, 50, 5000])))
    if roll < 0.84:
        high = b"\xe1\xe9\xed\xf3\xf6\xf5\x80\xff\xa0\xc3\xa9"
        return bytes(rng.choice(high) for _ in range(rng.randint(1, 20)))
    if roll < 0.92:
        return bytes(rng.choice(b"+-.,eE") for _ in range(rng.randint(1, 4)))
    return bytes(rng.randrange(256) for _ in range(rng.randint(1, 30)))


def make_input(rng):
    roll = rng.random()
    if roll < 0.03:
        return b""
    if roll < 0.06:
        return rng.choice(SPACES) * rng.randint(1, 5)
    parts = []
    for _ in range(rng.randint(1, 8)):
        parts.append(piece(rng))
        if rng.random() < 0.85:
            parts.append(rng.choice(SPACES))
    data = b"".join(parts)
    if rng.random() < 0.15:
        data = data[:rng.randint(0, len(data))]
    return data


def check_value_table(out):
    """Returns what is wrong with a value_table output, or None."""
    if not out.startswith(VT_HEAD):
        return "does not start with the three prompts"
    m = COUNT_LINE.match(out, len(VT_HEAD))
    if not m:
        return "no count line and rule after the prompts"
    count = int(m.group(1))
    pos = m.end()
    for k in range(1, max(count, 0) + 1):
        r = ROW.match(out, pos)
        if not r or int(r.group(1)) != k:
            return "row %d malformed or missing" % k
        pos = r.end()
    if out[pos:] != CLOSING:
        return "rows not followed by exactly the closing text"
    return None


def check(program, out):
    if program == "value_table":
        return check_value_table(out)
    if program == "triangle_test":
        if out not in (TT_HEAD + v + CLOSING for v in TT_VERDICTS):
            return "not the prompts, one verdict and the closing text"
        return None
    if out != (RS_OUT if program == "reciprocal_sum" else TP_OUT):
        return "not its fixed output"
    return None


def too_long(out):
    m = COUNT_LINE.match(out, len(VT_HEAD))
    return bool(m) and int(m.group(1)) > ROW_CAP


def run_one(build, program, data, timeout, stdin, err):
    """Returns (verdict, detail) with verdict 'ok', 'cut' or 'fail'."""
    for f, content in ((stdin, data), (err, b"")):
        f.seek(0)
        f.truncate()
        f.write(content)
        f.flush()
        f.seek(0)
    # No descriptor of the driver is open in the program: close_fds costs a
    # millisecond a run, and the workers hold nothing the program could touch.
    proc = subprocess.Popen([os.path.join(build, program)], stdin=stdin,
                            stdout=subprocess.PIPE, stderr=err, close_fds=False)
    chunks, counted = [], False
    deadline = time.monotonic() + timeout
    fd = proc.stdout.fileno()
    verdict = None
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            verdict = ("fail", "no end within %g s" % timeout)
            break
        ready, _, _ = select.select([fd], [], [], left)
        if not ready:
            continue
        chunk = os.read(fd, 1 << 16)
        if not chunk:
            break
        chunks.append(chunk)
        if not counted and program == "value_table":
            head = b"".join(chunks)
            counted = COUNT_LINE.search(head) is not None or len(head) > 4096
            if too_long(head):
                verdict = ("cut", None)
                break
    if verdict:
        proc.kill()
    proc.stdout.close()
    status = proc.wait()
    if verdict and verdict[0] == "fail":
        return verdict
    err.seek(0)
    return judge(program, status, b"".join(chunks), err.read(), verdict is not None)


def run_batched(batches, command, build, program, data, timeout):
    """run_one's verdict, with the program's runs through one batch process."""
    if program not in batches:
        batches[program] = Batch(command + [os.path.join(build, program), str(BATCH_LIMIT)], timeout)
    try:
        run = batches[program].run(data)
    except RuntimeError as error:
        batches.pop(program).close()
        return ("fail", str(error))
    stopped = run.returncode == -2
    if stopped and not too_long(run.stdout):
        return ("fail", "over %d bytes of output" % BATCH_LIMIT)
    return judge(program, run.returncode, run.stdout, run.stderr, stopped)


def judge(program, status, out, errors, stopped):
    """The verdict on a run; stopped: ended once its table showed itself too long."""
    if stopped:
        head = out[:out.index(b"---")] if b"---" in out else b""
        if not head.startswith(VT_HEAD):
            return ("fail", "a long table without the prompts in front")
        return ("cut", None)
    if status != 0:
        return ("fail", "exit status %d" % status)
    if errors:
        return ("fail", "standard error: " + errors[:2000].decode("latin-1"))
    problem = check(program, out)
    if problem:
        return ("fail", problem)
    return ("ok", None)


def pick_program(rng):
    total = sum(w for _, w in PROGRAMS)
    roll = rng.randrange(total)
    for name, weight in PROGRAMS:
        if roll < weight:
            return name
        roll -= weight
    raise AssertionError


def case(seed, index):
    rng = random.Random(seed * 1000003 + index)
    return pick_program(rng), make_input(rng)


def worker(job):
    build, seed, indices, timeout, batch = job
    results = []
    batches = {}
    try:
        with tempfile.TemporaryFile() as stdin, tempfile.TemporaryFile() as err:
            for index in indices:
                program, data = case(seed, index)
                if batch:
                    verdict, detail = run_batched(batches, batch, build, program, data, timeout)
                else:
                    verdict, detail = run_one(build, program, data, timeout, stdin, err)
                results.append((index, program, verdict, detail, data if verdict == "fail" else None))
    finally:
        for each in batches.values():
            each.close()
    return results


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("runs", type=int)
    ap.add_argument("--seed", type=int, default=20261207)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--timeout", type=float, default=10.0)
    ap.add_argument("--label", default="")
    ap.add_argument("--batch", default="", help="runs a program's inputs in one process (see above)")
    args = ap.parse_args()

    started = time.monotonic()
    command = shlex.split(args.batch)
    counts = {name: [0, 0, 0] for name, _ in PROGRAMS}   # runs, failures, cut
    failures = []
    done = 0
    next_index = 0
    with multiprocessing.Pool(args.jobs) as pool:
        # Runs that were cut short do not count: draw more until RUNS have ended.
        while done < args.runs:
            want = args.runs - done
            # No more runs than are wanted: a batch runs to its end, and under
            # an emulator a run costs a second.
            batch = min(200, -(-want // args.jobs))
            jobs = []
            for _ in range(max(args.jobs, (want + batch - 1) // batch)):
                jobs.append((args.build, args.seed, range(next_index, next_index + batch),
                             args.timeout, command))
                next_index += batch
            for results in pool.imap(worker, jobs):
                for index, program, verdict, detail, data in results:
                    if done >= args.runs:
                        break
                    if verdict == "cut":
                        counts[program][2] += 1
                        continue
                    done += 1
                    counts[program][0] += 1
                    if verdict == "fail":
                        counts[program][1] += 1
                        failures.append((index, program, detail, data))

    for index, program, detail, data in failures[:20]:
        print("FAIL run %d %s: %s\n  input (%d bytes): %r" %
              (index, program, detail, len(data), data[:300]))
    label = (" " + args.label) if args.label else ""
    for name, _ in PROGRAMS:
        runs, failed, cut = counts[name]
        print("fuzz%s: %-14s runs %6d  failures %d  cut short (over %d rows) %d"
              % (label, name, runs, failed, ROW_CAP, cut))
    total_failed = sum(c[1] for c in counts.values())
    print("fuzz%s: total runs %d, failures %d, seed %d, %.0f s"
          % (label, done, total_failed, args.seed, time.monotonic() - started))
    return 1 if total_failed else 0


if __name__ == "__main__":
    sys.exit(main())
