// Tests that run once for each program.
#ifndef TESTS_PROGRAMS_HPP
#define TESTS_PROGRAMS_HPP

#include "harness.hpp"

#include <gtest/gtest.h>

namespace harness {

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
