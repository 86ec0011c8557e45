// How each program carries the OSC library: burstcast inside itself,
// pacecast as the shared liblo.so.7 that the loader must find at start.
#include "catalogue.hpp"
#include "harness.hpp"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace harness;
using namespace std::chrono_literals;

namespace {

const std::string burstcast = BURSTCAST_PATH;
const std::string pacecast = PACECAST_PATH;

std::string needed(const std::string &program)
{
	std::string out;
	std::string dynamic = shell("readelf -d " + program);
	for (std::size_t at = 0; (at = dynamic.find("(NEEDED)", at)) != std::string::npos; at++) {
		auto open = dynamic.find('[', at);
		auto close = dynamic.find(']', open);
		out += dynamic.substr(open + 1, close - open - 1) + " ";
	}
	return out;
}

TEST(Link, BurstcastNeedsNoSharedOscLibrary)
{
	std::string libs = needed(burstcast);
	EXPECT_NE(libs.find("libc.so"), std::string::npos) << libs;
	EXPECT_EQ(libs.find("liblo"), std::string::npos) << libs;
}

TEST(Link, PacecastNeedsTheSharedOscLibrary)
{
	std::string libs = needed(pacecast);
	EXPECT_NE(libs.find("liblo.so.7 "), std::string::npos) << libs;
}

// Hides liblo.so.7 from a child: in a mount namespace of its own, the file is
// covered by /dev/null, so the loader cannot use it.
void hide_liblo()
{
	char real[PATH_MAX];
	if (realpath(LIBLO_SONAME_PATH, real) == nullptr ||
	    unshare(CLONE_NEWNS) < 0 ||
	    mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) < 0 ||
	    mount("/dev/null", real, nullptr, MS_BIND, nullptr) < 0) {
		std::fprintf(stderr, "hide liblo: %s\n", std::strerror(errno));
		_exit(125);
	}
}

class WithoutLiblo : public testing::Test {
protected:
	void SetUp() override
	{
		std::string why = enter_private_net();
		if (!why.empty())
			GTEST_SKIP() << why;
		if (geteuid() != 0)
			GTEST_SKIP() << "hiding a system library takes root";
		set_loopback(true);
	}
};

TEST_F(WithoutLiblo, BurstcastStillRuns)
{
	Receiver rx;
	Child prog(burstcast, {"-q"}, {Stdout::pipe, hide_liblo});
	EXPECT_EQ(prog.wait(5s), 0) << prog.read_err(1s);
	auto got = rx.take(1, 1s);
	ASSERT_EQ(got.size(), 1U);
	EXPECT_EQ(got[0].bytes, catalogue::quit);
}

TEST_F(WithoutLiblo, PacecastDoesNotStart)
{
	Receiver rx;
	Child prog(pacecast, {"-q"}, {Stdout::pipe, hide_liblo});
	EXPECT_EQ(prog.wait(5s), 127);
	EXPECT_NE(prog.read_err(1s).find("liblo.so.7"), std::string::npos);
	EXPECT_FALSE(rx.next(200ms));
}

} // namespace
