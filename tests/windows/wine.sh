#!/bin/sh
# wine.sh - runs a Windows build's tests under Wine, with a Wine prefix of its own.
#
# usage: wine.sh ARCH DIR init [HOLDER]     sets up DIR once (the runner and the
#                                           prefix), and starts its server, and
#                                           HOLDER (hold_boot.cpp) beside it
#        wine.sh ARCH DIR gate COMMAND...   runs COMMAND, or says why it is skipped
#        wine.sh ARCH DIR run PROGRAM.exe   runs PROGRAM.exe under Wine
#        wine.sh ARCH DIR stop              ends every process of the prefix, the
#                                           server too
#
# ARCH is x86_64 (run by 64-bit Wine) or i686 (32-bit Wine, itself run by
# qemu-i386, since the kernel here cannot start 32-bit Linux programs).
#
# WINE_BOOT_TIMEOUT (seconds, default 120) bounds each attempt at making the
# prefix, and a third of it the wait for its processes to end after.  A prefix
# takes 20 to 30 s here beside the other suites, and a machine of this kind
# may be 2.4 times slower; now and then one stalls for minutes, which a fresh
# attempt beats.  WINE_LIB (default /usr/lib/wine) is where Wine is, for the
# tests that put a Wine that hangs, or is killed as it ends, in its place.
set -eu

arch=$1 dir=$2 mode=$3
shift 3
lib=${WINE_LIB:-/usr/lib/wine}
boot_timeout=${WINE_BOOT_TIMEOUT:-120}
# The bound on what follows an attempt: its processes' end, cmd.exe's answer,
# the holder's start.
settle_timeout=$((boot_timeout / 3 + 1))
prefix=$dir/prefix
bindir=$dir/lib/wine

# A missing runner is recorded, and every test that needs it reports itself
# skipped with this reason: never passed.
unavailable() {
	echo "$1" >"$dir/unavailable"
	echo "SKIPPED: $1"
	exit 0
}

# lay_out_bindir TRIPLET: a fresh private bindir laid out as Wine's own: the
# server beside it, Wine's data at <bindir>/../../share/wine, its Unix
# libraries under <bindir>/../TRIPLET.
lay_out_bindir() {
	rm -rf "$dir/lib" "$dir/share"
	mkdir -p "$bindir" "$dir/share"
	ln -s $lib/wineserver "$bindir/wineserver"
	ln -s /usr/share/wine "$dir/share/wine"
	ln -s "/usr/lib/$1" "$dir/lib/$1"
}

# Wine starts every Windows process as <bindir>/wine-preloader <bindir>/wine,
# where bindir is the folder of the running executable, and finds its data at
# <bindir>/../../share/wine and ntdll.so under <bindir>/../i386-linux-gnu: so
# a private bindir whose wrappers run the real ones under qemu-i386.
make_i686_bindir() {
	for f in /usr/bin/qemu-i386 $lib/wine $lib/wine-preloader.static /usr/lib/i386-linux-gnu/wine; do
		[ -e "$f" ] || unavailable "32-bit Wine needs $f (Debian packages qemu-user, wine32:i386, wine32-preloader:i386)"
	done
	lay_out_bindir i386-linux-gnu
	cp $lib/wine-preloader.static "$bindir/wine-preloader.elf"
	cat >"$bindir/wine" <<-END
	#!/bin/sh
	export WINELOADERNOEXEC=1
	exec qemu-i386 -L / "$bindir/wine-preloader.elf" $lib/wine "\$@"
	END
	cat >"$bindir/wine-preloader" <<-END
	#!/bin/sh
	shift
	exec qemu-i386 -L / "$bindir/wine-preloader.elf" $lib/wine "\$@"
	END
	chmod +x "$bindir/wine" "$bindir/wine-preloader"
	qemu-i386 -L / $lib/wine --version >/dev/null 2>&1 ||
		unavailable "qemu-i386 cannot run 32-bit Wine here: $(qemu-i386 -L / $lib/wine --version 2>&1 | tail -n 1)"
}

# 64-bit Wine makes the 32-bit half of a prefix (syswow64 and its registry)
# with a 32-bit process, which it starts with the loader beside its own
# executable.  The 64-bit programs need none of it, and it is two fifths of
# the prefix's CPU time: a private bindir without the 32-bit loader, where
# that process cannot start and wineboot goes on without.
make_x86_64_bindir() {
	[ -x $lib/wine64 ] || unavailable "64-bit Wine needs $lib/wine64 (Debian packages wine, wine64)"
	lay_out_bindir x86_64-linux-gnu
	cp $lib/wine64 "$bindir/wine64"
}

