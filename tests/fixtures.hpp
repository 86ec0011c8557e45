// SPDX-License-Identifier: MIT
// GoogleTest fixtures for tests that run the programs in a network namespace
// of their own, apart from any receiver a user runs on port 10000. Loopback
// starts down there: every send fails until a test brings it up (and, once
// up, taking it down would leave its local routes in place).
#ifndef TESTS_FIXTURES_HPP
#define TESTS_FIXTURES_HPP

#include "harness.hpp"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

// Moves the test into a private network namespace. Where none can be had
// the test is skipped, giving the reason; under CI (CI=true) it fails, for
// a green run must not hide a test that could not run.
#define ENTER_PRIVATE_NET()                                                 \
	do {                                                                \
		std::string why_ = harness::enter_private_net();            \
		if (!why_.empty()) {                                        \
			const char *ci_ = std::getenv("CI");                \
			if (ci_ != nullptr && std::string(ci_) == "true")   \
				GTEST_FAIL() << why_ << " (under CI)";      \
			GTEST_SKIP() << why_;                               \
		}                                                           \
	} while (0)

// A test in a private network namespace.
class NetTest : public testing::Test {
protected:
	void SetUp() override { ENTER_PRIVATE_NET(); }
};

// A test in a private network namespace, run once for each program.
class ProgramTest : public testing::TestWithParam<std::string> {
protected:
	void SetUp() override { ENTER_PRIVATE_NET(); }
	const std::string &program() const { return GetParam(); }
};

namespace harness {

// Checks that a streaming program still runs, then that `sig` ends it at once
// (no handler stands in the way) and that it printed nothing at all.
inline void expect_ends_silently(Child &prog, int sig)
{
	using namespace std::chrono_literals;
	EXPECT_TRUE(prog.running());
	prog.signal(sig);
	EXPECT_EQ(prog.wait(5s), 128 + sig) << strsignal(sig);
	EXPECT_EQ(prog.read_out(1s), "");
	EXPECT_EQ(prog.read_err(1s), "");
}

// Names a test instance after the program it runs.
inline std::string program_name(const testing::TestParamInfo<std::string> &p)
{
	return p.param == burstcast ? "burstcast" : "pacecast";
}

} // namespace harness

#define INSTANTIATE_FOR_BOTH_PROGRAMS(suite) \
	INSTANTIATE_TEST_SUITE_P(Programs, suite, \
	    testing::Values(harness::burstcast, harness::pacecast), harness::program_name)

#endif
