// The routine's decisions without the network: which mode a command line
// selects, and which values the stream carries around the counter's wrap.
#include "sender.hpp"

#include <climits>
#include <cmath>
#include <cstdint>
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
}

// The values of one streaming cycle, as the loop computes them, starting from
// the counter value that "/jamin" sees.
struct Cycle {
	double jamin;
	double jumbo;
	std::int32_t next;
};

Cycle cycle(std::int32_t counter)
{
	Cycle c{};
	c.jamin = sender::stepped_sine(counter, 100);
	counter = sender::next_step(counter);
	c.jumbo = sender::stepped_sine(counter, 50);
	c.next = sender::next_step(counter);
	return c;
}

TEST(Step, StepFunctionsBeforeTheWrap)
{
	std::int32_t counter = 0;
	for (int r = 0; r < 200; r++) {
		Cycle c = cycle(counter);
		EXPECT_EQ(c.jamin, std::sin(r / 50)) << "cycle " << r;
		EXPECT_EQ(c.jumbo, std::sin(r / 25)) << "cycle " << r;
		counter = c.next;
	}
}

TEST(Step, WrapsFromMaxToMin)
{
	// The last cycle before the wrap: "/jamin" sees 2^31 - 2, "/jumbo" 2^31 - 1.
	Cycle last = cycle(INT32_MAX - 1);
	EXPECT_EQ(last.jamin, std::sin(21474836.0));
	EXPECT_EQ(last.jumbo, std::sin(42949672.0));
	EXPECT_EQ(last.next, INT32_MIN);

	// Then the quotients are negative, truncated toward zero.
	Cycle first = cycle(INT32_MIN);
	EXPECT_EQ(first.jamin, std::sin(-21474836.0));
	EXPECT_EQ(first.jumbo, std::sin(-42949672.0));
	EXPECT_EQ(first.next, INT32_MIN + 2);
}

TEST(Step, SmallNegativeCountersTruncateTowardZero)
{
	EXPECT_EQ(sender::stepped_sine(-100, 100), std::sin(-1.0));
	for (std::int32_t c = -99; c <= -1; c++)
		EXPECT_EQ(sender::stepped_sine(c, 100), 0.0) << c;
	EXPECT_EQ(sender::stepped_sine(-50, 50), std::sin(-1.0));
	for (std::int32_t c = -49; c <= -1; c++)
		EXPECT_EQ(sender::stepped_sine(c, 50), 0.0) << c;

	// The cycle that starts at -2 ends the lap: both carry sin(0), and the
	// counter is back at 0.
	Cycle c = cycle(-2);
	EXPECT_EQ(c.jamin, 0.0);
	EXPECT_EQ(c.jumbo, 0.0);
	EXPECT_EQ(c.next, 0);
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
