/* rows_bench - value_table's rows against printf's, to /dev/null and through a pipe */
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

struct run_result {
	double seconds;
	long max_rss_kb;
	int status;
};

/* Reads everything from fd, keeping it in *kept if given. */
static void drain(int fd, std::vector<char> *kept)
{
	static char block[1 << 20];
	ssize_t n;
	while ((n = read(fd, block, sizeof block)) > 0)
		if (kept != nullptr)
			kept->insert(kept->end(), block, block + n);
}

/*
 * Runs program with answers on its standard input and its standard output on
 * /dev/null or on a pipe that is read here (and kept in *kept if given).
 */
static run_result run(const char *program, const std::string &answers, bool pipe_out,
                      std::vector<char> *kept)
{
	int in[2], out[2] = {-1, -1};
	if (pipe(in) != 0 || (pipe_out && pipe(out) != 0)) {
		std::perror("pipe");
		std::exit(2);
	}
	if (write(in[1], answers.data(), answers.size()) != (ssize_t)answers.size()) {
		std::perror("write");
		std::exit(2);
	}
	close(in[1]);

	auto start = std::chrono::steady_clock::now();
	pid_t child = fork();
	if (child == 0) {
		dup2(in[0], 0);
		if (pipe_out) {
			dup2(out[1], 1);
			close(out[0]);
			close(out[1]);
		} else {
			int null = open("/dev/null", O_WRONLY);
			dup2(null, 1);
			close(null);
		}
		close(in[0]);
		execl(program, program, (char *)nullptr);
		std::perror(program);
		_exit(127);
	}
	close(in[0]);
	if (pipe_out) {
		close(out[1]);
		drain(out[0], kept);
		close(out[0]);
	}
	int status;
	struct rusage usage;
	wait4(child, &status, 0, &usage);
	auto end = std::chrono::steady_clock::now();
	return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss,
	        WIFEXITED(status) ? WEXITSTATUS(status) : 128};
}

/*
 * The pipe's limit: the same bytes written from memory, in blocks of the size
 * value_table writes, to a reader like the one above.
 */
static double pipe_limit(const std::vector<char> &bytes)
{
	int out[2];
	if (pipe(out) != 0) {
		std::perror("pipe");
		std::exit(2);
	}
	auto start = std::chrono::steady_clock::now();
	pid_t child = fork();
	if (child == 0) {
		close(out[1]);
		drain(out[0], nullptr);
		_exit(0);
	}
	close(out[0]);
	for (std::size_t at = 0; at < bytes.size(); ) {
		std::size_t n = std::min<std::size_t>(65536, bytes.size() - at);
		ssize_t done = write(out[1], bytes.data() + at, n);
		if (done <= 0) {
			std::perror("write");
			std::exit(2);
		}
		at += (std::size_t)done;
	}
	close(out[1]);
	int status;
	waitpid(child, &status, 0);
	auto end = std::chrono::steady_clock::now();
	return std::chrono::duration<double>(end - start).count();
}

struct row_set {
	const char *name;
	const char *answers;
};

int main(int argc, char **argv)
{
	if (argc < 3) {
		std::fprintf(stderr, "usage: %s VALUE_TABLE VALUE_TABLE_PRINTF [REPEATS]\n", argv[0]);
		return 2;
	}
	const char *fast = argv[1];
	const char *baseline = argv[2];
	int repeats = std::max(1, argc > 3 ? std::atoi(argv[3]) : 3);
	const double rows = 1e7;
	const row_set sets[] = {
		{"0 .. 1000 step 0.0001", "0\n1000\n0.0001\nx\n"},
		{"-50000 .. 50000 step 0.01", "-50000\n50000\n0.01\nx\n"},
	};

	/* First, while this program is small: a child starts as a copy of it. */
	run_result few = run(fast, "0\n10\n1\nx\n", false, nullptr);
	run_result some = run(fast, "0\n100000\n1\nx\n", false, nullptr);
	run_result many = run(fast, sets[0].answers, false, nullptr);
	struct rusage own;
	getrusage(RUSAGE_SELF, &own);

	bool null_goal = true, pipe_goal = true;
	for (const row_set &set : sets) {
		std::vector<char> bytes;
		run_result first = run(fast, set.answers, true, &bytes);
		if (first.status != 0) {
			std::fprintf(stderr, "%s: exit status %d\n", fast, first.status);
			return 1;
		}
		/* Best of the repeats: other work on the machine only ever slows a run. */
		double base_null = 1e9, fast_null = 1e9, base_pipe = 1e9, fast_pipe = 1e9, limit = 1e9;
		for (int r = 0; r < repeats; r++) {
			base_null = std::min(base_null, run(baseline, set.answers, false, nullptr).seconds);
			fast_null = std::min(fast_null, run(fast, set.answers, false, nullptr).seconds);
			base_pipe = std::min(base_pipe, run(baseline, set.answers, true, nullptr).seconds);
			fast_pipe = std::min(fast_pipe, run(fast, set.answers, true, nullptr).seconds);
			limit = std::min(limit, pipe_limit(bytes));
		}
		double null_ratio = base_null / fast_null;
		double pipe_share = limit / fast_pipe;
		std::printf("%s: %.0f rows, %zu bytes, best of %d\n", set.name, rows, bytes.size(), repeats);
		std::printf("  /dev/null  printf %6.2f M rows/s  value_table %6.2f M rows/s  ratio %5.1f\n",
		            rows / base_null / 1e6, rows / fast_null / 1e6, null_ratio);
		std::printf("  pipe       printf %6.2f M rows/s  value_table %6.2f M rows/s  ratio %5.1f\n",
		            rows / base_pipe / 1e6, rows / fast_pipe / 1e6, base_pipe / fast_pipe);
		std::printf("  pipe limit (same bytes from memory) %6.2f M rows/s, %.2f GB/s; value_table reaches %.0f%% of it\n",
		            rows / limit / 1e6, (double)bytes.size() / limit / 1e9, 100 * pipe_share);
		null_goal = null_goal && null_ratio >= 20;
		pipe_goal = pipe_goal && pipe_share >= 0.5;
	}

	std::printf("max RSS of value_table: %ld KiB for 10 rows, %ld KiB for 100 thousand, %ld KiB"
	            " for 10 million (this program: %ld KiB then)\n", few.max_rss_kb, some.max_rss_kb,
	            many.max_rss_kb, own.ru_maxrss);
	std::printf("goal >= 20 times printf to /dev/null: %s\n", null_goal ? "met" : "NOT met");
	std::printf("goal >= half the pipe limit: %s\n", pipe_goal ? "met" : "NOT met");
	return null_goal && pipe_goal ? 0 : 1;
}