# Wine's server kills a process that has not ended half a second after it
# was told to (its threads, as the program exits), and its exit status is
# lost (status 137).  A busy machine starves a process that long, above all
# one that qemu-i386 runs: with 32 processes busy beside it, five of six runs
# of a test were killed so at nice -5, none at -15, and twice as fast.  So
# where the user may (as root, as CI runs), Wine's processes run ahead of the
# rest; they are the longest chain of a run too.
boost() {
	if [ "$(nice -n -15 nice 2>/dev/null)" -lt "$(nice)" ]; then
		nice -n -15 "$@"
	else
		"$@"
	fi
}

wine_env() {
	export WINEPREFIX="$prefix" WINEDEBUG=-all
	# A crashing process would start winedbg, which waits for ever and keeps
	# the prefix's server alive with it: no crash debugger, ever.
	# No menu entries, and none of the session's helpers: console programs
	# need neither the service manager (nor the services it starts) nor the
	# desktop, and a prefix is whole without them too.
	no_helpers="winemenubuilder.exe=d;services.exe=d;explorer.exe=d;winedbg.exe=d"
	run_overrides="wineboot.exe=d;$no_helpers"
	case $arch in
	x86_64) wine=$lib/wine64 ;;
	i686) wine=$bindir/wine; export WINEARCH=win32 ;;
	*) echo "wine.sh: unknown ARCH $arch" >&2; exit 2 ;;
	esac
}

# prefix_processes: the processes of the prefix, whether or not its server
# still answers: those whose environment names the prefix, and the qemu-i386
# wrappers, whose command line names DIR.  One grep for all of /proc: one for
# each process took seconds of CPU.
prefix_processes() {
	{
		grep -lzxF "WINEPREFIX=$prefix" /proc/[0-9]*/environ
		grep -lzF "$dir/lib/wine" /proc/[0-9]*/cmdline
	} 2>/dev/null | cut -d/ -f3 | sort -u | grep -vx $$
}

# stop_prefix: ends the prefix's server and every process of the prefix.
stop_prefix() {
	timeout -k 2 20 "$lib/wineserver" -k >/dev/null 2>&1 || true
	for pid in $(prefix_processes); do
		kill -KILL "$pid" 2>/dev/null || true
	done
}

# show_processes: what a stalled attempt left running, each process's state
# and clock ticks (user, system): asleep or spinning.  (The list holds the
# processes that made it too, ended by now.)
show_processes() {
	for pid in $(prefix_processes); do
		stat=$(sed 's/^.*) //' "/proc/$pid/stat" 2>/dev/null | cut -d' ' -f1,12,13)
		[ -z "$stat" ] || echo "  $stat $({ tr '\0' ' ' <"/proc/$pid/cmdline"; } 2>/dev/null)"
	done
}

# whole: the prefix holds all that wineboot does: each registry file as the
# server writes it, its header first and a line end last, and in system.reg
# the user's profile, which wineboot writes after everything else (the
# server saves the registry every 30 s too, so a file may be an early part).
whole() {
	for file in system user userdef; do
		if [ "$(head -n 1 "$prefix/$file.reg" 2>/dev/null)" != "WINE REGISTRY Version 2" ] ||
			[ -n "$(tail -c 1 "$prefix/$file.reg")" ]; then
			why="$file.reg is missing or cut short"
			return 1
		fi
	done
	grep -qF '[Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-' "$prefix/system.reg" ||
		{ why="system.reg holds no user profile, which wineboot writes last"; return 1; }
}

# runs: a program started in the prefix, as the tests start theirs, writes
# what it is asked to.  Its output is the proof, not its status, which
# qemu-i386 may lose as it ends (see gate).
runs() {
	said=$(WINEDLLOVERRIDES=$run_overrides boost timeout -k 5 $settle_timeout \
		"$wine" cmd.exe /c echo the prefix runs programs 2>&1) || true
	case $said in
	*"the prefix runs programs"*) ;;
	*) why="cmd.exe, run in it, did not answer: $said"; return 1 ;;
	esac
}

# serve: keeps the prefix's server up until stop.  A run that finds none
# starts its own, which reads the prefix's registry and writes it back as the
# run ends: half a second more a run.  (Status 2: one is up already.)
serve() {
	boost "$lib/wineserver" -p </dev/null >/dev/null 2>&1 || [ $? -eq 2 ]
}

# hold HOLDER: starts HOLDER in the prefix and waits for it to hold the boot
# event.  One that does not is ended, with
# all of the prefix but its server, and the programs start wineboot as before.
hold() {
	# In a subshell of its own: a function's redirections would keep the
	# caller's output open, and a test would never end.
	(WINEDLLOVERRIDES=$run_overrides boost "$wine" "$1") >"$dir/holder.log" 2>&1 </dev/null &
	for _ in $(seq $((settle_timeout * 10))); do
		grep -q '^held' "$dir/holder.log" && return
		sleep 0.1
	done
	echo "wine.sh: the boot event is not held, and each program will start wineboot: $(cat "$dir/holder.log")"
	stop_prefix
	serve
}

