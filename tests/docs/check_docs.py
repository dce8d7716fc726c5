#!/usr/bin/env python3
"""check_docs - the Markdown files' links, and the README's commands.

usage: check_docs.py links ROOT
       check_docs.py commands ROOT

links: every relative link of README.md, CONTRIBUTING.md and docs/*.md names
a file that exists, and its #anchor a heading of that file.
commands: the README's fenced blocks marked "sh run" are run from ROOT with
standard input from /dev/null and must end with status 0; the other "sh"
blocks are too long to run here, so each line is checked by its names: the
presets exist in CMakePresets.json, the scripts in the tree, the packages in
.ci/run.  A README command that neither runs nor can be checked fails, so
none can rot unseen.
"""
import json
import os
import re
import subprocess
import sys

FENCE = re.compile(r"^(\s*)(```+|~~~+)\s*(.*)$")
LINK = re.compile(r"!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
HEADING = re.compile(r"^ {0,3}(#{1,6})\s+(.*?)\s*#*\s*$")


def blocks_and_prose(text):
    """Splits a page into its fenced blocks (info, lines) and prose lines."""
    prose, blocks, block = [], [], None
    for line in text.split("\n"):
        m = FENCE.match(line)
        if block is None and m:
            block = (m.group(2), m.group(3).strip(), [])
        elif block is not None and m and m.group(2).startswith(block[0]) and not m.group(3):
            blocks.append((block[1], block[2]))
            block = None
        elif block is not None:
            block[2].append(line)
        else:
            prose.append(line)
    if block is not None:
        raise ValueError("a fenced block is never closed")
    return blocks, prose


def slug(heading):
    """The anchor GitHub gives a heading: its words, lower case, hyphens."""
    text = re.sub(r"`|\*\*?|__", "", heading)
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", text)
    text = re.sub(r"[^\w\- ]", "", text.lower())
    return text.replace(" ", "-")


def anchors(path):
    with open(path, encoding="utf-8") as f:
        _, prose = blocks_and_prose(f.read())
    seen, result = {}, set()
    for line in prose:
        m = HEADING.match(line)
        if m:
            base = slug(m.group(2))
            n = seen.get(base, 0)
            seen[base] = n + 1
            result.add(base if n == 0 else "%s-%d" % (base, n))
    return result


def pages(root):
    found = [p for p in ("README.md", "CONTRIBUTING.md") if os.path.exists(os.path.join(root, p))]
    docs = os.path.join(root, "docs")
    if os.path.isdir(docs):
        found += sorted("docs/" + p for p in os.listdir(docs) if p.endswith(".md"))
    return found


def check_links(root):
    faults, count = [], 0
    for page in pages(root):
        with open(os.path.join(root, page), encoding="utf-8") as f:
            _, prose = blocks_and_prose(f.read())
        for number, line in enumerate(prose, 1):
            # A link written as code is an example, not a link.
            for target in LINK.findall(re.sub(r"`[^`]*`", "", line)):
                if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                    continue
                count += 1
                name, _, anchor = target.partition("#")
                where = os.path.normpath(os.path.join(root, os.path.dirname(page), name)) if name else os.path.join(root, page)
                relative = os.path.relpath(where, root)
                if not os.path.exists(where):
                    faults.append("%s: %s: no file %s" % (page, target, relative))
                    continue
                if anchor and (not where.endswith(".md") or anchor not in anchors(where)):
                    faults.append("%s: %s: no heading #%s in %s" % (page, target, anchor, relative))
    for fault in faults:
        print("broken link:", fault)
    print("links: %d checked, %d broken" % (count, len(faults)))
    return not faults


def presets(root):
    with open(os.path.join(root, "CMakePresets.json"), encoding="utf-8") as f:
        data = json.load(f)
    return {kind: {p["name"] for p in data.get(kind, [])}
            for kind in ("configurePresets", "buildPresets", "testPresets", "packagePresets", "workflowPresets")}


def check_line(root, line, known):
    """Why a command that is not run is still right, or None if nothing says so."""
    reasons = []
    for flag, kind in (("--workflow --preset", "workflowPresets"), ("--build --preset", "buildPresets")):
        for name in re.findall(re.escape(flag) + r"\s+(\S+)", line):
            if name not in known[kind]:
                return "no %s preset %s" % (kind[:-7], name), False
            reasons.append(name)
    for name in re.findall(r"cmake\s+--preset\s+(\S+)", line):
        if name not in known["configurePresets"]:
            return "no configure preset %s" % name, False
        reasons.append(name)
    for script in re.findall(r"(?:bash|python3)\s+(tests/\S+|bench/\S+|\.ci/\S+)", line):
        if not os.path.isfile(os.path.join(root, script)):
            return "no script %s" % script, False
        reasons.append(script)
    m = re.match(r"\s*(?:sudo\s+)?apt-get install -y\s+(.*)$", line)
    if m:
        with open(os.path.join(root, ".ci/run"), encoding="utf-8") as f:
            ci = f.read()
        for package in m.group(1).replace("\\", " ").split():
            if not re.search(r"[(\s]" + re.escape(package) + r"[)\s]", ci):
                return "package %s is not installed by .ci/run" % package, False
        reasons.append("packages")
    # A program run under luit, which needs a terminal: the program must exist.
    for program in re.findall(r"luit\s.*\./build/(\w+)", line):
        with open(os.path.join(root, "CMakeLists.txt"), encoding="utf-8") as f:
            if "add_executable(%s " % program not in f.read():
                return "no program %s" % program, False
        reasons.append(program)
    # The release's package, which only the release makes: its package name.
    for package in re.findall(r"apt install \./([a-z0-9.+-]+)_[^_\s]+_[a-z0-9]+\.deb", line):
        with open(os.path.join(root, "packaging/release.cmake"), encoding="utf-8") as f:
            if not re.search(r"CPACK_DEBIAN_PACKAGE_NAME\s+%s\)" % re.escape(package), f.read()):
                return "the release makes no package %s" % package, False
        reasons.append(package)
    return ", ".join(reasons), bool(reasons)


def check_commands(root):
    with open(os.path.join(root, "README.md"), encoding="utf-8") as f:
        blocks, _ = blocks_and_prose(f.read())
    known = presets(root)
    faults, ran, checked = [], 0, 0
    for info, lines in blocks:
        words = info.split()
        if not words or words[0] != "sh":
            continue
        script = "\n".join(lines)
        if "run" in words[1:]:
            ran += 1
            print("run:", script.replace("\n", " / "), flush=True)
            done = subprocess.run(["bash", "-eo", "pipefail", "-c", script], cwd=root, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
            if done.returncode != 0:
                tail = done.stdout.decode(errors="replace")[-2000:]
                faults.append("%s: status %d\n%s" % (script, done.returncode, tail))
            continue
        # A line ending in a backslash goes on on the next.
        for line in script.replace("\\\n", " ").split("\n"):
            if not line.strip():
                continue
            checked += 1
            why, good = check_line(root, line, known)
            if not good:
                faults.append("%s: %s" % (line.strip(), why or "neither run (sh run) nor checkable by its names"))
            else:
                print("checked by name:", line.strip(), "--", why)
    for fault in faults:
        print("broken command:", fault)
    print("commands: %d blocks run, %d lines checked by name, %d broken" % (ran, checked, len(faults)))
    return not faults


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("links", "commands"):
        sys.exit(__doc__)
    root = sys.argv[2]
    good = check_links(root) if sys.argv[1] == "links" else check_commands(root)
    sys.exit(0 if good else 1)


if __name__ == "__main__":
    main()
