/* rows_bench - value_table's rows against printf's, through a pipe, and the programs' start-up */
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char **environ;

struct run_result {
	double seconds;
	long max_rss_kb;
	int status;
};

/*
 * What the reader does with the bytes: nothing, keep them, or compare them
 * with bytes kept before (same is cleared at the first difference).
 */
struct sink {
	std::vector<char> *kept = nullptr;
	const std::vector<char> *expected = nullptr;
	std::size_t at = 0;
	bool same = true;
};

/* Reads everything from fd in large blocks, as a fast reader such as cat does. */
static void drain(int fd, sink *into)
{
	static char block[1 << 20];
	ssize_t n;
	while ((n = read(fd, block, sizeof block)) > 0) {
		if (into == nullptr)
			continue;
		if (into->kept != nullptr)
			into->kept->insert(into->kept->end(), block, block + n);
		if (into->expected != nullptr) {
			const std::vector<char> &e = *into->expected;
			if (into->at + (std::size_t)n > e.size() ||
			    std::memcmp(e.data() + into->at, block, (std::size_t)n) != 0)
				into->same = false;
			into->at += (std::size_t)n;
		}
	}
	if (into != nullptr && into->expected != nullptr && into->at != into->expected->size())
		into->same = false;
}

static double since(std::chrono::steady_clock::time_point start)
{
	return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

static void fail(const char *what)
{
	std::perror(what);
	std::exit(2);
}

/*
 * Runs program with answers on its standard input and its standard output on
 * /dev/null or on a pipe that is read here. Timed runs start it with
 * posix_spawn: a forked child starts as a copy of this program, whose page
 * tables grow with the rows it keeps, and copying them would be timed as the
 * program's. A child spawned so shares this program's memory until it execs,
 * and its peak counts this program's, so runs for the peak (forked) fork.
 */
static run_result run(const char *program, const std::string &answers, bool pipe_out,
                      sink *into, bool forked = false)
{
	/*
	 * Every descriptor closes on exec: the child keeps only the two it is
	 * given as 0 and 1, so that no other end of its pipes stays open in it.
	 */
	int in[2], out[2] = {-1, -1};
	if (pipe2(in, O_CLOEXEC) != 0 || (pipe_out && pipe2(out, O_CLOEXEC) != 0))
		fail("pipe");
	if (write(in[1], answers.data(), answers.size()) != (ssize_t)answers.size())
		fail("write");
	close(in[1]);
	int to = pipe_out ? out[1] : open("/dev/null", O_WRONLY | O_CLOEXEC);

	auto start = std::chrono::steady_clock::now();
	pid_t child;
	if (forked) {
		child = fork();
		if (child == 0) {
			dup2(in[0], 0);
			dup2(to, 1);
			execl(program, program, (char *)nullptr);
			std::perror(program);
			_exit(127);
		}
	} else {
		posix_spawn_file_actions_t files;
		posix_spawn_file_actions_init(&files);
		posix_spawn_file_actions_adddup2(&files, in[0], 0);
		posix_spawn_file_actions_adddup2(&files, to, 1);
		char *args[] = {const_cast<char *>(program), nullptr};
		if (posix_spawn(&child, program, &files, nullptr, args, environ) != 0)
			fail(program);
		posix_spawn_file_actions_destroy(&files);
	}
	close(in[0]);
	close(to);
	if (pipe_out) {
		drain(out[0], into);
		close(out[0]);
	}
	int status;
	struct rusage usage;
	wait4(child, &status, 0, &usage);
	return {since(start), usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 128};
}

/* The largest pipe an ordinary user may ask for. */
static int largest_pipe(void)
{
	int size = 1 << 20;
	if (std::FILE *f = std::fopen("/proc/sys/fs/pipe-max-size", "r")) {
		if (std::fscanf(f, "%d", &size) != 1)
			size = 1 << 20;
		std::fclose(f);
	}
	return size;
}

/*
 * The pipe's limit: the same bytes written from memory in blocks of the pipe's
 * size to the same reader, the pipe left as it is (pipe_size 0) or enlarged.
 */
static double pipe_limit(const std::vector<char> &bytes, int pipe_size)
{
	int out[2];
	if (pipe(out) != 0)
		fail("pipe");
	std::size_t block = 65536;
	if (pipe_size > 0) {
		int got = fcntl(out[1], F_SETPIPE_SZ, pipe_size);
		if (got > 0)
			block = (std::size_t)got;
	}
	/* The reader is forked before the clock starts, as value_table's is spawned. */
	pid_t child = fork();
	if (child == 0) {
		close(out[1]);
		drain(out[0], nullptr);
		_exit(0);
	}
	close(out[0]);
	auto start = std::chrono::steady_clock::now();
	for (std::size_t at = 0; at < bytes.size();) {
		ssize_t done = write(out[1], bytes.data() + at, std::min(block, bytes.size() - at));
		if (done <= 0)
			fail("write");
		at += (std::size_t)done;
	}
	close(out[1]);
	int status;
	waitpid(child, &status, 0);
	return since(start);
}

/* One whole run on empty input, output to /dev/null: what starting costs. */
static double start_once(const char *program, posix_spawn_file_actions_t *files)
{
	char *args[] = {const_cast<char *>(program), nullptr};
	auto start = std::chrono::steady_clock::now();
	pid_t child;
	if (posix_spawn(&child, program, files, nullptr, args, environ) != 0)
		fail(program);
	int status;
	waitpid(child, &status, 0);
	return since(start);
}

static double median(std::vector<double> v)
{
	std::sort(v.begin(), v.end());
	return v[v.size() / 2];
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
	const char *programs[] = {"value_table", "triangle_test", "reciprocal_sum", "tab_pattern"};
	const int starts = 101;

	/*
	 * The other programs are built beside value_table, their printf
	 * references beside this program, in printf/.
	 */
	std::string built = fast;
	built.erase(built.find_last_of('/') + 1);
	char self[PATH_MAX];
	ssize_t self_len = readlink("/proc/self/exe", self, sizeof self - 1);
	if (self_len <= 0)
		fail("/proc/self/exe");
	std::string references(self, (std::size_t)self_len);
	references.erase(references.find_last_of('/') + 1);
	references += "printf/";

	/* First, while this program is small: a child starts as a copy of it. */
	bool start_goal = true;
	posix_spawn_file_actions_t files;
	posix_spawn_file_actions_init(&files);
	posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
	posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
	for (const char *name : programs) {
		std::string program = built + name, reference = references + name;
		std::vector<double> ours, theirs;
		/* Alternated, so that a busy moment of the machine hits both alike. */
		for (int i = 0; i < starts; i++) {
			ours.push_back(start_once(program.c_str(), &files));
			theirs.push_back(start_once(reference.c_str(), &files));
		}
		double ratio = median(ours) / median(theirs);
		std::printf("start-up %-15s %7.0f us  printf program %7.0f us  ratio %.3f"
		            "  (median of %d alternated runs)\n",
		            name, 1e6 * median(ours), 1e6 * median(theirs), ratio, starts);
		start_goal = start_goal && ratio <= 1.10;
	}
	posix_spawn_file_actions_destroy(&files);

	run_result few = run(fast, "0\n10\n1\nx\n", false, nullptr, true);
	run_result some = run(fast, "0\n100000\n1\nx\n", false, nullptr, true);
	run_result many = run(fast, sets[0].answers, false, nullptr, true);
	struct rusage own;
	getrusage(RUSAGE_SELF, &own);

	int enlarged = largest_pipe();
	bool null_goal = true, pipe_goal = true, same = true;
	for (const row_set &set : sets) {
		std::vector<char> bytes;
		sink keep;
		keep.kept = &bytes;
		run_result first = run(fast, set.answers, true, &keep);
		if (first.status != 0) {
			std::fprintf(stderr, "%s: exit status %d\n", fast, first.status);
			return 1;
		}
		sink compare;
		compare.expected = &bytes;
		run(baseline, set.answers, true, &compare);
		same = same && compare.same;

		/* Best of the repeats: other work on the machine only ever slows a run. */
		double base_null = 1e9, fast_null = 1e9, fast_pipe = 1e9, limit = 1e9, large = 1e9;
		for (int r = 0; r < repeats; r++) {
			base_null = std::min(base_null, run(baseline, set.answers, false, nullptr).seconds);
			fast_null = std::min(fast_null, run(fast, set.answers, false, nullptr).seconds);
			fast_pipe = std::min(fast_pipe, run(fast, set.answers, true, nullptr).seconds);
			limit = std::min(limit, pipe_limit(bytes, 0));
			large = std::min(large, pipe_limit(bytes, enlarged));
		}
		double null_ratio = base_null / fast_null;
		double pipe_share = large / fast_pipe;
		double gb = (double)bytes.size() / 1e9;
		std::printf("%s: %.0f rows, %zu bytes, best of %d%s\n", set.name, rows, bytes.size(),
		            repeats, compare.same ? "" : ", DIFFERENT from printf's rows");
		std::printf("  /dev/null  printf %6.2f M rows/s  value_table %6.2f M rows/s  ratio %5.1f\n",
		            rows / base_null / 1e6, rows / fast_null / 1e6, null_ratio);
		std::printf("  pipe       value_table %6.2f M rows/s, %.2f GB/s\n", rows / fast_pipe / 1e6,
		            gb / fast_pipe);
		std::printf("  pipe limit, same bytes from memory: default pipe %6.2f M rows/s, %.2f GB/s;"
		            " %d-byte pipe %6.2f M rows/s, %.2f GB/s\n",
		            rows / limit / 1e6, gb / limit, enlarged, rows / large / 1e6, gb / large);
		std::printf("  value_table reaches %.0f%% of the default-pipe limit, %.0f%% of the enlarged one\n",
		            100 * limit / fast_pipe, 100 * pipe_share);
		null_goal = null_goal && null_ratio >= 35;
		pipe_goal = pipe_goal && pipe_share >= 0.6;
	}

	/*
	 * "A few hundred KiB": the peak of even the same run moves by a couple of
	 * hundred KiB from run to run, with where the loader happens to map things.
	 */
	long spread = many.max_rss_kb - few.max_rss_kb;
	bool memory_goal = spread >= -512 && spread <= 512 && same;
	std::printf("max RSS of value_table: %ld KiB for 10 rows, %ld KiB for 100 thousand, %ld KiB"
	            " for 10 million (this program: %ld KiB then)\n", few.max_rss_kb, some.max_rss_kb,
	            many.max_rss_kb, own.ru_maxrss);
	std::printf("goal >= 0.6 of the enlarged pipe's limit: %s\n", pipe_goal ? "met" : "NOT met");
	std::printf("goal >= 35 times printf to /dev/null: %s\n", null_goal ? "met" : "NOT met");
	std::printf("goal start-up within 10%% of printf programs: %s\n", start_goal ? "met" : "NOT met");
	std::printf("goal memory flat within 512 KiB, rows as printf's: %s\n",
	            memory_goal ? "met" : "NOT met");
	return null_goal && pipe_goal && start_goal && memory_goal ? 0 : 1;
}
