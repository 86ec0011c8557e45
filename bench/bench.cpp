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
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <poll.h>
#include <unistd.h>
#include <sys/socket.h>
#include <sys/utsname.h>

using namespace harness;
using namespace std::chrono_literals;
using steady = std::chrono::steady_clock;

namespace {

const std::string raw = RAW_PATH;
const std::string lib = LIB_PATH;
const std::string lib_shared = LIB_SHARED_PATH;

struct Plan {
	int rounds;              // interleaved send-rate rounds
	double round_seconds;    // length of each
	double deliver_seconds;  // the fast receiver's window
	double callgrind_seconds;
	long burst_datagrams;    // burstcast's memory run
	int pace_cycles;         // pacecast's cadence and memory run
	int cpu_rounds;          // interleaved paced CPU rounds
	int cpu_cycles;          // cycles of each program in a round
	int startup_runs;
	int signal_runs;
};

const Plan full{9, 2.0, 5.0, 3.0, 10'000'000, 600, 7, 50, 200, 20};
const Plan smoke{1, 0.3, 0.3, 0.3, 100'000, 6, 1, 3, 10, 2};

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

// A number from /proc/PID/FILE: the first number after `key`, or the first
// field when `key` is empty.
long proc_number(pid_t pid, const char *file, const std::string &key)
{
	std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
	std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
	auto at = key.empty() ? 0 : text.find(key);
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

double cpu_seconds(pid_t pid)
{
	return static_cast<double>(proc_number(pid, "schedstat", "")) / 1e9;
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

struct Delivery {
	double sent_rate;
	double received_rate;
	double dropped_share;
};

// burstcast against a receiver that reads as fast as it can, several
// datagrams per call, from a large buffer.
Delivery deliver(double seconds)
{
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
	sleep_seconds(seconds);
	auto c1 = udp_counters();
	long r1 = received.load();
	double elapsed = seconds_since(start);
	prog.signal(SIGKILL);
	stop = true;
	reader.join();
	double sent = static_cast<double>(c1["OutDatagrams"] - c0["OutDatagrams"]);
	double dropped = static_cast<double>(c1["RcvbufErrors"] - c0["RcvbufErrors"]);
	return {sent / elapsed, static_cast<double>(r1 - r0) / elapsed, sent > 0 ? dropped / sent : 0};
}

// User-space instructions per datagram, counted by callgrind inside
// `function` (the sending loop) over a run of about `seconds`.
double instructions_per_datagram(const std::string &program, const std::string &function, double seconds)
{
	std::string out = "/tmp/bench.callgrind." + std::to_string(getpid());
	Receiver rx(1);
	long before = out_datagrams();
	Child prog(VALGRIND, {"--tool=callgrind", "--callgrind-out-file=" + out, "--collect-atstart=no",
	    "--toggle-collect=" + function, program});
	// valgrind takes a while to start: time the run from the first datagram.
	auto deadline = steady::now() + std::chrono::seconds(60);
	while (out_datagrams() == before && steady::now() < deadline)
		std::this_thread::sleep_for(10ms);
	sleep_seconds(seconds);
	prog.signal(SIGTERM);
	prog.wait(60s);
	long datagrams = out_datagrams() - before;

	std::ifstream in(out);
	std::string line;
	double instructions = 0;
	while (std::getline(in, line))
		if (line.rfind("totals: ", 0) == 0 || line.rfind("summary: ", 0) == 0)
			instructions = std::stod(line.substr(line.find(' ') + 1));
	std::remove(out.c_str());
	return datagrams > 0 ? instructions / static_cast<double>(datagrams) : 0;
}

struct Cadence {
	std::vector<double> periods_ms;
	Memory start;
	Memory end;
};

// pacecast for `cycles` cycles: the periods between "/jamin" datagrams, from
// the kernel's receive timestamps, and its memory.
Cadence pace(int cycles)
{
	Cadence c{};
	Receiver rx;
	Child prog(pacecast, {});
	auto fixed = rx.take(3, 5s);
	auto first = rx.next(5s);
	if (fixed.size() != 3 || !first)
		throw std::runtime_error("pacecast sent nothing");
	c.start = memory(prog.pid());
	auto last = first->stamp;
	for (int r = 1; r <= cycles; r++) {
		auto jumbo = rx.next(5s);
		auto jamin = rx.next(5s);
		if (!jumbo || !jamin)
			throw std::runtime_error("pacecast stopped sending");
		c.periods_ms.push_back(std::chrono::duration<double, std::milli>(jamin->stamp - last).count());
		last = jamin->stamp;
	}
	c.end = memory(prog.pid());
	return c;
}

// CPU time per cycle, in microseconds, of a paced sender over `cycles`
// cycles, counted from its first "/jamin": pacecast, or one of its baselines
// with --pace.
double paced_cpu_us(const std::string &program, const std::vector<std::string> &args, int cycles)
{
	static const Bytes jamin_path = hex("2F 6A 61 6D 69 6E 00 00");
	Receiver rx;
	Child prog(program, args);
	// The fixed messages come first, if any.
	for (int skipped = 0;; skipped++) {
		auto d = rx.next(5s);
		if (!d || skipped > 3)
			throw std::runtime_error(program + " sent no /jamin");
		if (d->bytes.size() >= jamin_path.size() &&
		    std::equal(jamin_path.begin(), jamin_path.end(), d->bytes.begin()))
			break;
	}
	double cpu_start = cpu_seconds(prog.pid());
	// The first "/jamin" after `cycles` more cycles ends the count.
	if (rx.take(2 * static_cast<std::size_t>(cycles), 5s).size() != 2 * static_cast<std::size_t>(cycles))
		throw std::runtime_error(program + " stopped sending");
	return (cpu_seconds(prog.pid()) - cpu_start) * 1e6 / cycles;
}

// burstcast's memory at the start of the stream and after `datagrams`.
std::pair<Memory, Memory> burst_memory(long datagrams)
{
	Receiver rx(1);
	long before = out_datagrams();
	Child prog(burstcast, {});
	auto deadline = steady::now() + std::chrono::seconds(300);
	while (out_datagrams() - before < 1000 && steady::now() < deadline)
		std::this_thread::sleep_for(1ms);
	Memory start = memory(prog.pid());
	while (out_datagrams() - before < datagrams && steady::now() < deadline)
		std::this_thread::sleep_for(50ms);
	return {start, memory(prog.pid())};
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

std::string fixed(double v, int digits)
{
	char buf[64];
	std::snprintf(buf, sizeof buf, "%.*f", digits, v);
	return buf;
}

std::string machine()
{
	utsname u{};
	uname(&u);
	std::ifstream cpuinfo("/proc/cpuinfo");
	std::string line;
	std::string model = "unknown CPU";
	while (std::getline(cpuinfo, line))
		if (line.rfind("model name", 0) == 0) {
			model = line.substr(line.find(':') + 2);
			break;
		}
	return std::to_string(std::thread::hardware_concurrency()) + " cores (" + model + "), Linux " + u.release;
}

struct Table {
	bool judge; // false in a smoke run, whose figures mean nothing
	std::vector<std::string> rows;
	std::vector<std::string> missed;

	void row(const std::string &what, const std::string &value, const std::string &target = "", int met = -1)
	{
		if (!judge)
			met = -1;
		std::string verdict = met < 0 ? "" : met ? "met" : "**missed**";
		rows.push_back("| " + what + " | " + value + " | " + target + " | " + verdict + " |");
		if (met == 0)
			missed.push_back(what);
	}
};

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

	Table t{!is_smoke, {}, {}};
	try {
		// The machine's speed drifts over seconds: each round runs the three
		// back to back, and the ratios are taken within a round.
		std::vector<double> rate_burst, rate_lib, rate_raw, to_lib, to_raw;
		for (int r = 0; r < plan.rounds; r++) {
			std::fprintf(stderr, "bench: send rate, round %d of %d\n", r + 1, plan.rounds);
			rate_burst.push_back(send_rate(burstcast, plan.round_seconds));
			rate_lib.push_back(send_rate(lib, plan.round_seconds));
			rate_raw.push_back(send_rate(raw, plan.round_seconds));
			to_lib.push_back(rate_burst.back() / rate_lib.back());
			to_raw.push_back(rate_burst.back() / rate_raw.back());
		}
		double burst = median(rate_burst);
		double vs_lib = median(to_lib);
		std::string rounds = std::to_string(plan.rounds) + " interleaved rounds of " + fixed(plan.round_seconds, 1) + " s";
		t.row("send rate, burstcast (median datagrams/s)", fixed(burst, 0), rounds);
		t.row("send rate, lib: two lo_send calls a cycle", fixed(median(rate_lib), 0), rounds);
		t.row("send rate, raw: two sendto() calls a cycle", fixed(median(rate_raw), 0), rounds);
		t.row("burstcast / lib (median of the rounds' ratios)", fixed(vs_lib, 3), ">= 0.97", vs_lib >= 0.97);
		t.row("burstcast / raw (median of the rounds' ratios)", fixed(median(to_raw), 3),
		    "report (about 0.85 to 0.93)");

		std::fprintf(stderr, "bench: delivery to a fast receiver\n");
		Delivery d = deliver(plan.deliver_seconds);
		t.row("burstcast to a fast receiver: sent / received (datagrams/s)",
		    fixed(d.sent_rate, 0) + " / " + fixed(d.received_rate, 0), "report");
		t.row("dropped by the kernel (receive buffer full)", fixed(d.dropped_share * 100, 1) + " %", "report");

		if (!std::string(VALGRIND).empty()) {
			std::fprintf(stderr, "bench: instructions per datagram (callgrind)\n");
			double ipd_burst = instructions_per_datagram(burstcast, "sender::run*", plan.callgrind_seconds);
			double ipd_lib = instructions_per_datagram(lib, "main", plan.callgrind_seconds);
			double excess = (ipd_burst / ipd_lib - 1) * 100;
			t.row("instructions per datagram, burstcast / lib", fixed(ipd_burst, 0) + " / " + fixed(ipd_lib, 0),
			    "report");
			t.row("burstcast's instructions above lib's", fixed(excess, 2) + " %", "within 2 %",
			    std::fabs(excess) <= 2);
		}

		std::fprintf(stderr, "bench: pacecast, %d cycles\n", plan.pace_cycles);
		Cadence c = pace(plan.pace_cycles);
		t.row("pacecast period, median (ms)", fixed(median(c.periods_ms), 2), "<= 100.5",
		    median(c.periods_ms) <= 100.5);
		t.row("pacecast period, p99 (ms)", fixed(percentile(c.periods_ms, 99), 2), "<= 102",
		    percentile(c.periods_ms, 99) <= 102);
		t.row("pacecast period, max (ms)", fixed(*std::max_element(c.periods_ms.begin(), c.periods_ms.end()), 2),
		    "report");

		// The machine's speed drifts: pacecast and its two baselines run the
		// same cycles in turn, and the ratios are taken within each round.
		// lib_shared --pace is the same two lo_send calls and sleep through
		// the shared library, as pacecast links it, and nothing else: what is
		// left over is pacecast's own. raw --pace is the system calls alone.
		std::vector<double> cpu_pace, cpu_lib, cpu_floor, to_lib_pace, to_floor;
		for (int r = 0; r < plan.cpu_rounds; r++) {
			std::fprintf(stderr, "bench: paced CPU, round %d of %d\n", r + 1, plan.cpu_rounds);
			cpu_pace.push_back(paced_cpu_us(pacecast, {}, plan.cpu_cycles));
			cpu_lib.push_back(paced_cpu_us(lib_shared, {"--pace"}, plan.cpu_cycles));
			cpu_floor.push_back(paced_cpu_us(raw, {"--pace"}, plan.cpu_cycles));
			to_lib_pace.push_back(cpu_pace.back() / cpu_lib.back());
			to_floor.push_back(cpu_pace.back() / cpu_floor.back());
		}
		std::string cpu_rounds = std::to_string(plan.cpu_rounds) + " interleaved rounds of " +
		    std::to_string(plan.cpu_cycles) + " cycles";
		t.row("pacecast CPU per cycle (median us)", fixed(median(cpu_pace), 1), cpu_rounds);
		t.row("lib_shared --pace CPU per cycle: the library's own (median us)", fixed(median(cpu_lib), 1),
		    cpu_rounds);
		t.row("pacecast / lib_shared --pace (median of the rounds' ratios)", fixed(median(to_lib_pace), 3),
		    "<= 1.03", median(to_lib_pace) <= 1.03);
		t.row("raw --pace CPU per cycle: the system calls alone (median us)", fixed(median(cpu_floor), 1),
		    cpu_rounds);
		t.row("pacecast / raw --pace (median of the rounds' ratios)", fixed(median(to_floor), 3), "report");
		std::string after_pace = " after " + std::to_string(plan.pace_cycles) + " cycles (KiB)";
		t.row("pacecast RSS: start /" + after_pace, std::to_string(c.start.rss_kib) + " / " +
		    std::to_string(c.end.rss_kib), "report");
		t.row("pacecast private memory: start /" + after_pace, std::to_string(c.start.anon_kib) + " / " +
		    std::to_string(c.end.anon_kib), "growth < 4 KiB", c.end.anon_kib - c.start.anon_kib < 4);

		std::fprintf(stderr, "bench: burstcast memory, %ld datagrams\n", plan.burst_datagrams);
		auto [start, end] = burst_memory(plan.burst_datagrams);
		std::string after_burst = " after " + std::to_string(plan.burst_datagrams) + " datagrams (KiB)";
		t.row("burstcast RSS: start /" + after_burst, std::to_string(start.rss_kib) + " / " +
		    std::to_string(end.rss_kib), "report");
		t.row("burstcast private memory: start /" + after_burst, std::to_string(start.anon_kib) + " / " +
		    std::to_string(end.anon_kib), "growth < 4 KiB", end.anon_kib - start.anon_kib < 4);

		std::fprintf(stderr, "bench: start-up and signals\n");
		t.row("start-up, burstcast -q (median ms)", fixed(startup_ms(burstcast, plan.startup_runs), 2),
		    "report, " + std::to_string(plan.startup_runs) + " runs");
		t.row("start-up, pacecast -q (median ms)", fixed(startup_ms(pacecast, plan.startup_runs), 2),
		    "report, " + std::to_string(plan.startup_runs) + " runs");
		double sig_burst = signal_ms(burstcast, plan.signal_runs);
		double sig_pace = signal_ms(pacecast, plan.signal_runs);
		t.row("SIGINT/SIGTERM to exit, burstcast (max ms)", fixed(sig_burst, 2), "< 100", sig_burst < 100);
		t.row("SIGINT/SIGTERM to exit, pacecast in its pause (max ms)", fixed(sig_pace, 2), "< 100",
		    sig_pace < 100);
	} catch (const std::exception &e) {
		std::fprintf(stderr, "bench: %s\n", e.what());
		return 1;
	}

	std::printf("%s run on %s\n\n", is_smoke ? "Smoke" : "Full", machine().c_str());
	std::printf("| Measure | Value | Target | |\n|---|---|---|---|\n");
	for (const auto &r : t.rows)
		std::printf("%s\n", r.c_str());
	if (is_smoke) {
		std::printf("\nSmoke run: too short for its figures to mean anything; no target is judged.\n");
		return 0;
	}
	if (!t.missed.empty()) {
		std::printf("\nMissed: %zu target(s).\n", t.missed.size());
		return 2;
	}
	std::printf("\nEvery target met.\n");
	return 0;
}
