// SPDX-License-Identifier: MIT
// raw: the system-call limit of sending one message per datagram. Sends the
// two streaming datagrams of cycle 0, already encoded, with plain sendto()
// calls to 127.0.0.1:10000, back to back, until it is stopped.
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>

int main()
{
	static const unsigned char jamin[] = {0x2F, 0x6A, 0x61, 0x6D, 0x69, 0x6E, 0x00, 0x00, 0x2C, 0x66,
	    0x66, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3F, 0x80, 0x00, 0x00};
	static const unsigned char jumbo[] = {0x2F, 0x6A, 0x75, 0x6D, 0x62, 0x6F, 0x00, 0x00, 0x2C, 0x66,
	    0x66, 0x00, 0x00, 0x00, 0x00, 0x00, 0xBF, 0x80, 0x00, 0x00};

	int s = socket(AF_INET, SOCK_DGRAM, 0);
	if (s < 0) {
		std::perror("raw: socket");
		return 1;
	}
	sockaddr_in to{};
	to.sin_family = AF_INET;
	to.sin_port = htons(10000);
	to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	const auto *addr = reinterpret_cast<const sockaddr *>(&to);
	// The same call, flags and destination form as the OSC library's sends.
	for (;;) {
		sendto(s, jamin, sizeof jamin, MSG_NOSIGNAL, addr, sizeof to);
		sendto(s, jumbo, sizeof jumbo, MSG_NOSIGNAL, addr, sizeof to);
	}
}
