#!/usr/bin/env python3
"""mutate - the mutation check: one small fault at a time, against the tests.

Each mutant changes one operator, comparison, constant or call of a copy of the
sources (build-mutation/tree; the work tree is never written), is rebuilt, and
its programs' bytes are laid beside the unchanged build's.  The same bytes mean
nothing could see it; other bytes run the CTest cases of the programs that
changed, up to the first failure.  Prints every survivor and the figures.

usage: mutate.py [--soft] [--suite quick|rows|extended] [--files FILE...] [--every N]
                 [--soak] [--dir DIR] [--command COMMAND]
"""
import argparse, hashlib, os, re, shlex, shutil, signal, subprocess, sys, time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PROGRAMS = ["value_table", "triangle_test", "reciprocal_sum", "tab_pattern"]
# Each built file and the cases that can see it.
WATCHED = {p: "^" + p + "/" for p in PROGRAMS}
WATCHED.update(value_table_printf=r"^value_table/rows-equal-", rows_format_test=r"^value_table/rows-format$",
               extended_differential=r"^extended/differential$")
SUITES = {"quick": ".", "rows": r"^value_table/rows-(format|equal-|pipe-|write-)", "extended": r"^extended/differential$"}

# Binary operators are spaced in these sources, which tells them from a
# pointer's star, a unary minus, a shift or an arrow.
OPERATORS = [(a, b) for pair in [
    (" + ", " - "), (" * ", " / "), (" << ", " >> "), (" & ", " | "),
    ("++", "--"), (" += ", " -= "), (" && ", " || "), (" == ", " != "),
    (" < ", " <= "), (" > ", " >= ")] for a, b in (pair, pair[::-1])] + [(" % ", " / ")]
NUMBER = re.compile(r"(?<![\w.])(0x[0-9a-fA-F]+|\d+\.\d+|\d+)(?=[uUlL]*(?![\w.]))")
# A whole statement that calls or assigns, on one line.
STATEMENT = re.compile(r"^\s*((\(void\))?[\w:.>\-\[\]*]+\s*(\(|[-+*/|&]?=[^=]|\+\+|--).*;)\s*$")


def mutants(path):
    """Yields (line number, original, mutated line, description) for one file."""
    in_comment = False
    for number, line in enumerate(open(path, encoding="ascii").read().split("\n"), 1):
        # Comments, preprocessor lines and literals are blanked, keeping columns.
        code = re.sub(r'"(\\.|[^"\\])*"|\'(\\.|[^\'\\])*\'', lambda m: "_" * len(m.group()), line)
        if in_comment or code.lstrip().startswith(("/*", "*", "#", "//")):
            in_comment = (in_comment or "/*" in code) and "*/" not in code
            continue
        code = code.split("//")[0]
        if not code.strip():
            continue
        for old, new in OPERATORS:
            for m in re.finditer(re.escape(old), code):
                s, e = m.span()
                yield number, line[:s] + new + line[e:], f"'{old.strip()}' -> '{new.strip()}'"
        for m in re.finditer(r"!(?!=)", code):
            yield number, line[:m.start()] + line[m.end():], "'!' deleted"
        for m in NUMBER.finditer(code):
            text = m.group(1)
            if text.startswith("0x"):
                value = int(text, 16)
                changes = [hex(value + 1), hex(value - 1)] if value else ["0x1"]
            elif "." in text:
                whole, frac = text.split(".")
                changes = [f"{int(whole) + 1}.{frac}"] + ([f"{int(whole) - 1}.{frac}"] if int(whole) else [])
            else:
                changes = [str(int(text) + 1)] + ([str(int(text) - 1)] if int(text) else [])
            for c in changes:
                yield number, line[:m.start()] + c + line[m.end():], f"{text} -> {c}"
        st = STATEMENT.match(code)
        if st and st.group(1).count("(") == st.group(1).count(")") and not st.group(1).startswith("return"):
            yield number, line[:st.start(1)] + ";" + line[st.end(1):], "statement deleted"


