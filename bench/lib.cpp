// SPDX-License-Identifier: MIT
// lib, lib_shared: the OSC library's ceiling, linked as burstcast and as
// pacecast link it. Exactly the two lo_send calls of a streaming cycle, with
// the values of cycle 0, and nothing else, back to back until it is stopped.
// With --pace it sleeps 100 ms after each pair, as pacecast does.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include <lo/lo.h>

int main(int argc, char *argv[])
{
	bool pace = argc > 1 && std::strcmp(argv[1], "--pace") == 0;
	lo_address dest = lo_address_new("127.0.0.1", "10000");
	if (dest == nullptr) {
		static_cast<void>(std::fprintf(stderr, "%s: lo_address_new failed\n", argv[0]));
		return 1;
	}
	for (;;) {
		lo_send(dest, "/jamin", "ff", 0.0, 1.0);
		lo_send(dest, "/jumbo", "ff", 0.0, -1.0);
		if (pace)
			std::this_thread::sleep_for(std::chrono::milliseconds(100));
	}
}
