"""Checks value_table and triangle_test against exact rational arithmetic.

The model knows only what the programs are meant to compute: every step that
runs in extended precision is the exact result rounded to a 64-bit significand,
every stored double is that rounded again to 53 bits (subnormals and overflow
included), and "%8.4lf" is the exact decimal value rounded to four places, an
exact tie going to the even digit, as glibc prints in round-to-nearest.  Zeros
keep their sign and infinities and NaNs follow IEEE 754, since "-0.0000" and
the count of a zero step depend on them.

Each case is typed into the program and its whole output is compared byte for
byte with the model's; a mismatch prints the input, the expected line and the
actual line.

usage: model.py BUILD_DIR CASES [--seed N] [--jobs N] [--emulator COMMAND | --batch COMMAND]

--batch COMMAND: COMMAND BUILD_DIR/PROGRAM runs every case a worker has for
PROGRAM, one after another (the protocol of tests/wasm/batch.js), where a
process a case would cost more than the case.
"""
import argparse
import math
import multiprocessing
import os
import random
import shlex
import struct
import subprocess
import sys
import time
from fractions import Fraction

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from texts import CLOSING, VT_HEAD, TT_HEAD, BUILT, NOT_BUILT  # noqa: E402
from wasm.batch import Batch  # noqa: E402

COUNT = b"l\xe9p\xe9sek sz\xe1ma = %d\n------------------------\n"
INT_MIN, INT_MAX = -2**31, 2**31 - 1
MAX_ROWS = 500

# A number is a Fraction when it is finite and not zero, otherwise a float
# (0.0, -0.0, the infinities, NaN), so that every sign survives.


def negative(v):
    return v < 0 if isinstance(v, Fraction) else math.copysign(1.0, v) < 0


def special(v):
    return isinstance(v, float) and (math.isinf(v) or math.isnan(v))


def exact(f):
    """The number a double stands for."""
    return Fraction(f) if math.isfinite(f) and f != 0 else f


def add(a, b):
    if isinstance(a, Fraction) and isinstance(b, Fraction):
        s = a + b
        return s if s != 0 else 0.0        # x - x is +0 in round-to-nearest
    if special(a) or special(b):
        return float(a if special(a) else 0.0) + float(b if special(b) else 0.0)
    if isinstance(a, float) and isinstance(b, float):
        return a + b                        # zeros: -0 + -0 alone stays -0
    return a if isinstance(a, Fraction) else b


def mul(a, b):
    sign = -1.0 if negative(a) != negative(b) else 1.0
    if (isinstance(a, float) and math.isnan(a)) or (isinstance(b, float) and math.isnan(b)):
        return math.nan
    if special(a) or special(b):
        if a == 0 or b == 0:
            return math.nan
        return sign * math.inf
    if a == 0 or b == 0:
        return sign * 0.0
    return a * b


def div(a, b):
    sign = -1.0 if negative(a) != negative(b) else 1.0
    if (isinstance(a, float) and math.isnan(a)) or (isinstance(b, float) and math.isnan(b)):
        return math.nan
    if special(a):
        return math.nan if special(b) else sign * math.inf
    if special(b):
        return sign * 0.0
    if b == 0:
        return math.nan if a == 0 else sign * math.inf
    if a == 0:
        return sign * 0.0
    return a / b


def round_bits(v, bits, min_quantum=None, overflow=None):
    """v rounded to `bits` significant bits, ties to even."""
    if not isinstance(v, Fraction):
        return v
    sign = -1 if v < 0 else 1
    a = abs(v)
    n, d = a.numerator, a.denominator
    e = n.bit_length() - d.bit_length()     # 2^e <= a < 2^(e+1) after the fix
    if (n << -e if e < 0 else n) < (d << e if e > 0 else d):
        e -= 1
    q = e - (bits - 1)
    if min_quantum is not None and q < min_quantum:
        q = min_quantum
    # a / 2^q, rounded to an integer, ties to even
    num, den = (n << -q, d) if q < 0 else (n, d << q)
    m, r = divmod(num, den)
    if 2 * r > den or (2 * r == den and m % 2 == 1):
        m += 1
    if m == 0:
        return sign * 0.0
    result = Fraction(m << q) if q >= 0 else Fraction(m, 1 << -q)
    if overflow is not None and result >= overflow:
        return sign * math.inf
    return sign * result


def ext(v):
    return round_bits(v, 64)


def dbl(v):
    return round_bits(v, 53, min_quantum=-1074, overflow=Fraction(2) ** 1024)


