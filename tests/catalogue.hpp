// SPDX-License-Identifier: MIT
// The datagrams both programs send, byte for byte, as receivers see them.
#ifndef TESTS_CATALOGUE_HPP
#define TESTS_CATALOGUE_HPP

#include "harness.hpp"

namespace catalogue {

inline const harness::Bytes quit = harness::hex("2F 71 75 69 74 00 00 00 2C 00 00 00");
inline const harness::Bytes foo_bar = harness::hex(
    "2F 66 6F 6F 2F 62 61 72 00 00 00 00 2C 66 66 00 3D FC D6 E9 41 B8 00 00");
inline const harness::Bytes abcd_floats = harness::hex(
    "2F 61 2F 62 2F 63 2F 64 00 00 00 00 2C 73 66 73 66 66 00 00 6F 6E 65 00"
    "3D FC D6 E9 74 68 72 65 65 00 00 00 B4 76 F8 AB 3F 80 00 00");
inline const harness::Bytes abcd_blob = harness::hex(
    "2F 61 2F 62 2F 63 2F 64 00 00 00 00 2C 62 00 00 00 00 00 05 41 42 43 44 45 00 00 00");

// sin(0), sin(1), sin(2) as 32-bit floats on the wire.
inline const char *const sine[] = {"00 00 00 00", "3F 57 6A A4", "3F 68 C7 B7"};

// "/jamin" and "/jumbo" of streaming cycle r (r < 75): sin(r / 50), 1.0 and
// sin(r / 25), -1.0.
inline harness::Bytes jamin(int r)
{
	return harness::hex(std::string("2F 6A 61 6D 69 6E 00 00 2C 66 66 00") + sine[r / 50] + "3F 80 00 00");
}

inline harness::Bytes jumbo(int r)
{
	return harness::hex(std::string("2F 6A 75 6D 62 6F 00 00 2C 66 66 00") + sine[r / 25] + "BF 80 00 00");
}

} // namespace catalogue

#endif
