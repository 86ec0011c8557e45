// SPDX-License-Identifier: MIT
// What the built programs are: hardened executables, burstcast carrying the
// OSC library inside itself (unless built to link it as a shared library),
// pacecast needing the shared liblo.so.7 at start.
#include "catalogue.hpp"
#include "harness.hpp"
#include "fixtures.hpp"

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

const std::string sender_library = build::sender_file;
const std::string nm = build::nm;

class Hardening : public testing::TestWithParam<std::string> {};

TEST_P(Hardening, PieWithFullRelroAndNoExecutableStack)
{
	std::string headers = shell("readelf -hlW " + GetParam());
	EXPECT_NE(headers.find("DYN (Position-Independent Executable file)"), std::string::npos);
	EXPECT_NE(headers.find("GNU_RELRO"), std::string::npos);
	auto stack = headers.find("GNU_STACK");
	ASSERT_NE(stack, std::string::npos);
	std::string line = headers.substr(stack, headers.find('\n', stack) - stack);
	EXPECT_EQ(line.find("RWE"), std::string::npos) << line;

	std::string dynamic = shell("readelf -dW " + GetParam());
	EXPECT_NE(dynamic.find("BIND_NOW"), std::string::npos) << dynamic;
}

INSTANTIATE_FOR_BOTH_PROGRAMS(Hardening);

// The project's own code, read from the sender library's object code:
// burstcast's static OSC library brings hardened code of its own, which
// would hide unhardened code of ours in the linked program.
TEST(OwnCode, HasTheStackProtector)
{
	if (!build::stack_protector)
		GTEST_SKIP() << "this compiler does not take -fstack-protector-strong";
	std::string undefined = shell(nm + " -u " + sender_library);
	EXPECT_NE(undefined.find(" __stack_chk_fail\n"), std::string::npos) << undefined;
}

// Whether every member of an archive carries the x86 control-flow
// properties that -fcf-protection gives: IBT and SHSTK.
bool carries_ibt_and_shstk(const std::string &file)
{
	std::string notes = shell("readelf -nW " + file);
	auto count = [&notes](const std::string &what) {
		std::size_t n = 0;
		for (std::size_t at = 0; (at = notes.find(what, at)) != std::string::npos; at += what.size())
			n++;
		return n;
	};
	std::size_t members = count("\nFile: ");
	return members > 0 && count("x86 feature: IBT, SHSTK") == members;
}

TEST(OwnCode, CarriesIbtAndShstk)
{
	if (!build::cf_protection)
		GTEST_SKIP() << "this toolchain does not take -fcf-protection, which is for x86";
	EXPECT_TRUE(carries_ibt_and_shstk(sender_library)) << shell("readelf -nW " + sender_library);
}

// The fortify level that the programs' own code is compiled at, in the
// build in `dir`: sender.cpp's compile command, from the build's
// compile_commands.json, run again to list the macros it defines. glibc's
// __USE_FORTIFY_LEVEL is the level in effect (0 where there is none).
int fortify_level(const std::string &dir)
{
	std::string db = read_file(dir + "/compile_commands.json");
	std::string file = build::source_dir + std::string("/sender/sender.cpp");
	auto entry = db.find("\"file\": \"" + file + "\"");
	if (entry == std::string::npos)
		return -1;
	auto from = db.rfind("\"command\": \"", entry) + 12;
	std::string command = db.substr(from, db.find(" -o ", from) - from);
	std::string macros = shell("cd " + dir + " && " + command + " -dM -E " + file);
	auto at = macros.find("#define __USE_FORTIFY_LEVEL ");
	return at == std::string::npos ? 0 : std::stoi(macros.substr(at + 28));
}

// Optimised builds fortify at level 3 where the compiler and glibc take it
// (glibc 2.34 with GCC 12 or Clang 9, or later), else at 2.
TEST(OwnCode, IsFortifiedAtTheHighestLevelTheToolchainTakes)
{
	if (build::sanitized)
		GTEST_SKIP() << "the sanitizer build is not fortified";
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34) && \
    (defined(__clang__) ? __clang_major__ >= 9 : __GNUC__ >= 12)
	const int highest = 3;
#else
	const int highest = 2;
#endif
	EXPECT_EQ(fortify_level(build::build_dir), highest);
}

// burstcast leaves the C library shared, whichever way it links liblo: a
// fully static glibc cannot look up a host name. How each program links
// liblo itself, WithoutLiblo below runs them to see.
TEST(Link, BurstcastLinksTheCLibraryShared)
{
	std::string dynamic = shell("readelf -d " + burstcast);
	EXPECT_NE(dynamic.find("Shared library: [libc.so"), std::string::npos) << dynamic;
}

// Hides liblo.so.7 from a child: in a mount namespace of its own, the file is
// covered by /dev/null, so the loader cannot use it.
void hide_liblo()
{
	char real[PATH_MAX];
	if (realpath(build::liblo_soname_path, real) == nullptr ||
	    unshare(CLONE_NEWNS) < 0 ||
	    mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) < 0 ||
	    mount("/dev/null", real, nullptr, MS_BIND, nullptr) < 0) {
		static_cast<void>(std::fprintf(stderr, "hide liblo: %s\n", std::strerror(errno)));
		_exit(125);
	}
}

class WithoutLiblo : public NetTest {
protected:
	void SetUp() override
	{
		NetTest::SetUp();
		// Skipped, or failed under CI: no namespace of its own to set up.
		if (IsSkipped() || HasFatalFailure())
			return;
		if (geteuid() != 0)
			GTEST_SKIP() << "hiding a system library takes root";
		set_loopback(true);
	}
};

// Without the shared library the loader cannot start the program.
void expect_no_start(const std::string &program)
{
	Receiver rx;
	Child prog(program, {"-q"}, {Stdout::pipe, hide_liblo});
	EXPECT_EQ(prog.wait(5s), 127);
	EXPECT_NE(prog.read_err(1s).find("liblo.so.7"), std::string::npos);
	EXPECT_FALSE(rx.next(200ms));
}

TEST_F(WithoutLiblo, BurstcastRunsOnlyWhenStaticallyLinked)
{
	if (!build::burstcast_static) {
		expect_no_start(burstcast);
		return;
	}
	Receiver rx;
	Child prog(burstcast, {"-q"}, {Stdout::pipe, hide_liblo});
	EXPECT_EQ(prog.wait(5s), 0) << prog.read_err(1s);
	auto got = rx.take(1, 1s);
	ASSERT_EQ(got.size(), 1U);
	EXPECT_EQ(got[0].bytes, catalogue::quit);
}

TEST_F(WithoutLiblo, PacecastDoesNotStart)
{
	expect_no_start(pacecast);
}

} // namespace
