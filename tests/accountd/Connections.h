#pragma once

#include <string>

namespace flowtally {

// The tests' side of a Unix stream socket, plain system calls.

// A connected socket of the test's, or -1; sending and receiving on it give
// up after 5 s.
int connectTo(const std::string &path);
// Sends the bytes (as many as the peer takes), then reads until the peer
// closes or 5 s passed: what came.
std::string sendAndRead(int fd, const std::string &bytes);

} // namespace flowtally
