// SPDX-License-Identifier: MIT
// What the built programs are: hardened executables, burstcast carrying the
// OSC library inside itself (unless built to link it as a shared library),
// pacecast needing the shared liblo.so.7 at start.
#include "catalogue.hpp"
#include "harness.hpp"
#include "fixtures.hpp"

#include <algorithm>
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
const std::string liblo_static = build::liblo_static;

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

// Whether an object, or every member of an archive, carries the x86
// control-flow properties that -fcf-protection gives: IBT and SHSTK.
bool carries_ibt_and_shstk(const std::string &file)
{
	std::string notes = shell("readelf -nW " + file);
	auto count = [&notes](const std::string &what) {
		std::size_t n = 0;
		for (std::size_t at = 0; (at = notes.find(what, at)) != std::string::npos; at += what.size())
			n++;
		return n;
	};
	std::size_t members = std::max<std::size_t>(count("\nFile: "), 1);
	return count("x86 feature: IBT, SHSTK") == members;
}

// A program carries the properties only when everything linked into it
// does; Debian's C library start files, for one, carry none.
TEST_P(Hardening, CarriesIbtAndShstkWhereEverythingLinkedInDoes)
{
	if (!build::cf_protection)
		GTEST_SKIP() << "this toolchain does not take -fcf-protection, which is for x86";
	std::string start = shell(std::string(build::cxx) + " -print-file-name=Scrt1.o");
	start.erase(start.find_last_not_of('\n') + 1);
	if (!carries_ibt_and_shstk(start))
		GTEST_SKIP() << "the C library's start file " << start
		             << " carries no IBT and SHSTK properties, so no program linked with it can";
	if (GetParam() == burstcast && build::burstcast_static && !carries_ibt_and_shstk(liblo_static))
		GTEST_SKIP() << "the static " << liblo_static << " carries no IBT and SHSTK properties";
	EXPECT_NE(shell("readelf -nW " + GetParam()).find("x86 feature: IBT, SHSTK"), std::string::npos);
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
// (glibc 2.34 with GCC 12 or Clang 9, or later), else at 2, and never lower
// a level the user's flags give.
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
	if (std::string(build::emulator).empty()) {
		std::string dir = build::build_dir + std::string("/fortify-given");
		std::string out = shell("rm -rf " + dir + " && CXXFLAGS=-D_FORTIFY_SOURCE=3 cmake -S " + build::source_dir + " -B " + dir +
		    " -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=" + build::cxx + " 2>&1",
		    120);
		EXPECT_EQ(fortify_level(dir), highest) << out;
	}
}

// burstcast carries the OSC library inside it when built with the static
// archive (the default); built with BURSTCAST_LIBLO=shared, it needs the
// shared library as pacecast does.
TEST(Link, BurstcastFollowsItsLinkMode)
{
	std::string libs = needed(burstcast);
	EXPECT_NE(libs.find("libc.so"), std::string::npos) << libs;
	if (build::burstcast_static)
		EXPECT_EQ(libs.find("liblo"), std::string::npos) << libs;
	else
		EXPECT_NE(libs.find("liblo.so.7 "), std::string::npos) << libs;
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
