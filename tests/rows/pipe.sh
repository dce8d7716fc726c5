#!/usr/bin/env bash
# value_table's rows into a pipe.
#
# reader-gone: ten million rows into a pipe whose reader stops after
# 100000 bytes. By default the broken pipe's signal ends the program at once;
# with that signal ignored, every later write fails, and the program must still
# run to its end, exit with status 1 and name the broken pipe on standard error.
# Either way it must not hang: each run has 60 seconds.
#
# widened: the pipe is widened to 1 MiB (or as far as pipe-max-size allows)
# once the rows fill a block, and left as it came for a few rows.
#
# largest-count: start 0, end 2147483647, step 1, the largest count there
# is: its count line and the first rows must come, and then the reader goes.
#
# interrupted: a reader that waits between bursts, and meanwhile stops and
# continues the program, which cuts short the write it is blocked in; the
# rest must follow from where it stopped. Then a non-blocking pipe: where a
# write finds it full, either everything still comes, or the status is 1 with
# the reason on standard error, never part of the rows and status 0.
#
# fallback SHIM: with SHIM (tests/rows/short_write.cpp) preloaded, the first
# block's write moves one byte and the next fails, and stdio writes the rest:
# the rows must be those of a run without it, with status 0.
#
# usage: pipe.sh VALUE_TABLE reader-gone|widened|largest-count|interrupted|fallback SHIM
set -uo pipefail
program=$1

if [ "$2" = largest-count ]; then
	expected=$(mktemp)
	trap 'rm -f "$expected"' EXIT
	printf 'kezd\365 \351rt\351k = v\351g \351rt\351k = l\351p\351sk\366z = l\351p\351sek sz\341ma = 2147483647\n------------------------\n1.  x=   0.0000  y=  8.0000 \n2.  x=   1.0000  y= 13.0000 \n3.  x=   2.0000  y= 22.0000 \n' >"$expected"
	printf '0\n2147483647\n1\nx\n' | timeout 60 "$program" | head -c "$(wc -c <"$expected")" |
		cmp - "$expected"
	exit "${PIPESTATUS[3]}"
fi

# The rows that fallback and interrupted disturb, as an undisturbed run
# writes them: the answers in $work/in, the rows in $work/expected.
if [ "$2" = fallback ] || [ "$2" = interrupted ]; then
	work=$(mktemp -d)
	trap 'rm -rf "$work"' EXIT
	printf '0\n30\n0.0001\nx\n' >"$work/in"
	timeout 60 "$program" <"$work/in" >"$work/expected" || exit
fi

if [ "$2" = fallback ]; then
	status=0
	LD_PRELOAD=$3 timeout 60 "$program" <"$work/in" >"$work/actual" 2>"$work/err" || status=$?
	echo "with short_write: status $status, stderr: $(cat "$work/err")"
	[ "$status" = 0 ] && [ "$(cat "$work/err")" = "short_write: one write cut short, one failed" ] &&
		cmp "$work/expected" "$work/actual"
	exit
fi

if [ "$2" = interrupted ]; then
	python3 - "$program" "$work/in" "$work/expected" <<'PY'
import fcntl, os, signal, subprocess, sys, time

program = sys.argv[1]
with open(sys.argv[2], "rb") as f:
    answers = f.read()
with open(sys.argv[3], "rb") as f:
    expected = f.read()


def bursts(nonblocking, pause):
    """Reads the rows 300 kB at a time, with pause(child) after each."""
    read_end, write_end = os.pipe()
    if nonblocking:
        fcntl.fcntl(write_end, fcntl.F_SETFL, os.O_NONBLOCK)
    child = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=write_end, stderr=subprocess.PIPE)
    os.close(write_end)
    child.stdin.write(answers)
    child.stdin.close()
    got, burst = [], 0
    while chunk := os.read(read_end, 1 << 16):
        got.append(chunk)
        burst += len(chunk)
        if burst > 300000:
            burst = 0
            pause(child)
    return b"".join(got), child.wait(timeout=60), child.stderr.read().decode()


def stop_and_continue(child):
    time.sleep(0.02)
    child.send_signal(signal.SIGSTOP)
    time.sleep(0.002)
    child.send_signal(signal.SIGCONT)


out, status, err = bursts(False, stop_and_continue)
print(f"stopped and continued: {len(out)} of {len(expected)} bytes, status {status}, stderr {err!r}")
failed = out != expected or status != 0
out, status, err = bursts(True, lambda child: time.sleep(0.02))
print(f"non-blocking: {len(out)} of {len(expected)} bytes, status {status}, stderr {err!r}")
failed |= not (out == expected and status == 0 or
               status == 1 and err == os.path.basename(program) + ": Resource temporarily unavailable\n")
sys.exit(1 if failed else 0)
PY
	exit
fi

if [ "$2" = widened ]; then
	exec python3 - "$program" <<'PY'
import fcntl, os, subprocess, sys

F_GETPIPE_SZ = getattr(fcntl, "F_GETPIPE_SZ", 1032)
program = sys.argv[1]


def largest_size(answers):
    """Reads all the rows, asking the pipe's size after every read."""
    child = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    child.stdin.write(answers)
    child.stdin.close()
    fd = child.stdout.fileno()
    largest, total = 0, 0
    while chunk := os.read(fd, 1 << 16):
        total += len(chunk)
        largest = max(largest, fcntl.fcntl(fd, F_GETPIPE_SZ))
    return largest, child.wait(), total


read_end, write_end = os.pipe()
as_it_comes = fcntl.fcntl(read_end, F_GETPIPE_SZ)
with open("/proc/sys/fs/pipe-max-size") as f:
    allowed = int(f.read())
wide = 1 << 20 if os.geteuid() == 0 or allowed >= 1 << 20 else as_it_comes

failed = False
for answers, rows, expected in ((b"0\n10\n1\nx\n", 10, as_it_comes),
                                (b"0\n100\n0.0001\nx\n", 1000000, wide)):
    size, status, total = largest_size(answers)
    print(f"{rows} rows: {total} bytes, status {status}, pipe {size} bytes, expected {expected}")
    failed |= status != 0 or size != expected
sys.exit(1 if failed else 0)
PY
fi
answers=$'0\n1000\n0.0001\nx\n'
err=$(mktemp)
trap 'rm -f "$err"' EXIT

printf '%s' "$answers" | timeout 60 "$program" 2> "$err" | head -c 100000 > /dev/null
status=${PIPESTATUS[1]}
echo "reader gone, signal default: status $status, stderr: $(cat "$err")"
# 128 + SIGPIPE (13): ended by the signal, not by timeout's 124.
[ "$status" = 141 ] && [ ! -s "$err" ] || exit 1

# A subshell that ignores SIGPIPE hands that on to the program it starts.
(trap '' PIPE; printf '%s' "$answers" | timeout 60 "$program" 2> "$err" | head -c 100000 > /dev/null
 exit "${PIPESTATUS[1]}")
status=$?
echo "reader gone, signal ignored: status $status, stderr: $(cat "$err")"
[ "$status" = 1 ] && [ "$(cat "$err")" = "$(basename "$program"): Broken pipe" ]