def fixed(v, places):
    """printf's "%.<places>f" of the double v."""
    if isinstance(v, float):
        if math.isnan(v):
            return "-nan" if negative(v) else "nan"
        if math.isinf(v):
            return "-inf" if v < 0 else "inf"
    a = abs(Fraction(v))
    scaled = a * 10 ** places
    m, r = divmod(scaled.numerator, scaled.denominator)
    if 2 * r > scaled.denominator or (2 * r == scaled.denominator and m % 2 == 1):
        m += 1
    digits = str(m).rjust(places + 1, "0")
    text = digits[:-places] + "." + digits[-places:]
    return ("-" if negative(v) else "") + text


def count_of(start, end, step):
    # end - start is end + (-start), zero signs included
    q = dbl(ext(div(ext(add(exact(end), -exact(start))), exact(step))))
    if isinstance(q, float):
        return 0 if q == 0 else INT_MIN      # +-0, or NaN / infinity
    r = math.floor(abs(q) + Fraction(1, 2))  # halves away from zero
    r = -r if q < 0 else r
    return r if INT_MIN <= r <= INT_MAX else INT_MIN


def value_table(start, end, step):
    count = count_of(start, end, step)
    lines = [VT_HEAD + COUNT % count]
    s, st = exact(start), exact(step)
    for k in range(count):
        kk = Fraction(k) if k else 0.0
        x = dbl(ext(add(ext(mul(kk, st)), s)))
        y = dbl(ext(add(ext(add(ext(mul(ext(add(x, x)), x)), ext(mul(x, Fraction(3))))),
                        Fraction(8))))
        lines.append(b"%d.  x= %8s  y=%8s \n" % (k + 1, fixed(x, 4).encode(), fixed(y, 4).encode()))
    lines.append(CLOSING)
    return b"".join(lines)


def triangle_test(a, b, c):
    A, B, C = exact(a), exact(b), exact(c)
    # A comparison with a NaN is false, so a NaN side fails its test.
    built = C < ext(add(A, B)) and B < ext(add(A, C)) and A < ext(add(B, C))
    return TT_HEAD + (BUILT if built else NOT_BUILT) + CLOSING


# Cases.  Every number is typed in a spelling that strtod and Python's float()
# both turn into the same double: both round correctly.

def typed(rng, v):
    if math.isnan(v):
        return rng.choice(["nan", "NAN", "-nan"]) if math.copysign(1, v) < 0 \
            else rng.choice(["nan", "NaN"])
    if math.isinf(v):
        return rng.choice(["inf", "infinity", "INF"]) if v > 0 else rng.choice(["-inf", "-Infinity"])
    roll = rng.random()
    if roll < 0.5:
        text = repr(v)
    elif roll < 0.65:
        text = "%.17g" % v
    elif roll < 0.75:
        text = "%.25e" % v
    elif roll < 0.85 and v == int(v) and abs(v) < 1e30:
        text = "%d" % int(v) if v != 0 or math.copysign(1, v) > 0 else "-0"
    elif roll < 0.95 and abs(v) < 1e6:
        text = fixed(v, rng.choice([20, 60]))   # a long expansion rounding back to v
        if float(text) != v:
            text = repr(v)
    else:
        text = repr(v)
    if rng.random() < 0.05 and not text.startswith("-"):
        text = "+" + text
    return text


def random_double(rng):
    """Any finite double, from its bits."""
    while True:
        v = struct.unpack("<d", rng.randbytes(8))[0]
        if math.isfinite(v):
            return v


def magnitude(rng):
    roll = rng.random()
    if roll < 0.35:
        return rng.uniform(-100, 100)
    if roll < 0.5:
        return float(rng.randint(-50, 50))
    if roll < 0.62:
        return rng.randint(-400, 400) / rng.choice([2, 4, 8, 32, 64, 1024])  # ties in print
    if roll < 0.72:
        return rng.choice([-1, 1]) * 10.0 ** rng.uniform(-320, 308)
    if roll < 0.8:
        return random_double(rng)
    if roll < 0.87:
        return rng.choice([0.0, -0.0, 1e-310, -5e-324, 2.0 ** 53, 1.7976931348623157e308,
                           0.1, 1e5, -1e5, 99999.99995, 0.00005, 1e15 + 0.5])
    return rng.uniform(-1e6, 1e6)


def value_table_case(rng):
    roll = rng.random()
    if roll < 0.05:
        start, step = magnitude(rng), rng.choice([0.0, -0.0])
        end = rng.choice([start, magnitude(rng)])
    elif roll < 0.08:
        start, end, step = (rng.choice([math.inf, -math.inf, math.nan, magnitude(rng)])
                            for _ in range(3))
    elif roll < 0.2:
        start, end, step = magnitude(rng), magnitude(rng), magnitude(rng)
    else:
        start, step = magnitude(rng), magnitude(rng)
        if step == 0 or not math.isfinite(step):
            step = 0.25
        n = rng.choice([rng.randint(-5, 12), rng.randint(-5, 40), rng.randint(0, 400)])
        frac = rng.choice([0.0, 0.5, -0.5, 0.4999999999, 0.5000000001, rng.uniform(-0.5, 0.5)])
        with_overflow = (n + frac) * step
        end = start + with_overflow if math.isfinite(with_overflow) else start
        if not math.isfinite(end):
            end = start
    return start, end, step


