#!/usr/bin/env python3
"""single_file - puts the terminal page, its libraries and the four programs into one HTML file.

usage: single_file.py OUT.html INDEX.html TERMINAL.js CHART.js XTERM.js XTERM.css XTERM_LICENSE
                      UPLOT.js UPLOT.css UPLOT_LICENSE PROGRAM.js...

Each PROGRAM.js has its PROGRAM.wasm beside it.  The file opens from disk
(file://), where a page may fetch nothing, so the WebAssembly travels in it as
base64 data blocks that terminal.js hands to each program.  The inlined scripts
are allowed by their hashes in the page's Content-Security-Policy, which
replaces the served page's 'self'.  The licence notices of xterm.js and
uPlot, which must go with every copy, are kept in a comment before each
library's script.
"""
import base64
import hashlib
import os
import re
import sys


def read(path):
    with open(path, encoding='utf-8') as f:
        return f.read()


def script_safe(text, path):
    # A script's text ends at the first "</script"; a "<!--" changes how the
    # parser reads what follows.  Neither is rewritten here, since that would
    # change the code: a file holding one is refused.
    if re.search(r'</script|<!--', text, re.IGNORECASE):
        sys.exit(f'{path}: holds "</script" or "<!--", which cannot be inlined')
    return text


def replace_once(text, old, new):
    if text.count(old) != 1:
        sys.exit(f'index.html: expected {old!r} once, found it {text.count(old)} times')
    return text.replace(old, new)


def library(name, script, css, licence, page):
    """A library's script, notice and CSS, the CSS put in place of its link."""
    notice = read(licence)
    if '--' in notice:
        sys.exit(f'{licence}: holds "--", which cannot stand in a comment')
    style = read(css)
    if re.search(r'</style', style, re.IGNORECASE):
        sys.exit(f'{css}: holds "</style"')
    page = replace_once(page, f'<link rel="stylesheet" href="{os.path.basename(css)}">',
                        f'<style>\n{style}</style>')
    return script_safe(read(script), script), f'<!-- {name}, the script below:\n\n{notice}-->\n', page


def main():
    out, index, terminal, chart, xterm_js, xterm_css, xterm_licence, uplot_js, uplot_css, uplot_licence, *programs = sys.argv[1:]
    page = read(index)
    xterm, xterm_notice, page = library('xterm.js', xterm_js, xterm_css, xterm_licence, page)
    uplot, uplot_notice, page = library('uPlot', uplot_js, uplot_css, uplot_licence, page)

    scripts = [xterm, script_safe(read(chart), chart), uplot]
    blocks = []
    for program in programs:
        name = os.path.basename(program)[:-len('.js')]
        scripts.append(script_safe(read(program), program))
        with open(program[:-len('.js')] + '.wasm', 'rb') as f:
            wasm = base64.b64encode(f.read()).decode('ascii')
        blocks.append(f'<script type="application/wasm" id="wasm-{name}">{wasm}</script>\n')
    scripts.append(script_safe(read(terminal), terminal))

    hashes = ' '.join("'sha256-%s'" % base64.b64encode(hashlib.sha256(s.encode('utf-8')).digest()).decode()
                      for s in scripts)
    csp = re.search(r'<meta http-equiv="Content-Security-Policy" content="([^"]*)">', page)
    if not csp or "script-src 'self'" not in csp.group(1):
        sys.exit("index.html: no Content-Security-Policy with script-src 'self'")
    policy = csp.group(1).replace("script-src 'self'", 'script-src ' + hashes)
    # Nothing comes from the page's own origin: on disk that would be the
    # whole folder around the file.
    policy = replace_once(policy, "connect-src 'self'; ", '')
    policy = replace_once(policy, "style-src 'self' ", 'style-src ')
    page = page.replace(csp.group(0), f'<meta http-equiv="Content-Security-Policy" content="{policy}">')

    page = replace_once(page, '<script src="xterm.js"></script>\n', xterm_notice + f'<script>{xterm}</script>\n')
    page = replace_once(page, '<script src="chart.js"></script>\n', f'<script>{scripts[1]}</script>\n')
    inline = uplot_notice + f'<script>{uplot}</script>\n'
    inline += ''.join(f'<script>{s}</script>\n' for s in scripts[3:-1]) + ''.join(blocks)
    page = replace_once(page, '<script src="uPlot.iife.min.js"></script>\n', inline)
    page = replace_once(page, '<script src="terminal.js"></script>', f'<script>{scripts[-1]}</script>')

    with open(out + '.tmp', 'w', encoding='utf-8', newline='\n') as f:
        f.write(page)
    os.replace(out + '.tmp', out)


if __name__ == '__main__':
    main()
