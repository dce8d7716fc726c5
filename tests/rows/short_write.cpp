/*
 * short_write - preloaded into value_table: its first write of a block of
 * rows is cut short after one byte and the next fails with EAGAIN, as on a
 * non-blocking pipe that is full; stdio, which the rows then fall back on,
 * writes through glibc's own calls and is never stopped here.  At the end it
 * says on standard error that it did both, so that a test knows the path ran.
 */
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

static int blocks;

extern "C" ssize_t write(int fd, const void *buf, size_t count)
{
	using write_call = ssize_t (*)(int, const void *, size_t);
	static write_call next;
	if (!next)
		next = reinterpret_cast<write_call>(dlsym(RTLD_NEXT, "write"));
	if (fd == STDOUT_FILENO && count > 4096 && blocks < 2) {
		if (++blocks == 1)
			return next(fd, buf, 1);
		errno = EAGAIN;
		return -1;
	}
	return next(fd, buf, count);
}

__attribute__((destructor)) static void report(void)
{
	if (blocks == 2) {
		static const char done[] = "short_write: one write cut short, one failed\n";
		(void)!write(STDERR_FILENO, done, std::strlen(done));
	}
}
