// SPDX-License-Identifier: MIT
// The one routine behind burstcast and pacecast: it sends a fixed sequence of
// OSC messages to 127.0.0.1 port 10000, then streams "/jamin" and "/jumbo"
// for ever, or sends a single "/quit" when asked to.
#ifndef SENDER_SENDER_HPP
#define SENDER_SENDER_HPP

#include <chrono>
#include <cstdint>

namespace sender {

// True when the first argument starts with "-q": the program then sends
// "/quit" and exits. Only the first two characters of argv[1] are read.
bool quit_mode(int argc, const char *const argv[]);

// The step counter after one more send: +1 modulo 2^32, read as signed, so
// 2^31 - 1 is followed by -2^31.
constexpr std::int32_t next_step(std::int32_t counter)
{
	// Signed overflow is undefined; unsigned arithmetic wraps, and the
	// conversion back to signed is modular since C++20.
	return static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + 1U);
}

// The stepped sine that a streaming message carries: sin(counter / divisor),
// with the quotient an integer division truncating toward zero. The quotient
// changes only once in `divisor` counts, so the sine of the last one is kept:
// computed for every message, sin() would cost burstcast about one twentieth
// of its sending rate.
struct Stepped {
	std::int32_t divisor;
	std::int32_t quotient = 0;
	double sine = 0.0; // sin(0)
};
double stepped_sine(Stepped &step, std::int32_t counter);

// The streaming loop's state: the step counter and the two kept sines. The
// stream starts at counter 0; a test may start it anywhere along the way
// (a kept sine is recomputed as soon as its quotient differs).
struct Stream {
	std::int32_t counter = 0;
	Stepped jamin{100};
	Stepped jumbo{50};
};

// One streaming cycle: "/jamin" with sin(counter / 100) and 1.0, the counter
// steps, "/jumbo" with sin(counter / 50) and -1.0, the counter steps again.
// `send(path, value, constant)` sends one message.
template <typename Send>
void cycle(Stream &stream, Send &&send)
{
	send("/jamin", stepped_sine(stream.jamin, stream.counter), 1.0);
	stream.counter = next_step(stream.counter);
	send("/jumbo", stepped_sine(stream.jumbo, stream.counter), -1.0);
	stream.counter = next_step(stream.counter);
}

// Runs the program: creates the blob and the destination, then quit mode or
// the endless stream, sleeping `pause` after every cycle (no sleep call at
// all when it is zero). Returns only in quit mode, with 0, or with 1 when
// the OSC library yields no handle; the line that says so starts with `name`.
int run(const char *name, int argc, const char *const argv[], std::chrono::milliseconds pause);

} // namespace sender

#endif
