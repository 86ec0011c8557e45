// SPDX-License-Identifier: MIT
#include "sender.hpp"

#include <cmath>
#include <cstdio>
#include <thread>

// liblo's headers choose Windows' sockets by WIN32, which a compiler in
// strict ISO mode (MinGW-w64 with -std=c++20) does not define.
#if defined(_WIN32) && !defined(WIN32)
#define WIN32 1
#endif
#include <lo/lo.h>

namespace sender {

bool quit_mode(int argc, const char *const argv[])
{
	// argv[1][1] is read only when argv[1][0] is '-', so never past the NUL.
	return argc > 1 && argv[1][0] == '-' && argv[1][1] == 'q';
}

double stepped_sine(Stepped &step, std::int32_t counter)
{
	std::int32_t quotient = counter / step.divisor;
	if (quotient != step.quotient) {
		step.quotient = quotient;
		step.sine = std::sin(static_cast<double>(quotient));
	}
	return step.sine;
}

namespace {

// A handle the library failed to create: say which call failed and stop,
// rather than hand a null handle to every later send.
int no_handle(const char *name, const char *call)
{
	// Nothing is left to tell if standard error fails too; the status says it.
	static_cast<void>(std::fprintf(stderr, "%s: %s failed\n", name, call));
	return 1;
}

// The error line for a failed send. Normal mode never ends by itself, so
// the line is flushed at once: a pipe or a file would otherwise never see it.
void report(lo_address dest)
{
	const char *text = lo_address_errstr(dest);
	// Standard output is the one place failures are reported: if it fails
	// as well (closed, a full disk), there is nowhere left to say so.
	static_cast<void>(std::printf("OSC error %d: %s\n", lo_address_errno(dest), text != nullptr ? text : ""));
	static_cast<void>(std::fflush(stdout));
}

} // namespace

int run(const char *name, int argc, const char *const argv[], std::chrono::milliseconds pause)
{
	// Both handles live as long as the process: it ends right after "/quit"
	// or is stopped from outside while streaming.
	lo_blob blob = lo_blob_new(5, "ABCDE");
	if (blob == nullptr)
		return no_handle(name, "lo_blob_new");
	lo_address dest = lo_address_new("127.0.0.1", "10000");
	if (dest == nullptr)
		return no_handle(name, "lo_address_new");

	if (quit_mode(argc, argv)) {
		if (lo_send(dest, "/quit", nullptr) == -1)
			report(dest);
		return 0;
	}

	// The fixed values are the doubles that equal their 32-bit floats, so
	// the library's narrowing loses nothing.
	if (lo_send(dest, "/foo/bar", "ff", 0.12345678359270096, 23.0) == -1)
		report(dest);
	lo_send(dest, "/a/b/c/d", "sfsff", "one", 0.12345678359270096, "three",
	    -2.3001000215572276e-07, 1.0);
	lo_send(dest, "/a/b/c/d", "b", blob);

	auto send = [dest](const char *path, double value, double constant) {
		lo_send(dest, path, "ff", value, constant);
	};
	for (Stream stream;;) {
		cycle(stream, send);
		if (pause.count() > 0)
			std::this_thread::sleep_for(pause);
	}
}

} // namespace sender
