// SPDX-License-Identifier: MIT
// Both programs under valgrind's memcheck: quit mode, and a second of the
// stream. No invalid access, no use of uninitialised memory, and no leak but
// the two handles the programs hold for their whole life, each made once.
#include "harness.hpp"
#include "fixtures.hpp"

#include <csignal>
#include <cstdio>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace harness;
using namespace std::chrono_literals;

namespace {

class Memcheck : public ProgramTest {
protected:
	void TearDown() override { static_cast<void>(std::remove(log_.c_str())); }

	std::vector<std::string> valgrind(const std::vector<std::string> &args,
	    const std::string &leak_kinds) const
	{
		std::vector<std::string> all = {
		    "--leak-check=full", "--show-leak-kinds=all", "--errors-for-leak-kinds=" + leak_kinds,
		    "--track-origins=yes", "--error-exitcode=99",
		    std::string("--suppressions=") + build::valgrind_suppressions, "--log-file=" + log_, GetParam()};
		all.insert(all.end(), args.begin(), args.end());
		return all;
	}
	std::string log() const { return read_file(log_); }

	std::string log_ = testing::TempDir() + "memcheck." + std::to_string(getpid()) + ".log";
};

// Blocks of one kind in valgrind's leak summary ("definitely lost",
// "suppressed", ...), which groups thousands with commas; none when it found
// no leak at all.
long blocks(const std::string &log, const std::string &kind)
{
	auto at = log.find(kind + ": ", log.find("LEAK SUMMARY:"));
	if (at == std::string::npos)
		return 0;
	long n = 0;
	for (auto i = log.find(" in ", at) + 4; i < log.size() && log[i] != ' '; i++)
		if (log[i] != ',')
			n = n * 10 + (log[i] - '0');
	return n;
}

// Quit mode, then a second of the stream. The suppressions excuse the
// blocks of the two handles and of the host the first send resolves, which
// quit mode makes once: the stream must hold no more of them, for a handle
// made again in every cycle would be excused too.
TEST_P(Memcheck, QuitModeThenOneSecondOfTheStream)
{
	set_loopback(true);
	Child quit(build::valgrind, valgrind({"-q"}, "all"));
	EXPECT_EQ(quit.wait(60s), 0) << log();
	long held = blocks(log(), "suppressed");
	Receiver rx;
	// Leaks do not count as errors here: they are counted below.
	Child prog(build::valgrind, valgrind({}, "none"));
	ASSERT_TRUE(rx.next(60s)) << log(); // started: the timing begins here
	std::this_thread::sleep_for(1s);
	EXPECT_TRUE(prog.running());
	prog.signal(SIGTERM);
	EXPECT_EQ(prog.wait(60s), 128 + SIGTERM);
	// Killed by a signal, valgrind has no exit code of its own to give: its
	// summary says whether it found an invalid access or read.
	std::string text = log();
	EXPECT_NE(text.find("ERROR SUMMARY: 0 errors from 0 contexts"), std::string::npos) << text;
	ASSERT_NE(text.find("LEAK SUMMARY:"), std::string::npos) << text;
	EXPECT_EQ(blocks(text, "suppressed"), held) << text;
	// The signal can land while the library frees the message it has just
	// sent, with the last pointer to it gone: that one message (its block
	// and the two it holds) may count as lost. A leak of the stream grows
	// with every cycle, ten or more in this second.
	EXPECT_LE(blocks(text, "definitely lost"), 1) << text;
	EXPECT_LE(blocks(text, "indirectly lost") + blocks(text, "possibly lost"), 2) << text;
}

INSTANTIATE_FOR_BOTH_PROGRAMS(Memcheck);

} // namespace
