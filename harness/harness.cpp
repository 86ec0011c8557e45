// SPDX-License-Identifier: MIT
#include "harness.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace harness {

namespace {

[[noreturn]] void fail(const std::string &what)
{
	throw std::runtime_error(what + ": " + std::strerror(errno));
}

using clock = std::chrono::steady_clock;

int remaining_ms(clock::time_point deadline)
{
	auto left = std::chrono::duration_cast<milliseconds>(deadline - clock::now()).count();
	return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

Bytes hex(const std::string &text)
{
	Bytes out;
	std::string digits;
	for (char c : text)
		if (c != ' ')
			digits += c;
	for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
		out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
	return out;
}

std::string to_hex(const Bytes &bytes)
{
	std::string out;
	char buf[4];
	for (std::uint8_t b : bytes) {
		static_cast<void>(std::snprintf(buf, sizeof buf, "%02X ", b));
		out += buf;
	}
	if (!out.empty())
		out.pop_back();
	return out;
}

std::string enter_private_net()
{
	if (unshare(CLONE_NEWNET) == 0)
		return "";
	int first = errno;
	uid_t uid = getuid();
	gid_t gid = getgid();
	if (unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0) {
		// Map ourselves to root inside, so that children keep the same
		// view of file ownership; later calls then need only CLONE_NEWNET.
		std::ofstream("/proc/self/setgroups") << "deny";
		std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
		std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
		return "";
	}
	return std::string("no private network namespace: unshare: ") + std::strerror(first);
}

void set_loopback(bool up)
{
	int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
	if (s < 0)
		fail("socket");
	ifreq req{};
	std::strncpy(req.ifr_name, "lo", IFNAMSIZ - 1);
	if (ioctl(s, SIOCGIFFLAGS, &req) < 0) {
		close(s);
		fail("SIOCGIFFLAGS");
	}
	req.ifr_flags = static_cast<short>(up ? req.ifr_flags | IFF_UP : req.ifr_flags & ~IFF_UP);
	if (ioctl(s, SIOCSIFFLAGS, &req) < 0) {
		close(s);
		fail("SIOCSIFFLAGS");
	}
	close(s);
}

Receiver::Receiver(int buffer_bytes)
{
	fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
	if (fd_ < 0)
		fail("socket");
	// FORCE passes the system limit when we may; else take what is allowed.
	if (setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &buffer_bytes, sizeof buffer_bytes) < 0)
		setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer_bytes, sizeof buffer_bytes);
	int on = 1;
	// Microsecond stamps: qemu-user, which runs the arm64 tests, passes
	// these through, and drops the nanosecond kind.
	setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMP, &on, sizeof on);
	sockaddr_in addr{};
	addr.sin_family = AF_INET;
	addr.sin_port = htons(10000);
	addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	if (bind(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) < 0) {
		close(fd_);
		fail("bind 127.0.0.1:10000");
	}
}

Receiver::~Receiver()
{
	close(fd_);
}

std::optional<Datagram> Receiver::next(milliseconds timeout)
{
	pollfd p{fd_, POLLIN, 0};
	int n = poll(&p, 1, static_cast<int>(timeout.count()));
	if (n < 0)
		fail("poll");
	if (n == 0)
		return std::nullopt;
	Datagram d;
	d.bytes.resize(65536);
	iovec iov{d.bytes.data(), d.bytes.size()};
	alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timeval))];
	msghdr msg{};
	msg.msg_iov = &iov;
	msg.msg_iovlen = 1;
	msg.msg_control = control;
	msg.msg_controllen = sizeof control;
	ssize_t got = recvmsg(fd_, &msg, 0);
	if (got < 0)
		fail("recvmsg");
	d.bytes.resize(static_cast<std::size_t>(got));
	bool stamped = false;
	for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c))
		if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMP) {
			timeval tv;
			std::memcpy(&tv, CMSG_DATA(c), sizeof tv);
			d.stamp = std::chrono::seconds(tv.tv_sec) + std::chrono::microseconds(tv.tv_usec);
			stamped = true;
		}
	// A missing stamp would make every timing check pass or fail at random.
	if (!stamped)
		throw std::runtime_error("recvmsg: the datagram came without its kernel timestamp");
	return d;
}

std::vector<Datagram> Receiver::take(std::size_t count, milliseconds timeout)
{
	std::vector<Datagram> out;
	while (out.size() < count) {
		auto d = next(timeout);
		if (!d)
			break;
		out.push_back(std::move(*d));
	}
	return out;
}

