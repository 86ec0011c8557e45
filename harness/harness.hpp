// SPDX-License-Identifier: MIT
// Test and benchmark harness: runs the built programs as child processes
// inside a private network namespace and receives what they send on a real
// UDP socket bound to 127.0.0.1:10000. Every wait is bounded.
#ifndef HARNESS_HARNESS_HPP
#define HARNESS_HARNESS_HPP

#include "build_facts.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace harness {

// The programs under test, as built.
inline const std::string burstcast = build::burstcast_file;
inline const std::string pacecast = build::pacecast_file;

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

// "2F 71 ..." to bytes; spaces are ignored.
Bytes hex(const std::string &text);
std::string to_hex(const Bytes &bytes);

// Moves this process into a new network namespace of its own, its loopback
// down (with a user namespace when it lacks the privilege). Each call makes a
// fresh one, so tests in one process do not share interfaces or ports.
// Returns an empty string on success, else why it could not.
std::string enter_private_net();

// Brings the namespace's loopback interface up or down; throws on failure.
void set_loopback(bool up);

struct Datagram {
	Bytes bytes;
	std::chrono::nanoseconds stamp; // when the kernel queued it
};

// A UDP socket bound to 127.0.0.1:10000 with a receive buffer large enough
// to hold every datagram a test looks at.
class Receiver {
public:
	explicit Receiver(int buffer_bytes = 32 << 20);
	~Receiver();
	Receiver(const Receiver &) = delete;
	Receiver &operator=(const Receiver &) = delete;

	// The next datagram, or nothing after `timeout`.
	std::optional<Datagram> next(milliseconds timeout);
	// The first `count` datagrams; fewer if one does not come within `timeout`.
	std::vector<Datagram> take(std::size_t count, milliseconds timeout);
	int fd() const { return fd_; }

private:
	int fd_;
};

enum class Stdout : std::uint8_t { pipe, closed };

struct Options {
	Stdout out = Stdout::pipe;
	// Runs in the child between fork and exec.
	std::function<void()> before_exec;
};

// A program run as a child, its standard output and error on pipes. The
// destructor kills it if it still runs.
class Child {
public:
	Child(const std::string &path, const std::vector<std::string> &args, const Options &options = {});
	~Child();
	Child(const Child &) = delete;
	Child &operator=(const Child &) = delete;

	// The exit status (or 128 + signal), or nothing if it still runs after
	// `timeout`.
	std::optional<int> wait(milliseconds timeout);
	bool running();
	void signal(int sig);
	// Standard output read so far and within `timeout`: stops early at a
	// newline when `line` is set, or at end of file.
	std::string read_out(milliseconds timeout, bool line = false);
	// All of standard error, once the child has exited.
	std::string read_err(milliseconds timeout);
	pid_t pid() const { return pid_; }

private:
	pid_t pid_ = -1;
	int out_ = -1;
	int err_ = -1;
	std::optional<int> status_;
};

// The UDP counters of this process's network namespace, as the kernel keeps
// them (/proc/net/snmp): OutDatagrams, NoPorts, RcvbufErrors, ...
std::map<std::string, long> udp_counters();

// A whole file; empty if it cannot be read.
std::string read_file(const std::string &path);

// The output of a shell command, bounded by `timeout` seconds.
std::string shell(const std::string &command, int timeout_seconds = 20);

} // namespace harness

#endif