def side(rng):
    roll = rng.random()
    if roll < 0.4:
        return float(rng.randint(-3, 12))
    if roll < 0.5:
        return rng.choice([math.inf, -math.inf, math.nan, 0.0, -0.0, 1e308, 2.0 ** 53,
                           1.7976931348623157e308, 5e-324])
    return magnitude(rng)


def triangle_case(rng):
    a, b = side(rng), side(rng)
    roll = rng.random()
    if roll < 0.35 and math.isfinite(a + b):
        if roll < 0.25:
            a, b = abs(a), abs(b)
        c = a + b                                 # equal in double, not always exactly
        c = rng.choice([c, math.nextafter(c, math.inf), math.nextafter(c, -math.inf)])
    else:
        c = side(rng)
    sides = [a, b, c]
    rng.shuffle(sides)
    return tuple(sides)


def make_case(seed, index):
    rng = random.Random(seed * 7919 + index)
    if index % 2 == 0:
        while True:
            args = value_table_case(rng)
            if count_of(*args) <= MAX_ROWS:
                break
        program, expected = "value_table", value_table(*args)
    else:
        args = triangle_case(rng)
        program, expected = "triangle_test", triangle_test(*args)
    seps = [" ", "\n", "\t", "  \n"]
    text = "".join(typed(rng, v) + rng.choice(seps) for v in args)
    text += rng.choice(["x\n", "\n0\n", "q\n"])
    return program, text.encode(), expected


def first_difference(expected, actual):
    e, a = expected.split(b"\n"), actual.split(b"\n")
    for i in range(max(len(e), len(a))):
        le = e[i] if i < len(e) else b"<none>"
        la = a[i] if i < len(a) else b"<none>"
        if le != la:
            return i + 1, le, la
    return 0, b"", b""


# Seconds a case may take, in a process of its own or through a batch.
CASE_TIMEOUT = 20


def worker(job):
    build, seed, indices, emulator, batch = job
    out = []
    batches = {}
    try:
        for index in indices:
            program, data, expected = make_case(seed, index)
            if batch:
                if program not in batches:
                    batches[program] = Batch(batch + [os.path.join(build, program)], CASE_TIMEOUT)
                run = batches[program].run(data)
            else:
                run = subprocess.run(emulator + [os.path.join(build, program)], input=data,
                                     capture_output=True, timeout=CASE_TIMEOUT, close_fds=False)
            actual = run.stdout
            if actual != expected or run.returncode != 0 or run.stderr:
                line, le, la = first_difference(expected, actual)
                out.append((index, program, data, line, le, la, run.returncode, run.stderr))
            else:
                out.append((index, program, None, expected.count(b"\n") - 4, None, None, 0, b""))
    finally:
        for each in batches.values():
            each.close()
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("cases", type=int)
    ap.add_argument("--seed", type=int, default=20261207)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--emulator", default="",
                    help="runs a program built for another CPU, such as qemu-aarch64")
    ap.add_argument("--batch", default="", help="runs a program's cases in one process (see above)")
    args = ap.parse_args()
    started = time.monotonic()
    # Every worker busy, however few the cases.
    chunk = max(1, min(100, -(-args.cases // args.jobs)))
    jobs = [(args.build, args.seed, range(i, min(i + chunk, args.cases)), shlex.split(args.emulator),
             shlex.split(args.batch))
            for i in range(0, args.cases, chunk)]
    cases = {"value_table": 0, "triangle_test": 0}
    mismatches = {"value_table": 0, "triangle_test": 0}
    rows = 0
    with multiprocessing.Pool(args.jobs) as pool:
        for results in pool.imap(worker, jobs):
            for index, program, data, line, le, la, status, errors in results:
                cases[program] += 1
                if data is None:
                    if program == "value_table":
                        rows += line
                    continue
                mismatches[program] += 1
                if mismatches[program] <= 10:
                    print("MISMATCH case %d %s, input %r, status %d%s\n  line %d expected %r\n"
                          "  line %d actual   %r" % (index, program, data, status,
                                                     ", stderr %r" % errors if errors else "",
                                                     line, le, line, la))
    for program in cases:
        print("model: %-13s cases %6d  mismatches %d" % (program, cases[program], mismatches[program]))
    print("model: %d value_table rows compared, seed %d, %.0f s"
          % (rows, args.seed, time.monotonic() - started))
    return 1 if sum(mismatches.values()) else 0


if __name__ == "__main__":
    sys.exit(main())