def run(cmd, timeout=None, **kw):
    """Runs a command in a group of its own, ended whole when its time is up or on ^C."""
    p = subprocess.Popen(cmd, start_new_session=True, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, text=True, **kw)
    try:
        return p.communicate(timeout=timeout)[0], p.returncode
    except subprocess.TimeoutExpired:
        return "timeout", None
    finally:
        if p.poll() is None:
            os.killpg(p.pid, 9)
            p.wait()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--soft", action="store_true", help="build with SOFT_EXTENDED=ON")
    ap.add_argument("--suite", choices=SUITES, default="quick")
    ap.add_argument("--files", nargs="+", default=[f"src/{p}.cpp" for p in PROGRAMS] + ["common/dialogue.cpp"])
    ap.add_argument("--every", type=int, default=1, help="only every Nth mutant, for a sample")
    ap.add_argument("--dir", default="build-mutation", help="its copy and builds, for runs side by side")
    ap.add_argument("--soak", action="store_true", help="the longest cases in full, as the soak level runs them")
    ap.add_argument("--command", help="run this on a mutant instead of its CTest cases; {build} is its "
                    "build folder (a random suite at one size, say)")
    args = ap.parse_args()
    # ^C, even where a shell started it ignoring that, and a kill unwind too:
    # the mutated copy is put back and the running build or cases are ended.
    signal.signal(signal.SIGINT, signal.default_int_handler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    for tool in ("cmake", "ninja", "ctest", "objcopy"):
        if not shutil.which(tool):
            print(f"SKIPPED: {tool} is not installed (Debian package "
                  f"{ {'objcopy': 'binutils', 'ninja': 'ninja-build'}.get(tool, 'cmake') })")
            return 77

    # The copy: only files that differ are written, so a rebuild stays small.
    work = os.path.join(ROOT, args.dir)
    tree, build = os.path.join(work, "tree"), os.path.join(work, "soft" if args.soft else "default")
    files = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard"],
                           cwd=ROOT, capture_output=True, text=True, check=True).stdout.split()
    for f in files:
        src, dst = os.path.join(ROOT, f), os.path.join(tree, f)
        if os.path.isfile(src) and (not os.path.exists(dst) or open(src, "rb").read() != open(dst, "rb").read()):
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            shutil.copyfile(src, dst)  # a new time, so that ninja rebuilds it
    env = dict(os.environ, RUN_ALL_LEVEL="soak" if args.soak else "full")
    out, status = run(["cmake", "-S", tree, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                       f"-DSOFT_EXTENDED={'ON' if args.soft else 'OFF'}"], env=env)
    if status != 0:
        print(out)
        return 1
    targets = [t for t in WATCHED if os.path.exists(os.path.join(build, "CMakeFiles", t + ".dir"))
               or os.path.exists(os.path.join(build, "tests", "CMakeFiles", t + ".dir"))]

    def build_and_hash():
        out, status = run(["nice", "-n", "10", "ninja", "-C", build] + targets, timeout=600)
        if status != 0:
            return None
        sums = {}
        for t in targets:
            exe = next(p for p in (os.path.join(build, t), os.path.join(build, "tests", t)) if os.path.exists(p))
            # Code and data alone: no note, symbol or path can differ there.
            sections = os.path.join(work, "sections")
            run(["objcopy", "-O", "binary", "-j", ".text", "-j", ".rodata", "-j", ".data", exe, sections])
            sums[t] = hashlib.sha256(open(sections, "rb").read()).hexdigest()
        return sums

    def run_cases(names, timeout):
        pattern = "^(" + "|".join(re.escape(n) for n in names) + ")$"
        if args.command:
            return run(["nice", "-n", "10"] + shlex.split(args.command.replace("{build}", build)),
                       timeout=timeout, env=env)
        return run(["nice", "-n", "10", "ctest", "--test-dir", build, "-j2", "--stop-on-failure",
                    "--timeout", str(timeout), "-R", pattern], timeout=timeout * 3, env=env)

    start = time.time()
    baseline = build_and_hash()
    cases = run(["ctest", "--test-dir", build, "-N"])[0]
    # Only the cases a mutant can run: the others see none of the mutated code.
    cases = [c for c in re.findall(r"Test +#\d+: (\S+)", cases) if re.search(SUITES[args.suite], c)
             and any(re.search(WATCHED[t], c) for t in targets)]
    t0 = time.time()
    out, status = run_cases(cases, 600)
    if baseline is None or status != 0:
        print(out)
        print("the unchanged build fails: nothing to measure")
        return 1
    timeout = max(30, int(3 * (time.time() - t0)))
    print(f"unchanged build: {args.command or f'{len(cases)} cases'} pass in {time.time() - t0:.0f} s; "
          f"a mutant's cases get {timeout} s", flush=True)

    counts = dict(made=0, killed=0, same=0, survived=0, uncompiled=0)
    survivors = []
    for name in args.files:
        path = os.path.join(tree, name)
        original = open(path, encoding="ascii").read()
        lines = original.split("\n")
        try:
            for number, mutated, what in list(mutants(path))[::args.every]:
                # A file named pause beside the copy holds the run here, between
                # two mutants, while the machine is wanted for something else.
                while os.path.exists(os.path.join(work, "pause")):
                    time.sleep(5)
                changed = lines[:number - 1] + [mutated] + lines[number:]
                with open(path, "w", encoding="ascii") as f:
                    f.write("\n".join(changed))
                sums = build_and_hash()
                if sums is None:
                    counts["uncompiled"] += 1
                    print(f"{name}:{number}: {what}: did not compile", flush=True)
                    continue
                counts["made"] += 1
                seen = [c for c in cases if any(sums[t] != baseline[t] and re.search(WATCHED[t], c)
                                                for t in targets)]
                if not any(sums[t] != baseline[t] for t in targets):
                    verdict = "same"
                elif seen and run_cases(seen, timeout)[1] != 0:
                    verdict = "killed"
                else:
                    verdict = "survived"
                    survivors.append(f"{name}:{number}: {what}: {mutated.strip()}")
                counts[verdict] += 1
                print(f"{name}:{number}: {what}: {verdict}", flush=True)
        finally:
            with open(path, "w", encoding="ascii") as f:
                f.write(original)
    build_and_hash()
    print(f"\n{' '.join(args.files)} ({'soft' if args.soft else 'x87'} build, suite {args.suite}, "
          f"{'soak' if args.soak else 'full'} level), {time.time() - start:.0f} s:")
    print(f"{counts['made']} mutants made, {counts['killed']} killed, {counts['same']} same bytes, "
          f"{counts['survived']} survived ({counts['uncompiled']} did not compile)")
    changed = counts["killed"] + counts["survived"]
    if changed:
        print(f"score: {100 * counts['killed'] / changed:.1f} % of the mutants whose bytes changed")
    for s in survivors:
        print("survived:", s)
    return 0


if __name__ == "__main__":
    sys.exit(main())
