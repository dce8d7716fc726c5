#!/usr/bin/env python3
"""normalize.py - rewrites a release package so that it depends on nothing
but its contents and SOURCE_DATE_EPOCH: CPack stamps every entry with the
time it packed it, and the order, owners and modes with whatever the
build's file system held.

usage: normalize.py EPOCH PACKAGE.zip
       normalize.py EPOCH PACKAGE.deb   (needs dpkg-deb)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile


def normalize_zip(epoch, path):
    # A ZIP holds local time without a zone: the epoch's UTC date is the one
    # every unpacker shows alike.  No Unix owner field is written.
    stamp = time.gmtime(epoch)[:6]
    with zipfile.ZipFile(path) as source:
        entries = sorted((info.filename, info.is_dir(), info.external_attr >> 16,
                          source.read(info)) for info in source.infolist())
    temporary = path + '.tmp'
    with zipfile.ZipFile(temporary, 'w') as target:
        for name, is_dir, mode, data in entries:
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = 3
            executable = is_dir or mode & 0o111
            info.external_attr = ((0o40755 if is_dir else 0o100755 if executable else 0o100644) << 16
                                  | (0x10 if is_dir else 0))
            info.compress_type = zipfile.ZIP_STORED if is_dir else zipfile.ZIP_DEFLATED
            target.writestr(info, data, compresslevel=9)
    os.replace(temporary, path)


def normalize_deb(epoch, path):
    # dpkg-deb stamps the ar members with SOURCE_DATE_EPOCH and clamps the
    # tar entries to it; it sorts the entries and, told so, makes root the
    # owner.  gzip rather than xz, whose threaded output depends on the CPU.
    work = tempfile.mkdtemp()
    try:
        root = os.path.join(work, 'root')
        subprocess.run(['dpkg-deb', '-R', path, root], check=True)
        for directory, subdirs, files in os.walk(root):
            os.chmod(directory, 0o755)
            for name in files:
                file = os.path.join(directory, name)
                if not os.path.islink(file):
                    mode = os.stat(file).st_mode
                    os.chmod(file, 0o755 if mode & 0o111 else 0o644)
        for directory, subdirs, files in os.walk(root):
            for name in subdirs + files + ['.']:
                os.utime(os.path.join(directory, name), (epoch, epoch), follow_symlinks=False)
        environment = dict(os.environ, SOURCE_DATE_EPOCH=str(epoch))
        subprocess.run(['dpkg-deb', '--root-owner-group', '-Zgzip', '-z9', '--build', root, path],
                       check=True, env=environment, stdout=subprocess.DEVNULL)
    finally:
        shutil.rmtree(work)


def main():
    epoch, path = int(sys.argv[1]), sys.argv[2]
    if path.endswith('.zip'):
        normalize_zip(epoch, path)
    elif path.endswith('.deb'):
        normalize_deb(epoch, path)
    else:
        sys.exit(f'normalize.py: no rule for {path}')


main()
