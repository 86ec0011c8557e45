// SPDX-License-Identifier: MIT
// The datagrams both programs send, byte for byte, read from the README,
// which publishes them for receivers' authors: the tests hold the programs
// to the published bytes.
#ifndef TESTS_CATALOGUE_HPP
#define TESTS_CATALOGUE_HPP

#include "harness.hpp"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace catalogue {

// The README's datagrams 1 to 6 (a line "    N  2F ...", which lines
// indented further continue), then sin(1) and sin(2) on the wire.
inline std::vector<harness::Bytes> published()
{
	std::string text = harness::read_file(build::source_dir + std::string("/README.md"));
	std::istringstream lines(text);
	std::vector<harness::Bytes> shown;
	for (std::string line; std::getline(lines, line);)
		if (line.rfind("    " + std::to_string(shown.size() + 1) + "  ", 0) == 0)
			shown.push_back(harness::hex(line.substr(7)));
		else if (!shown.empty() && line.rfind("       ", 0) == 0)
			shown.back() = harness::hex(harness::to_hex(shown.back()) + line.substr(7));
		else if (!shown.empty())
			break;
	for (const char *sine : {"sin(1) is `", "sin(2) is `"})
		if (auto at = text.find(sine); at != std::string::npos)
			shown.push_back(harness::hex(text.substr(at + std::strlen(sine), 11)));
	if (shown.size() != 8)
		throw std::runtime_error("README.md: its datagrams 1 to 6, or sin(1) and sin(2) on the wire, not found");
	return shown;
}

inline const std::vector<harness::Bytes> readme = published();
inline const harness::Bytes &quit = readme[0];
inline const harness::Bytes &foo_bar = readme[1];
inline const harness::Bytes &abcd_floats = readme[2];
inline const harness::Bytes &abcd_blob = readme[3];

// "/jamin" and "/jumbo" of streaming cycle r (r < 75): cycle 0's, the sine
// replaced by sin(r / 50) and sin(r / 25).
inline harness::Bytes with_sine(harness::Bytes cycle0, std::size_t n)
{
	if (n > 0)
		std::copy(readme[5 + n].begin(), readme[5 + n].end(), cycle0.begin() + 12);
	return cycle0;
}
inline harness::Bytes jamin(int r) { return with_sine(readme[4], static_cast<std::size_t>(r / 50)); }
inline harness::Bytes jumbo(int r) { return with_sine(readme[5], static_cast<std::size_t>(r / 25)); }

} // namespace catalogue

#endif
