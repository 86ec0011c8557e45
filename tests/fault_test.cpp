// SPDX-License-Identifier: MIT
// Faults a user's machine can produce, on the real programs: no receiver, a
// receiver that never reads, loopback down with standard output closed, and
// first arguments that stress the mode test. Each stream is ended with
// SIGTERM, which must end it at once and silently.
#include "catalogue.hpp"
#include "harness.hpp"
#include "fixtures.hpp"

#include <algorithm>
#include <csignal>
#include <initializer_list>
#include <map>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

using namespace harness;
using namespace std::chrono_literals;

namespace {

class Fault : public ProgramTest {
protected:
	// Runs the stream for a while and checks it went on silently.
	static void expect_silent_stream(Child &prog, milliseconds run_for)
	{
		std::this_thread::sleep_for(run_for);
		expect_ends_silently(prog, SIGTERM);
	}
};

TEST_P(Fault, NoReceiverEverySendSucceedsSilently)
{
	set_loopback(true);
	auto before = udp_counters();
	{
		Child quit(program(), {"-q"});
		EXPECT_EQ(quit.wait(5s), 0);
		EXPECT_EQ(quit.read_out(1s), "");
	}
	Child prog(program(), {});
	expect_silent_stream(prog, 500ms);
	auto after = udp_counters();
	// /quit, the three fixed messages and at least two cycles went out, and
	// each found no port; no send failed.
	EXPECT_GE(after["OutDatagrams"] - before["OutDatagrams"], 1 + 3 + 2 * 2);
	EXPECT_EQ(after["NoPorts"] - before["NoPorts"], after["OutDatagrams"] - before["OutDatagrams"]);
	EXPECT_EQ(after["SndbufErrors"], before["SndbufErrors"]);
}

// Whether the namespace's UDP counters named in `names` all grow past
// `since` while `prog` runs: they are read every 20 ms for up to 10 s, for a
// loaded machine can hold a sender back that long, and the wait ends at once
// when the program has ended.
bool counters_grow(Child &prog, const std::map<std::string, long> &since, std::initializer_list<const char *> names)
{
	auto deadline = std::chrono::steady_clock::now() + 10s;
	for (;;) {
		auto now = udp_counters();
		if (std::all_of(names.begin(), names.end(), [&](const char *n) { return now[n] > since.at(n); }))
			return true;
		if (!prog.running() || std::chrono::steady_clock::now() >= deadline)
			return false;
		std::this_thread::sleep_for(20ms);
	}
}

TEST_P(Fault, ReceiverThatNeverReadsDoesNotStopTheStream)
{
	set_loopback(true);
	Receiver rx(1); // the smallest buffer the kernel allows: full at once
	auto start = udp_counters();
	Child prog(program(), {});
	// The kernel drops what no longer fits, and the stream goes on.
	EXPECT_TRUE(counters_grow(prog, start, {"RcvbufErrors"}));
	auto mid = udp_counters();
	EXPECT_TRUE(counters_grow(prog, mid, {"OutDatagrams", "RcvbufErrors"}));
	expect_ends_silently(prog, SIGTERM);
}

TEST_P(Fault, LoopbackDownWithStdoutClosed)
{
	Child quit(program(), {"-q"}, {Stdout::closed, {}});
	EXPECT_EQ(quit.wait(5s), 0);
	EXPECT_EQ(quit.read_err(1s), "");

	Child prog(program(), {}, {Stdout::closed, {}});
	expect_silent_stream(prog, 300ms);
}

// The mode a first argument selects, told by the first datagram.
bool selects_quit(const std::string &program, const std::string &arg)
{
	Receiver rx;
	Child prog(program, {arg});
	auto first = rx.next(5s);
	EXPECT_TRUE(first.has_value());
	if (!first)
		return false;
	if (first->bytes == catalogue::quit) {
		EXPECT_EQ(prog.wait(5s), 0);
		return true;
	}
	EXPECT_EQ(first->bytes, catalogue::foo_bar);
	EXPECT_TRUE(prog.running());
	return false;
}

TEST_P(Fault, ArgumentsThatStressTheModeTest)
{
	set_loopback(true);
	// 128 KiB with its NUL: the longest single argument the kernel passes.
	EXPECT_TRUE(selects_quit(program(), "-q" + std::string(128 * 1024 - 3, 'x')));
	EXPECT_FALSE(selects_quit(program(), ""));
	EXPECT_FALSE(selects_quit(program(), "xq"));
	for (const char *arg : {"\xff-q", "-\xffq", "\xc3\xa9-q", "-\x80\x80q", "\xfe"})
		EXPECT_FALSE(selects_quit(program(), arg)) << to_hex(Bytes(arg, arg + std::strlen(arg)));
}

INSTANTIATE_FOR_BOTH_PROGRAMS(Fault);

} // namespace
