// SPDX-License-Identifier: MIT
// bench: measures burstcast and pacecast against the limits of their design
// and prints a Markdown table. It runs everything in a private network
// namespace with loopback up, so it neither disturbs nor is disturbed by
// anything else on port 10000.
//
//   bench           the full run, a few minutes; exits 2 if a target is missed
//   bench --smoke   a run of a few seconds that only shows the benchmark works
#include "harness.hpp"

#include <algorithm>
#include <functional>
#include <optional>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>
#include <poll.h>
#include <unistd.h>
#include <sys/socket.h>
#include <sys/utsname.h>

using namespace harness;
using namespace std::chrono_literals;
using steady = std::chrono::steady_clock;

namespace {

const std::string raw = build::raw_file;
const std::string lib = build::lib_file;
const std::string lib_shared = build::lib_shared_file;

struct Plan {
	int rounds;              // interleaved send-rate rounds
	double round_seconds;    // length of each
	double deliver_seconds;  // the fast receiver's window
	double callgrind_seconds; // burstcast's run
	double paced_callgrind_seconds; // pacecast's short run; its long one is 4 times as long
	long burst_datagrams;    // burstcast's memory run
	int pace_cycles;         // pacecast's cadence and memory run
	int startup_runs;
	int signal_runs;
};

const Plan full{9, 2.0, 5.0, 3.0, 1.0, 10'000'000, 600, 200, 20};
const Plan smoke{1, 0.3, 0.3, 0.3, 0.3, 100'000, 6, 10, 2};

std::string fixed(double v, int digits)
{
	char buf[64];
	std::snprintf(buf, sizeof buf, "%.*f", digits, v);
	return buf;
}

// A judged target, written once: the row's text and its verdict both come
// from it.
struct Target {
	std::string relation; // "<=", "<", "growth <" or "within"
	double bound;
	std::string unit;

	std::string text() const { return relation + " " + fixed(bound, 0) + unit; }
	bool met(double v) const
	{
		if (relation == "within")
			return std::fabs(v) <= bound;
		return relation.back() == '=' ? v <= bound : v < bound;
	}
};

// The results, as rows: measured first, rendered once all are in.
struct Report {
	struct Row {
		std::string what, value, column;
		std::optional<Target> target;
		double judged;
	};
	std::vector<Row> rows;

	// A row that is only reported; `note` stands in the target column.
	void add(const std::string &what, const std::string &value, const std::string &note = "report")
	{
		rows.push_back({what, value, note, std::nullopt, 0});
	}
	// A row that `target` judges by the figure `judged`.
	void add(const std::string &what, const std::string &value, const Target &target, double judged)
	{
		rows.push_back({what, value, target.text(), target, judged});
	}
	// Prints the table, judged unless it is a smoke run, whose figures mean
	// nothing. Returns the exit status: 2 when a target was missed.
	int render(bool judge, const std::string &title) const
	{
		std::printf("%s\n\n| Measure | Value | Target | |\n|---|---|---|---|\n", title.c_str());
		int missed = 0;
		for (const Row &r : rows) {
			bool met = !judge || !r.target || r.target->met(r.judged);
			missed += met ? 0 : 1;
			const char *verdict = !judge || !r.target ? "" : met ? "met" : "**missed**";
			std::printf("| %s | %s | %s | %s |\n", r.what.c_str(), r.value.c_str(), r.column.c_str(), verdict);
		}
		if (!judge)
			std::printf("\nSmoke run: too short for its figures to mean anything; no target is judged.\n");
		else if (missed > 0)
			std::printf("\nMissed: %d target(s).\n", missed);
		else
			std::printf("\nEvery target met.\n");
		return missed > 0 ? 2 : 0;
	}
};

double seconds_since(steady::time_point t)
{
	return std::chrono::duration<double>(steady::now() - t).count();
}

void sleep_seconds(double s)
{
	std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

double median(std::vector<double> v)
{
	std::sort(v.begin(), v.end());
	std::size_t n = v.size();
	return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double percentile(std::vector<double> v, double p)
{
	std::sort(v.begin(), v.end());
	auto i = static_cast<std::size_t>(std::ceil(p / 100 * static_cast<double>(v.size()))) - 1;
	return v[std::min(i, v.size() - 1)];
}

long out_datagrams()
{
	return udp_counters()["OutDatagrams"];
}

// A number from /proc/PID/FILE: the first number after `key`.
long proc_number(pid_t pid, const char *file, const std::string &key)
{
	std::string text = read_file("/proc/" + std::to_string(pid) + "/" + file);
	auto at = text.find(key);
	if (at == std::string::npos)
		return -1;
	return std::stol(text.substr(at + key.size()));
}

// Resident memory: all of it, and the private (anonymous) part, the heap and
// the stack, which is where a leak would show. The rest is pages of the
// program's and its libraries' files, which grow as code is first run (sin()
// first runs at cycle 25) and are shared.
struct Memory {
	long rss_kib;
	long anon_kib;
};

Memory memory(pid_t pid)
{
	return {proc_number(pid, "status", "VmRSS:"), proc_number(pid, "status", "RssAnon:")};
}

// Datagrams per second that `program` sends, read from the kernel's counters
// over `seconds` after a short warm-up. The receiver socket is bound but never
// read: it fills at once and the kernel then drops, the same for every sender.
double send_rate(const std::string &program, double seconds)
{
	Receiver rx(1);
	Child prog(program, {});
	sleep_seconds(0.2);
	long before = out_datagrams();
	auto start = steady::now();
	sleep_seconds(seconds);
	long after = out_datagrams();
	double elapsed = seconds_since(start);
	return static_cast<double>(after - before) / elapsed;
}

// burstcast against a receiver that reads as fast as it can, several
// datagrams per call, from a large buffer: what it sends, what arrives, and
// what the kernel drops because the receive buffer is full.
void delivery(const Plan &plan, Report &report)
{
	std::fprintf(stderr, "bench: delivery to a fast receiver\n");
	Receiver rx;
	std::atomic<long> received{0};
	std::atomic<bool> stop{false};
	std::thread reader([&] {
		constexpr int batch = 64;
		static char buffers[batch][64];
		mmsghdr msgs[batch];
		iovec iovs[batch];
		for (int i = 0; i < batch; i++) {
			iovs[i] = {buffers[i], sizeof buffers[i]};
			msgs[i] = {};
			msgs[i].msg_hdr.msg_iov = &iovs[i];
			msgs[i].msg_hdr.msg_iovlen = 1;
		}
		// recvmmsg's own timeout is not honoured while it waits for the
		// first datagram, so poll bounds each wait.
		while (!stop.load()) {
			pollfd p{rx.fd(), POLLIN, 0};
			if (poll(&p, 1, 50) <= 0)
				continue;
			int n = recvmmsg(rx.fd(), msgs, batch, MSG_DONTWAIT, nullptr);
			if (n > 0)
				received += n;
		}
	});
	Child prog(burstcast, {});
	sleep_seconds(0.2);
	auto c0 = udp_counters();
	long r0 = received.load();
	auto start = steady::now();
	sleep_seconds(plan.deliver_seconds);
	auto c1 = udp_counters();
	long r1 = received.load();
	double elapsed = seconds_since(start);
	prog.signal(SIGKILL);
	stop = true;
	reader.join();
	double sent = static_cast<double>(c1["OutDatagrams"] - c0["OutDatagrams"]);
	double dropped = static_cast<double>(c1["RcvbufErrors"] - c0["RcvbufErrors"]);
	report.add("burstcast to a fast receiver: sent / received (datagrams/s)",
	    fixed(sent / elapsed, 0) + " / " + fixed(static_cast<double>(r1 - r0) / elapsed, 0));
	report.add("dropped by the kernel (receive buffer full)", fixed(sent > 0 ? dropped / sent * 100 : 0, 1) + " %");
}

// User-space instructions that callgrind counts inside `function` (the
// sending loop) over a run of about `seconds` from the first datagram, and
// the datagrams sent meanwhile.
struct Count {
	double instructions;
	double datagrams;
};

Count callgrind(const std::string &program, const std::vector<std::string> &args, const std::string &function,
    double seconds)
{
	std::string out = "/tmp/bench.callgrind." + std::to_string(getpid());
	Receiver rx(1);
	long before = out_datagrams();
	std::vector<std::string> all = {"--tool=callgrind", "--callgrind-out-file=" + out, "--collect-atstart=no",
	    "--toggle-collect=" + function, program};
	all.insert(all.end(), args.begin(), args.end());
	Child prog(build::valgrind, all);
	// valgrind takes a while to start: time the run from the first datagram.
	auto deadline = steady::now() + std::chrono::seconds(60);
	while (out_datagrams() == before && steady::now() < deadline)
		std::this_thread::sleep_for(10ms);
	sleep_seconds(seconds);
	prog.signal(SIGTERM);
	prog.wait(60s);
	Count c{0, static_cast<double>(out_datagrams() - before)};

	std::ifstream in(out);
	std::string line;
	while (std::getline(in, line))
		if (line.rfind("totals: ", 0) == 0 || line.rfind("summary: ", 0) == 0)
			c.instructions = std::stod(line.substr(line.find(' ') + 1));
	std::remove(out.c_str());
	if (c.datagrams == 0 || c.instructions == 0)
		throw std::runtime_error("callgrind counted nothing in " + program);
	return c;
}

// Median wall time, in milliseconds, of `program -q`, from fork to exit.
double startup_ms(const std::string &program, int runs)
{
	Receiver rx;
	std::vector<double> times;
	for (int i = 0; i < runs; i++) {
		auto start = steady::now();
		Child prog(program, {"-q"});
		prog.wait(10s);
		times.push_back(seconds_since(start) * 1e3);
		rx.next(0ms);
	}
	return median(times);
}

// The longest time, in milliseconds, from SIGINT or SIGTERM to the end of the
// process, in the middle of the stream (for pacecast, in its pause).
double signal_ms(const std::string &program, int runs)
{
	double worst = 0;
	for (int i = 0; i < runs; i++) {
		Receiver rx;
		Child prog(program, {});
		rx.take(5, 5s);
		std::this_thread::sleep_for(50ms);
		auto start = steady::now();
		prog.signal(i % 2 == 0 ? SIGINT : SIGTERM);
		prog.wait(5s);
		worst = std::max(worst, seconds_since(start) * 1e3);
	}
	return worst;
}

std::string machine()
{
	utsname u{};
	uname(&u);
	std::string cpuinfo = read_file("/proc/cpuinfo");
	auto at = cpuinfo.find("model name");
	at = at == std::string::npos ? at : cpuinfo.find(": ", at) + 2;
	std::string model = at == std::string::npos ? "unknown CPU" : cpuinfo.substr(at, cpuinfo.find('\n', at) - at);
	return std::to_string(std::thread::hardware_concurrency()) + " cores (" + model + "), Linux " + u.release;
}

// Runs each measurement once a round, in turn, for `rounds` rounds; returns
// each one's results. The machine's speed drifts over seconds, so ratios are
// taken within a round.
std::vector<std::vector<double>> interleaved(const char *what, int rounds,
    const std::vector<std::function<double()>> &measures)
{
	std::vector<std::vector<double>> out(measures.size());
	for (int r = 0; r < rounds; r++) {
		std::fprintf(stderr, "bench: %s, round %d of %d\n", what, r + 1, rounds);
		for (std::size_t m = 0; m < measures.size(); m++)
			out[m].push_back(measures[m]());
	}
	return out;
}

// The median of the rounds' ratios a / b.
double median_ratio(const std::vector<double> &a, const std::vector<double> &b)
{
	std::vector<double> r;
	r.reserve(a.size());
	for (std::size_t i = 0; i < a.size(); i++)
		r.push_back(a[i] / b[i]);
	return median(r);
}

// Send rates, burstcast against the system calls alone. Against the
// library's own two sends, the instruction counts tell more steadily.
void send_rates(const Plan &plan, Report &report)
{
	auto rates = interleaved("send rate", plan.rounds, {
	    [&] { return send_rate(burstcast, plan.round_seconds); },
	    [&] { return send_rate(raw, plan.round_seconds); }});
	std::string rounds = std::to_string(plan.rounds) + " interleaved rounds of " + fixed(plan.round_seconds, 1) + " s";
	report.add("send rate, burstcast (median datagrams/s)", fixed(median(rates[0]), 0), rounds);
	report.add("send rate, raw: two sendto() calls a cycle", fixed(median(rates[1]), 0), rounds);
	report.add("burstcast / raw (median of the rounds' ratios)", fixed(median_ratio(rates[0], rates[1]), 3),
	    "report (about 0.85 to 0.93)");
}

// Instructions, which callgrind counts the same whatever else the machine
// does: each program's own cost above the library's.
void instructions(const Plan &plan, Report &report)
{
	if (std::string(build::valgrind).empty()) {
		std::fprintf(stderr, "bench: valgrind is not installed: instructions are not counted\n");
		return;
	}
	std::fprintf(stderr, "bench: instructions (callgrind)\n");
	Count burst = callgrind(burstcast, {}, "sender::run*", plan.callgrind_seconds);
	Count base = callgrind(lib, {}, "main", plan.callgrind_seconds);
	double ipd_burst = burst.instructions / burst.datagrams;
	double ipd_lib = base.instructions / base.datagrams;
	double excess = (ipd_burst / ipd_lib - 1) * 100;
	report.add("instructions per datagram, burstcast / lib", fixed(ipd_burst, 0) + " / " + fixed(ipd_lib, 0));
	report.add("burstcast's instructions above lib's", fixed(excess, 2) + " %", {"within", 2, " %"}, excess);

	// Per cycle of a paced sender: the difference of a short and a long run,
	// so that what a run spends once (start-up, the fixed messages, the
	// first send's socket) drops out. A run is stopped in its pause, between
	// cycles, so both counts end on a whole cycle.
	auto per_cycle = [&](const std::string &program, const std::vector<std::string> &args, const char *function) {
		Count short_run = callgrind(program, args, function, plan.paced_callgrind_seconds);
		Count long_run = callgrind(program, args, function, 4 * plan.paced_callgrind_seconds);
		return (long_run.instructions - short_run.instructions) / (long_run.datagrams - short_run.datagrams) * 2;
	};
	double ipc_pace = per_cycle(pacecast, {}, "sender::run*");
	double ipc_lib = per_cycle(lib_shared, {"--pace"}, "main");
	double paced_excess = (ipc_pace / ipc_lib - 1) * 100;
	report.add("instructions per cycle, pacecast / lib_shared --pace", fixed(ipc_pace, 0) + " / " + fixed(ipc_lib, 0));
	report.add("pacecast's instructions above lib_shared --pace's", fixed(paced_excess, 2) + " %",
	    {"within", 2, " %"}, paced_excess);
}

// A program's memory at the start and after a run: all that is resident,
// reported, and the private part, whose growth is judged.
void memory_rows(Report &report, const std::string &program, const std::string &after, Memory start, Memory end)
{
	report.add(program + " RSS: start /" + after, std::to_string(start.rss_kib) + " / " + std::to_string(end.rss_kib));
	report.add(program + " private memory: start /" + after,
	    std::to_string(start.anon_kib) + " / " + std::to_string(end.anon_kib), {"growth <", 4, " KiB"},
	    static_cast<double>(end.anon_kib - start.anon_kib));
}

// pacecast's period and its memory.
void cadence(const Plan &plan, Report &report)
{
	// The periods between "/jamin" datagrams, from the kernel's receive
	// timestamps, and the memory at the first and the last.
	std::fprintf(stderr, "bench: pacecast, %d cycles\n", plan.pace_cycles);
	std::vector<double> periods;
	Memory start{};
	Memory end{};
	{
		Receiver rx;
		Child prog(pacecast, {});
		auto fixed_messages = rx.take(3, 5s);
		auto last = rx.next(5s);
		if (fixed_messages.size() != 3 || !last)
			throw std::runtime_error("pacecast sent nothing");
		start = memory(prog.pid());
		for (int r = 1; r <= plan.pace_cycles; r++) {
			auto jumbo = rx.next(5s);
			auto jamin = rx.next(5s);
			if (!jumbo || !jamin)
				throw std::runtime_error("pacecast stopped sending");
			periods.push_back(std::chrono::duration<double, std::milli>(jamin->stamp - last->stamp).count());
			last = jamin;
		}
		end = memory(prog.pid());
	}
	double period = median(periods);
	report.add("pacecast period, median (ms)", fixed(period, 2), {"<=", 101, ""}, period);
	report.add("pacecast period, p99 (ms)", fixed(percentile(periods, 99), 2));
	report.add("pacecast period, max (ms)", fixed(*std::max_element(periods.begin(), periods.end()), 2));

	memory_rows(report, "pacecast", " after " + std::to_string(plan.pace_cycles) + " cycles (KiB)", start, end);
}

void burstcast_memory(const Plan &plan, Report &report)
{
	std::fprintf(stderr, "bench: burstcast memory, %ld datagrams\n", plan.burst_datagrams);
	Receiver rx(1);
	long before = out_datagrams();
	Child prog(burstcast, {});
	auto deadline = steady::now() + std::chrono::seconds(300);
	while (out_datagrams() - before < 1000 && steady::now() < deadline)
		std::this_thread::sleep_for(1ms);
	Memory start = memory(prog.pid());
	while (out_datagrams() - before < plan.burst_datagrams && steady::now() < deadline)
		std::this_thread::sleep_for(50ms);
	Memory end = memory(prog.pid());
	memory_rows(report, "burstcast", " after " + std::to_string(plan.burst_datagrams) + " datagrams (KiB)", start, end);
}

void start_and_stop(const Plan &plan, Report &report)
{
	std::fprintf(stderr, "bench: start-up and signals\n");
	std::string runs = "report, " + std::to_string(plan.startup_runs) + " runs";
	report.add("start-up, burstcast -q (median ms)", fixed(startup_ms(burstcast, plan.startup_runs), 2), runs);
	report.add("start-up, pacecast -q (median ms)", fixed(startup_ms(pacecast, plan.startup_runs), 2), runs);
	double burst = signal_ms(burstcast, plan.signal_runs);
	double paced = signal_ms(pacecast, plan.signal_runs);
	report.add("SIGINT/SIGTERM to exit, burstcast (max ms)", fixed(burst, 2), {"<", 100, ""}, burst);
	report.add("SIGINT/SIGTERM to exit, pacecast in its pause (max ms)", fixed(paced, 2), {"<", 100, ""},
	    paced);
}

} // namespace

int main(int argc, char *argv[])
{
	bool is_smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
	const Plan &plan = is_smoke ? smoke : full;
	std::string why = enter_private_net();
	if (!why.empty()) {
		std::fprintf(stderr, "bench: %s\n", why.c_str());
		return 1;
	}
	set_loopback(true);
	std::fprintf(stderr, "bench: %s run on %s\n", is_smoke ? "smoke" : "full", machine().c_str());

	Report report;
	try {
		send_rates(plan, report);
		delivery(plan, report);
		instructions(plan, report);
		cadence(plan, report);
		burstcast_memory(plan, report);
		start_and_stop(plan, report);
	} catch (const std::exception &e) {
		std::fprintf(stderr, "bench: %s\n", e.what());
		return 1;
	}
	return report.render(!is_smoke, std::string(is_smoke ? "Smoke" : "Full") + " run on " + machine());
}
