// SPDX-License-Identifier: MIT
// The routine's decisions without the network: which mode a command line
// selects, and which values the stream carries around the counter's wrap.
#include "sender.hpp"

#include <climits>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

bool quit(std::vector<const char *> args)
{
	args.insert(args.begin(), "prog");
	return sender::quit_mode(static_cast<int>(args.size()), args.data());
}

TEST(Mode, FirstArgumentStartingDashQIsQuit)
{
	EXPECT_TRUE(quit({"-q"}));
	EXPECT_TRUE(quit({"-quit"}));
	EXPECT_TRUE(quit({"-qx"}));
	EXPECT_TRUE(quit({"-q", "more", "args"}));
}

TEST(Mode, EverythingElseIsNormal)
{
	EXPECT_FALSE(quit({}));
	EXPECT_FALSE(quit({"-Q"}));
	EXPECT_FALSE(quit({"q"}));
	EXPECT_FALSE(quit({"--q"}));
	EXPECT_FALSE(quit({"-"}));
	EXPECT_FALSE(quit({""}));
	EXPECT_FALSE(quit({"--help"}));
	EXPECT_FALSE(quit({"x", "-q"}));
	// 'q' second is not enough: the first character must be '-'.
	EXPECT_FALSE(quit({"xq"}));
	EXPECT_FALSE(quit({"qq"}));
	EXPECT_FALSE(quit({"+q"}));
}

// One message of the stream, as the loop would hand it to the OSC library.
struct Sent {
	std::string path;
	double value;
	double constant;
};

// One streaming cycle, run by the library's own cycle: the "/jamin" and
// "/jumbo" values it would send, each checked for its address and constant.
struct Cycle {
	double jamin;
	double jumbo;
};

Cycle cycle(sender::Stream &s)
{
	std::vector<Sent> sent;
	sender::cycle(s, [&sent](const char *path, double value, double constant) {
		sent.push_back({path, value, constant});
	});
	EXPECT_EQ(sent.size(), 2U);
	if (sent.size() != 2)
		return {};
	EXPECT_EQ(sent[0].path, "/jamin");
	EXPECT_EQ(sent[0].constant, 1.0);
	EXPECT_EQ(sent[1].path, "/jumbo");
	EXPECT_EQ(sent[1].constant, -1.0);
	return {sent[0].value, sent[1].value};
}

TEST(Step, StepFunctionsBeforeTheWrap)
{
	sender::Stream s;
	for (int r = 0; r < 1000; r++) {
		Cycle c = cycle(s);
		EXPECT_EQ(c.jamin, std::sin(r / 50)) << "cycle " << r;
		EXPECT_EQ(c.jumbo, std::sin(r / 25)) << "cycle " << r;
	}
}

TEST(Step, WrapsFromMaxToMin)
{
	// The last cycle before the wrap: "/jamin" sees 2^31 - 2, "/jumbo" 2^31 - 1.
	sender::Stream s{INT32_MAX - 1};
	Cycle last = cycle(s);
	EXPECT_EQ(last.jamin, std::sin(21474836.0));
	EXPECT_EQ(last.jumbo, std::sin(42949672.0));
	EXPECT_EQ(s.counter, INT32_MIN);

	// Then the quotients are negative, truncated toward zero.
	Cycle first = cycle(s);
	EXPECT_EQ(first.jamin, std::sin(-21474836.0));
	EXPECT_EQ(first.jumbo, std::sin(-42949672.0));
	EXPECT_EQ(s.counter, INT32_MIN + 2);
}

TEST(Step, SmallNegativeCountersTruncateTowardZero)
{
	// From -300 to the end of the lap, with the sines kept as the loop keeps
	// them. "/jamin" sees the even counters, "/jumbo" the odd ones; C++'s
	// integer division truncates toward zero, as the stream's does.
	sender::Stream s{-300};
	for (std::int32_t c = -300; c < 0; c += 2) {
		Cycle got = cycle(s);
		EXPECT_EQ(got.jamin, std::sin(c / 100)) << c;
		EXPECT_EQ(got.jumbo, std::sin((c + 1) / 50)) << c + 1;
	}
	// Back at 0: the whole stream repeats from cycle 0.
	EXPECT_EQ(s.counter, 0);
	Cycle zero = cycle(s);
	EXPECT_EQ(zero.jamin, 0.0);
	EXPECT_EQ(zero.jumbo, 0.0);
}

TEST(Step, BackToZeroAfterTwoToTheThirtyOneCycles)
{
	std::int32_t counter = 0;
	std::uint32_t cycles = 0;
	do {
		counter = sender::next_step(sender::next_step(counter));
		cycles++;
	} while (counter != 0);
	EXPECT_EQ(cycles, 1U << 31);
}

} // namespace
