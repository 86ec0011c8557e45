// SPDX-License-Identifier: MIT
// lib: the OSC library's ceiling. Exactly the two lo_send calls of a
// streaming cycle, with the values of cycle 0, and nothing else, back to back
// until it is stopped.
#include <cstdio>

#include <lo/lo.h>

int main()
{
	lo_address dest = lo_address_new("127.0.0.1", "10000");
	if (dest == nullptr) {
		static_cast<void>(std::fputs("lib: lo_address_new failed\n", stderr));
		return 1;
	}
	for (;;) {
		lo_send(dest, "/jamin", "ff", 0.0, 1.0);
		lo_send(dest, "/jumbo", "ff", 0.0, -1.0);
	}
}
