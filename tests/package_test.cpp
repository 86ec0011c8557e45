// SPDX-License-Identifier: MIT
// What a user installs: the Debian package, which CPack makes through the
// install rules, the manual pages, and the one version they all carry.
#include "catalogue.hpp"
#include "harness.hpp"
#include "fixtures.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace harness;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

const std::string build_dir = build::build_dir;
const std::string source_dir = build::source_dir;
const std::string version = build::project_version;

// Both programs from an unpacked package, each sending its quit datagram.
void expect_quit_datagram(const fs::path &program)
{
	ENTER_PRIVATE_NET();
	set_loopback(true);
	Receiver rx;
	Child prog(program.string(), {"-q"});
	EXPECT_EQ(prog.wait(5s), 0) << prog.read_err(1s);
	auto got = rx.next(1s);
	if (!got)
		FAIL() << program << " sent nothing";
	EXPECT_EQ(got->bytes, catalogue::quit);
}

// The Debian package, made from this build into a scratch folder as a
// packager's machine may have it: no SOURCE_DATE_EPOCH, and liblo-dev
// installed for two architectures, the host's upgraded since the build was
// configured (a stand-in for dpkg-query says so, the real one answering the
// rest).
class Package : public testing::Test {
protected:
	void SetUp() override
	{
		dir_ = fs::temp_directory_path() / ("oscsenders-package." + std::to_string(getpid()));
		fs::remove_all(dir_);
		// Stripped, the programs lose the names the leak checker's
		// suppressions match; packages come from the optimised build.
		if (build::sanitized)
			GTEST_SKIP() << "packages are made from the optimised build";
		std::string arch = shell("dpkg --print-architecture");
		std::string real = shell("command -v dpkg-query");
		ASSERT_FALSE(arch.empty() || real.empty());
		arch.pop_back(); // the newlines
		real.pop_back();
		fs::create_directories(dir_ / "bin");
		std::ofstream(dir_ / "bin/dpkg-query") << "#!/bin/sh\ncase $1 in\n"
		    "-S) " + real + " \"$@\" | sed 's/^liblo-dev: /liblo-dev:" + arch + ": /' ;;\n"
		    "-W) case $3 in *:*) " + real + " \"$@\" | sed 's/)$/+upgraded)/' ;; *) " + real + " \"$@\"; " + real + " \"$@\" ;; esac ;;\n"
		    "*) exec " + real + " \"$@\" ;;\nesac\n";
		fs::permissions(dir_ / "bin/dpkg-query", fs::perms::owner_all);
		std::string out = shell("cd " + dir_.string() + " && env -u SOURCE_DATE_EPOCH PATH=" + dir_.string() +
		    "/bin:\"$PATH\" cpack -G DEB -B " + dir_.string() + " --config " + build_dir + "/CPackConfig.cmake 2>&1", 120);
		for (const auto &entry : fs::directory_iterator(dir_))
			if (entry.path().extension() == ".deb")
				deb_ = entry.path().string();
		ASSERT_FALSE(deb_.empty()) << out;
	}
	void TearDown() override { fs::remove_all(dir_); }
	std::string field(const std::string &name) const { return shell("dpkg-deb -f " + deb_ + " " + name); }

	fs::path dir_;
	std::string deb_;
};

TEST_F(Package, DebHoldsBothProgramsAndNamesLiblo)
{
	// burstcast embeds liblo: the package names the liblo it was built from,
	// and its copyright file says so. Linked shared, it does neither.
	std::string built_using = field("Built-Using");
	fs::path root = dir_ / "root";
	shell("dpkg-deb -x " + deb_ + " " + root.string());
	std::string copyright = read_file((root / "usr/share/doc/oscsenders/copyright").string());
	if (build::burstcast_static) {
		// The liblo installed when the package is made, of the archive's
		// architecture alone.
		EXPECT_TRUE(built_using.starts_with("liblo (= ") && built_using.ends_with("+upgraded)\n") &&
		    built_using.find("liblo", 1) == std::string::npos) << built_using;
		EXPECT_NE(copyright.find("contains liblo's code"), std::string::npos) << copyright;
	} else {
		EXPECT_EQ(built_using.find("liblo"), std::string::npos) << built_using;
		EXPECT_EQ(copyright.find("liblo"), std::string::npos) << copyright;
	}

	std::string depends = field("Depends");
	EXPECT_NE(depends.find("liblo7"), std::string::npos) << depends;
	EXPECT_NE(depends.find("libc6"), std::string::npos) << depends;
	// Without SOURCE_DATE_EPOCH, the files are dated from the last commit.
	EXPECT_EQ(shell("stat -c %Y " + root.string() + "/usr/bin/pacecast"), shell("git -C " + source_dir + " log -1 --format=%ct"));
	EXPECT_EQ(field("Version"), version + "\n");

	// Both programs run from the package. Its manual pages, copyright file
	// and changelog are lintian's to check: it fails a package without them.
	expect_quit_datagram(root / "usr/bin/burstcast");
	expect_quit_datagram(root / "usr/bin/pacecast");
}

// lintian, as Debian would run it: no error and no warning.
TEST_F(Package, LintianFindsNoErrorOrWarning)
{
	if (std::string(build::lintian).empty())
		GTEST_SKIP() << "lintian is not installed (scripts/setup installs it)";
	std::string lint = shell(std::string(build::lintian) + " --fail-on error,warning " + deb_ + "; echo status $?", 300);
	EXPECT_NE(lint.find("status 0\n"), std::string::npos) << lint;
}

// The version lives in CMake's project(); the manual pages' headers, the
// changelog's newest section and the package the README installs must
// carry the same one.
TEST(Version, ManPagesChangelogAndReadmeAgreeWithTheProject)
{
	EXPECT_NE(read_file(source_dir + "/README.md").find("oscsenders_" + version + "_"), std::string::npos);
	for (const char *page : {"burstcast", "pacecast"}) {
		std::string text = read_file(source_dir + "/man/" + page + ".1");
		EXPECT_NE(text.find("\"oscsenders " + version + "\""), std::string::npos) << page;
	}
	std::string changelog = read_file(source_dir + "/CHANGELOG.md");
	auto newest = changelog.find("\n## ");
	ASSERT_NE(newest, std::string::npos);
	EXPECT_EQ(changelog.substr(newest + 4, version.size() + 1), version + " ");
}

class ManPage : public testing::TestWithParam<std::string> {};

TEST_P(ManPage, HasTheSectionsUsersLookFor)
{
	std::string text = shell("MANWIDTH=80 man -l " + source_dir + "/man/" + GetParam() + ".1 2>/dev/null");
	for (const char *section : {"NAME", "SYNOPSIS", "DESCRIPTION", "EXIT STATUS", "DIAGNOSTICS",
	         "EXAMPLES", "CAVEATS", "SEE ALSO", "OSC error %d: %s", "oscdump 10000", "/jumbo"})
		EXPECT_NE(text.find(section), std::string::npos) << section;
}

INSTANTIATE_TEST_SUITE_P(Pages, ManPage, testing::Values("burstcast", "pacecast"),
    [](const auto &p) { return p.param; });

} // namespace
