#!/usr/bin/env python3
"""debian_changelog.py CHANGELOG.md MAINTAINER - writes the Debian changelog
of every release in CHANGELOG.md, newest first, to standard output: its
version and date from the release's heading, its items from its lists.
An Unreleased section is no release and is left out."""
import datetime
import email.utils
import re
import sys


def main():
    text = open(sys.argv[1], encoding='utf-8').read()
    maintainer = sys.argv[2]
    releases = re.findall(r'^## \[(\d+\.\d+\.\d+)\] - (\d{4}-\d{2}-\d{2})\n(.*?)(?=^## |\Z)',
                          text, re.M | re.S)
    if not releases:
        sys.exit(f'{sys.argv[1]}: no release heading "## [X.Y.Z] - YYYY-MM-DD"')
    entries = []
    for version, date, body in releases:
        items = []
        for line in body.splitlines():
            if line.startswith('- '):
                items.append('  * ' + line[2:].replace('`', ''))
            elif line.startswith('  ') and items:
                items.append('    ' + line.strip().replace('`', ''))
        stamp = datetime.datetime.fromisoformat(date).replace(tzinfo=datetime.timezone.utc)
        entries.append(f'console-dialogues ({version}) unstable; urgency=medium\n\n'
                       + '\n'.join(items) + '\n\n'
                       f' -- {maintainer}  {email.utils.format_datetime(stamp)}\n')
    sys.stdout.write('\n'.join(entries))


main()