case $mode in
init)
	if [ -e "$dir/ready" ]; then
		wine_env
		serve
		[ $# -eq 0 ] || hold "$1"
		exit 0
	fi
	mkdir -p "$dir"
	rm -rf "$dir/unavailable" "$prefix"
	wine_env
	case $arch in
	x86_64) make_x86_64_bindir; boot_wine=$bindir/wine64 ;;
	i686) make_i686_bindir; boot_wine=$wine ;;
	esac
	# No Mono, Gecko or Internet Explorer to install: the programs need
	# none of them, nor any device driver.  Without these and the helpers,
	# the 32-bit prefix takes two thirds of the processor time, and fewer of
	# the processes that make a prefix crash under qemu-i386.
	export WINEDLLOVERRIDES="mscoree=d;mshtml=d;iexplore.exe=d;winedevice.exe=d;$no_helpers"
	# A prefix does not always come up, under qemu-i386 least of all: an
	# attempt that does not end in time is ended with all that it started.
	# Then the prefix is judged by what it is, not by wineboot's status:
	# qemu-i386 may kill wineboot as it ends, its work done (status 137, as
	# in gate), and a Wine that fails may leave no prefix with status 0.  So
	# too when wineboot ended but processes it started did not: on a busy
	# machine they may stall, idle, after it has made the prefix.  One that
	# is not whole, or runs no program, is made anew, three times at most.
	attempt=1
	while :; do
		rm -rf "$prefix"
		status=0 started=$(date +%s)
		# --foreground: at the bound only wineboot is ended, so that what it
		# started can be shown as it stalled, before stop_prefix ends it.
		boost timeout --foreground -k 5 $boot_timeout "$boot_wine" wineboot --init >"$dir/wineboot.log" 2>&1 || status=$?
		booted=$(date +%s)
		hung= lingered=
		if [ $status -eq 124 ] || [ $((booted - started)) -ge $boot_timeout ]; then
			hung="did not end within $boot_timeout s"
		else
			waited=0
			timeout -k 5 $settle_timeout "$lib/wineserver" -w || waited=$?
			[ $waited -ne 124 ] || lingered="left processes that did not end within $settle_timeout s"
		fi
		echo "wine.sh: attempt $attempt: wineboot $((booted - started)) s (status $status), its processes ended $(($(date +%s) - booted)) s later"
		# What a hang left running goes before the prefix is judged.
		if [ -n "$hung$lingered" ]; then
			echo "wine.sh: attempt $attempt: the prefix's processes as it stalled:"
			show_processes
		fi
		stop_prefix
		why=
		if [ -z "$hung" ] && whole && serve && runs; then
			[ $status -eq 0 ] ||
				echo "wine.sh: attempt $attempt: wineboot gave status $status, but the prefix is whole and runs a program: kept"
			[ -z "$lingered" ] ||
				echo "wine.sh: attempt $attempt: wineboot $lingered (ended), but the prefix is whole and runs a program: kept"
			break
		fi
		echo "wine.sh: attempt $attempt at the Wine prefix in $dir ${hung:-${lingered:+$lingered and }failed: $why}; its log:"
		cat "$dir/wineboot.log"
		stop_prefix
		if [ $attempt -eq 3 ]; then
			echo "wine.sh: FAILED: no Wine prefix in $dir after 3 attempts"
			exit 1
		fi
		attempt=$((attempt + 1))
	done
	touch "$dir/ready"
	[ $# -eq 0 ] || hold "$1"
	;;
gate)
	if [ -e "$dir/ready" ]; then
		# qemu-i386 may end a 32-bit process so slowly that wineserver
		# kills it with SIGKILL, and its exit status is lost (see boost);
		# and now and then a 64-bit program ends with status 1 before it
		# writes a byte, beside other suites (twice in some twenty runs):
		# a failed test runs again, twice at most.  A program's own fault
		# fails all three.
		for attempt in 1 2 3; do
			status=0
			boost "$@" || status=$?
			[ $status -eq 0 ] && exit 0
			echo "wine.sh: attempt $attempt failed with status $status"
		done
		exit $status
	elif [ -e "$dir/unavailable" ]; then
		echo "SKIPPED: $(cat "$dir/unavailable")"
		exit 0
	fi
	echo "no Wine prefix in $dir: the windows/wine-prefix test failed"
	exit 1
	;;
run)
	wine_env
	export WINEDLLOVERRIDES="$run_overrides"
	exec "$wine" "$@"
	;;
stop)
	wine_env
	stop_prefix
	;;
esac
