// SPDX-License-Identifier: MIT
// Both programs, run for real in a private network namespace: what reaches
// 127.0.0.1:10000, what is printed, and the exit status.
#include "catalogue.hpp"
#include "harness.hpp"
#include "fixtures.hpp"

#include <csignal>
#include <string>

#include <gtest/gtest.h>

using namespace harness;
using namespace std::chrono_literals;

namespace {

class Wire : public ProgramTest {};

// The normal sequence, checked datagram by datagram up to `cycles` cycles.
void expect_sequence(const std::vector<Datagram> &got, int cycles)
{
	ASSERT_EQ(got.size(), 3U + 2U * static_cast<unsigned>(cycles));
	EXPECT_EQ(to_hex(got[0].bytes), to_hex(catalogue::foo_bar));
	EXPECT_EQ(to_hex(got[1].bytes), to_hex(catalogue::abcd_floats));
	EXPECT_EQ(to_hex(got[2].bytes), to_hex(catalogue::abcd_blob));
	for (int r = 0; r < cycles; r++) {
		auto i = 3U + 2U * static_cast<unsigned>(r);
		EXPECT_EQ(to_hex(got[i].bytes), to_hex(catalogue::jamin(r))) << "cycle " << r;
		EXPECT_EQ(to_hex(got[i + 1].bytes), to_hex(catalogue::jumbo(r))) << "cycle " << r;
	}
}

TEST_P(Wire, QuitSendsOneDatagramAndExitsZero)
{
	set_loopback(true);
	Receiver rx;
	Child prog(program(), {"-q"});
	EXPECT_EQ(prog.wait(5s), 0);
	auto got = rx.take(2, 200ms);
	ASSERT_EQ(got.size(), 1U);
	EXPECT_EQ(to_hex(got[0].bytes), to_hex(catalogue::quit));
	EXPECT_EQ(prog.read_out(1s), "");
	EXPECT_EQ(prog.read_err(1s), "");
}

TEST_P(Wire, NormalModeSendsTheSequenceInOrder)
{
	set_loopback(true);
	Receiver rx;
	Child prog(program(), {});
	// burstcast: 75 cycles, past the changes at cycles 25 and 50; pacecast
	// (100 ms a cycle): a few.
	int cycles = program() == burstcast ? 75 : 4;
	auto got = rx.take(3U + 2U * static_cast<unsigned>(cycles), 5s);
	expect_sequence(got, cycles);
	// SIGINT, as Ctrl-C sends it; pacecast is now in its pause. The fault
	// tests end the stream with SIGTERM.
	expect_ends_silently(prog, SIGINT);
}

INSTANTIATE_FOR_BOTH_PROGRAMS(Wire);

class Pacing : public NetTest {};

TEST_F(Pacing, PacecastPausesAHundredMillisecondsAfterEachCycle)
{
	set_loopback(true);
	Receiver rx;
	Child prog(pacecast, {});
	auto got = rx.take(3 + 2 * 11, 5s);
	ASSERT_EQ(got.size(), 25U);
	// Kernel timestamps: when each datagram was queued, not when we read it.
	// The stream starts right after the fixed messages, with no pause first.
	EXPECT_LT(got[3].stamp - got[2].stamp, 50ms);
	// Ten pauses of 100 ms: no less than a second, and far less than the
	// 2 s that a doubled pause would take.
	EXPECT_GE(got[3 + 2 * 10].stamp - got[3].stamp, 1s);
	EXPECT_LT(got[3 + 2 * 10].stamp - got[3].stamp, 1500ms);
}

TEST_F(Pacing, BurstcastSendsAThousandCyclesWellWithinASecond)
{
	set_loopback(true);
	Receiver rx;
	Child prog(burstcast, {});
	auto got = rx.take(3 + 2 * 1001, 5s);
	ASSERT_EQ(got.size(), 3U + 2 * 1001);
	// Even a 1 ms pause per cycle would take a second; a run without a pause
	// takes a few milliseconds, so this bound leaves a wide margin.
	EXPECT_LT(got[3 + 2 * 1000].stamp - got[3].stamp, 1s);
}

} // namespace
