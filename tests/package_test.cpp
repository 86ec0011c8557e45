// SPDX-License-Identifier: MIT
// What a user installs: the install rules, the Debian package and the
// manual pages, and the one version they all carry.
#include "catalogue.hpp"
#include "harness.hpp"
#include "fixtures.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace harness;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

const std::string build_dir = build::build_dir;
const std::string source_dir = build::source_dir;
const std::string version = build::project_version;

// A scratch folder, removed with everything in it.
class Scratch {
public:
	Scratch()
	{
		std::string pattern = (fs::temp_directory_path() / "oscsenders.XXXXXX").string();
		if (mkdtemp(pattern.data()) == nullptr)
			throw std::runtime_error("mkdtemp failed");
		path_ = pattern;
	}
	~Scratch() { fs::remove_all(path_); }
	Scratch(const Scratch &) = delete;
	Scratch &operator=(const Scratch &) = delete;
	const fs::path &path() const { return path_; }

private:
	fs::path path_;
};

// Checks what an install put under `root`; `out` is what the install
// command printed, shown when a check fails.
void expect_installed(const fs::path &root, const std::string &out)
{
	for (const char *program : {"bin/burstcast", "bin/pacecast"}) {
		EXPECT_TRUE(fs::is_regular_file(root / program)) << root / program << "\n" << out;
		EXPECT_EQ(access((root / program).c_str(), X_OK), 0) << root / program << "\n" << out;
	}
	for (const char *page : {"share/man/man1/burstcast.1.gz", "share/man/man1/pacecast.1.gz"})
		EXPECT_TRUE(fs::is_regular_file(root / page)) << root / page << "\n" << out;
}

TEST(Install, IntoAPrefixAndADestdir)
{
	Scratch prefix;
	expect_installed(prefix.path(), shell("cmake --install " + build_dir + " --prefix " + prefix.path().string(), 60));
	Scratch destdir;
	expect_installed(destdir.path() / "usr",
	    shell("DESTDIR=" + destdir.path().string() + " cmake --install " + build_dir + " --prefix /usr", 60));
}

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

// The Debian package, made from this build into a scratch folder.
class Package : public testing::Test {
protected:
	void SetUp() override
	{
		// Stripped, the programs lose the names the leak checker's
		// suppressions match; packages come from the optimised build.
		if (build::sanitized)
			GTEST_SKIP() << "packages are made from the optimised build";
		std::string out = shell("cd " + dir_.path().string() + " && cpack -G DEB -B " + dir_.path().string() +
		    " --config " + build_dir + "/CPackConfig.cmake", 120);
		for (const auto &entry : fs::directory_iterator(dir_.path()))
			if (entry.path().extension() == ".deb")
				deb_ = entry.path().string();
		ASSERT_FALSE(deb_.empty()) << out;
	}
	std::string field(const std::string &name) const { return shell("dpkg-deb -f " + deb_ + " " + name); }

	Scratch dir_;
	std::string deb_;
};

TEST_F(Package, DebHoldsBothProgramsAndNamesLiblo)
{
	// burstcast embeds liblo: the package names the liblo it was built from,
	// and its copyright file says so. Linked shared, it does neither.
	std::string built_using = field("Built-Using");
	fs::path root = dir_.path() / "root";
	shell("dpkg-deb -x " + deb_ + " " + root.string());
	std::string copyright = read_file((root / "usr/share/doc/oscsenders/copyright").string());
	if (build::burstcast_static) {
		EXPECT_EQ(built_using.rfind("liblo (= ", 0), 0U) << built_using;
		EXPECT_NE(copyright.find("contains liblo's code"), std::string::npos) << copyright;
	} else {
		EXPECT_EQ(built_using.find("liblo"), std::string::npos) << built_using;
		EXPECT_EQ(copyright.find("liblo"), std::string::npos) << copyright;
	}

	std::string depends = field("Depends");
	EXPECT_NE(depends.find("liblo7"), std::string::npos) << depends;
	EXPECT_NE(depends.find("libc6"), std::string::npos) << depends;
	std::string description = field("Description");
	EXPECT_GT(std::count(description.begin(), description.end(), '\n'), 3) << description;
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

// The version lives in CMake's project(); the manual pages' headers and the
// changelog's newest section must carry the same one.
TEST(Version, ManPagesAndChangelogAgreeWithTheProject)
{
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