Child::Child(const std::string &path, const std::vector<std::string> &args, const Options &options)
{
	int out[2];
	int err[2];
	if (pipe2(out, O_CLOEXEC) < 0 || pipe2(err, O_CLOEXEC) < 0)
		fail("pipe2");
	// A cross build's programs run under the emulator its toolchain names.
	std::vector<std::string> words;
	std::istringstream emulator(build::emulator);
	for (std::string word; emulator >> word;)
		words.push_back(word);
	words.push_back(path);
	words.insert(words.end(), args.begin(), args.end());
	std::vector<char *> argv;
	argv.reserve(words.size() + 1);
	for (auto &w : words)
		argv.push_back(w.data());
	argv.push_back(nullptr);

	pid_ = fork();
	if (pid_ < 0)
		fail("fork");
	if (pid_ == 0) {
		// The program starts as from a terminal, whatever the test runner
		// ignores or blocks.
		static_cast<void>(std::signal(SIGINT, SIG_DFL));
		static_cast<void>(std::signal(SIGTERM, SIG_DFL));
		sigset_t none;
		sigemptyset(&none);
		sigprocmask(SIG_SETMASK, &none, nullptr);
		if (options.out == Stdout::pipe)
			dup2(out[1], 1);
		else
			close(1);
		dup2(err[1], 2);
		if (options.before_exec)
			options.before_exec();
		execvp(argv[0], argv.data());
		static_cast<void>(std::fprintf(stderr, "exec %s: %s\n", argv[0], std::strerror(errno)));
		_exit(126);
	}
	close(out[1]);
	close(err[1]);
	out_ = out[0];
	err_ = err[0];
}

Child::~Child()
{
	if (!status_) {
		kill(pid_, SIGKILL);
		waitpid(pid_, nullptr, 0);
	}
	close(out_);
	close(err_);
}

std::optional<int> Child::wait(milliseconds timeout)
{
	auto deadline = clock::now() + timeout;
	while (!status_) {
		int st = 0;
		pid_t r = waitpid(pid_, &st, WNOHANG);
		if (r == pid_)
			status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
		else if (clock::now() >= deadline)
			break;
		else
			std::this_thread::sleep_for(milliseconds(1));
	}
	return status_;
}

bool Child::running()
{
	return !wait(milliseconds(0));
}

void Child::signal(int sig)
{
	if (!status_)
		kill(pid_, sig);
}

namespace {

std::string read_fd(int fd, milliseconds timeout, bool line)
{
	std::string text;
	auto deadline = clock::now() + timeout;
	for (;;) {
		pollfd p{fd, POLLIN, 0};
		int n = poll(&p, 1, remaining_ms(deadline));
		if (n <= 0)
			break;
		char buf[4096];
		ssize_t got = read(fd, buf, line ? 1 : sizeof buf);
		if (got <= 0)
			break;
		text.append(buf, static_cast<std::size_t>(got));
		if (line && text.back() == '\n')
			break;
	}
	return text;
}

} // namespace

std::string Child::read_out(milliseconds timeout, bool line)
{
	return read_fd(out_, timeout, line);
}

std::string Child::read_err(milliseconds timeout)
{
	return read_fd(err_, timeout, false);
}

std::map<std::string, long> udp_counters()
{
	// Two lines start "Udp: ": the counters' names, then their values.
	std::ifstream snmp("/proc/net/snmp");
	std::string names;
	std::string values;
	for (std::string line; std::getline(snmp, line);)
		if (line.rfind("Udp: ", 0) == 0)
			(names.empty() ? names : values) = line;
	std::istringstream n(names);
	std::istringstream v(values);
	std::map<std::string, long> out;
	std::string name;
	std::string value;
	while (n >> name && v >> value)
		if (name != "Udp:")
			out[name] = std::stol(value);
	return out;
}

std::string read_file(const std::string &path)
{
	std::ifstream in(path);
	return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string shell(const std::string &command, int timeout_seconds)
{
	std::string wrapped = "timeout " + std::to_string(timeout_seconds) + " sh -c '" + command + "' 2>&1";
	FILE *p = popen(wrapped.c_str(), "r");
	if (p == nullptr)
		fail("popen");
	std::string text;
	char buf[4096];
	std::size_t got;
	while ((got = std::fread(buf, 1, sizeof buf, p)) > 0)
		text.append(buf, got);
	pclose(p);
	return text;
}

} // namespace harness
