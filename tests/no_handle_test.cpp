// SPDX-License-Identifier: MIT
// The path where the OSC library yields no handle, on the programs' own code:
// pacecast as shipped, with the call's stand-in preloaded, and test-only
// builds of burstcast, whose library calls are wrapped at link time. The
// program names the call on standard error, exits 1 and sends nothing.
#include "harness.hpp"
#include "fixtures.hpp"

#include <cstdlib>
#include <ostream>

#include <gtest/gtest.h>

using namespace harness;
using namespace std::chrono_literals;

namespace {

struct Case {
	const char *name;     // the program, as its line names it
	const char *call;     // the call that yields no handle
	const char *path;     // what runs
	const char *preload;  // the stand-in to preload, if any
};

const Case cases[] = {
    {"burstcast", "lo_blob_new", BURSTCAST_NO_BLOB, nullptr},
    {"burstcast", "lo_address_new", BURSTCAST_NO_ADDRESS, nullptr},
    {"pacecast", "lo_blob_new", PACECAST_PATH, PRELOAD_NO_BLOB},
    {"pacecast", "lo_address_new", PACECAST_PATH, PRELOAD_NO_ADDRESS},
};

void PrintTo(const Case &c, std::ostream *os)
{
	*os << c.name << " with no handle from " << c.call;
}

class NoHandle : public testing::TestWithParam<Case> {
protected:
	void SetUp() override { SKIP_WITHOUT_PRIVATE_NET(); }
};

TEST_P(NoHandle, NamesTheCallExitsOneAndSendsNothing)
{
	const Case &c = GetParam();
	set_loopback(true);
	Receiver rx;
	Options options;
	if (c.preload != nullptr)
		options.before_exec = [&c] {
			setenv("LD_PRELOAD", c.preload, 1);
			// AddressSanitizer wants its own library loaded first.
			setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
		};
	for (const std::vector<std::string> &args : {std::vector<std::string>{}, {"-q"}}) {
		Child prog(c.path, args, options);
		EXPECT_EQ(prog.wait(5s), 1);
		EXPECT_EQ(prog.read_err(1s), std::string(c.name) + ": " + c.call + " failed\n");
		EXPECT_EQ(prog.read_out(1s), "");
	}
	EXPECT_FALSE(rx.next(200ms));
}

INSTANTIATE_TEST_SUITE_P(Calls, NoHandle, testing::ValuesIn(cases),
    [](const testing::TestParamInfo<Case> &p) { return std::string(p.param.name) + "_" + p.param.call; });

} // namespace
