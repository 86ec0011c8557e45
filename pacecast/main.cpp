// SPDX-License-Identifier: MIT
// pacecast: sends a fixed sequence of OSC messages to 127.0.0.1 port 10000,
// then streams "/jamin" and "/jumbo", one pair every 100 ms, until it is
// stopped. With -q it sends "/quit" and exits.
#include "sender.hpp"

int main(int argc, char *argv[])
{
	return sender::run("pacecast", argc, argv, std::chrono::milliseconds(100));
}
