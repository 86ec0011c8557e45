// SPDX-License-Identifier: MIT
// burstcast: sends a fixed sequence of OSC messages to 127.0.0.1 port 10000,
// then streams "/jamin" and "/jumbo" back to back, as fast as the library and
// the network stack allow, until it is stopped. With -q it sends "/quit" and
// exits.
#include "sender.hpp"

int main(int argc, char *argv[])
{
	return sender::run("burstcast", argc, argv, std::chrono::milliseconds(0));
}
