// SPDX-License-Identifier: MIT
// Paths a working OSC library rarely takes, on the programs' own code, with
// a stand-in for the calls preloaded: into pacecast as shipped, and into a
// test-only burstcast that links the shared library.
// - No handle: the program names the call on standard error, exits 1 and
//   sends nothing.
// - A failed send: the error line carries the library's error number and
//   text for the destination, not errno's, once.
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
	const char *call;     // the call that yields no handle, if any
	const char *path;     // what runs
	const char *preload;  // the stand-in to preload
};

void PrintTo(const Case &c, std::ostream *os)
{
	*os << c.name << " with " << c.preload;
}

std::string case_name(const testing::TestParamInfo<Case> &p)
{
	return std::string(p.param.name) + (p.param.call != nullptr ? std::string("_") + p.param.call : "");
}

// Runs a case's program with its stand-in preloaded.
class StandIn : public testing::TestWithParam<Case> {
protected:
	void SetUp() override { ENTER_PRIVATE_NET(); }

	static Options options(const Case &c)
	{
		return {Stdout::pipe, [preload = c.preload] {
			        setenv("LD_PRELOAD", preload, 1);
			        // AddressSanitizer wants its own library loaded first.
			        setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
		        }};
	}
};

const Case no_handle[] = {
    {"burstcast", "lo_blob_new", build::burstcast_shared_file, build::no_blob_file},
    {"burstcast", "lo_address_new", build::burstcast_shared_file, build::no_address_file},
    {"pacecast", "lo_blob_new", build::pacecast_file, build::no_blob_file},
    {"pacecast", "lo_address_new", build::pacecast_file, build::no_address_file},
};

class NoHandle : public StandIn {};

TEST_P(NoHandle, NamesTheCallExitsOneAndSendsNothing)
{
	const Case &c = GetParam();
	set_loopback(true);
	Receiver rx;
	for (const std::vector<std::string> &args : {std::vector<std::string>{}, {"-q"}}) {
		Child prog(c.path, args, options(c));
		EXPECT_EQ(prog.wait(5s), 1);
		EXPECT_EQ(prog.read_err(1s), std::string(c.name) + ": " + c.call + " failed\n");
		EXPECT_EQ(prog.read_out(1s), "");
	}
	EXPECT_FALSE(rx.next(200ms));
}

INSTANTIATE_TEST_SUITE_P(Calls, NoHandle, testing::ValuesIn(no_handle), case_name);

// The library's error, marked by the stand-in; a failed send with loopback
// down leaves errno at 101, "Network is unreachable".
const Case errors[] = {
    {"burstcast", nullptr, build::burstcast_shared_file, build::errors_file},
    {"pacecast", nullptr, build::pacecast_file, build::errors_file},
};
const std::string marked = "OSC error 1101: stand-in: Network is unreachable\n";

class ErrorLine : public StandIn {};

// Loopback is down: quit mode prints the line once and exits 0; the stream
// prints it for its first send only, at once, through a pipe, and goes on.
TEST_P(ErrorLine, CarriesTheLibrarysNumberAndTextOnce)
{
	const Case &c = GetParam();
	Child quit(c.path, {"-q"}, options(c));
	EXPECT_EQ(quit.wait(5s), 0);
	EXPECT_EQ(quit.read_out(1s), marked);
	EXPECT_EQ(quit.read_err(1s), "");

	Child prog(c.path, {}, options(c));
	EXPECT_EQ(prog.read_out(5s, true), marked);
	EXPECT_TRUE(prog.running());
	EXPECT_EQ(prog.read_out(400ms), "");
	EXPECT_TRUE(prog.running());
}

INSTANTIATE_TEST_SUITE_P(Programs, ErrorLine, testing::ValuesIn(errors), case_name);

} // namespace
