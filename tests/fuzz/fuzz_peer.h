// The in-process fake meter of the meter-response harnesses, answering every
// request of every connection from the tape the current input installed. Two
// builds: fuzz_peer.cpp, one loopback listener and one thread for the whole
// process; fuzz_peer_memory.cpp, the socket calls answered in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tandrel::fuzz {

// Installs the tape for the next call(s) and returns the options text that
// points a call at the peer ("port" and a short "timeout_ms").
std::string install_tape(const std::uint8_t* data, std::size_t size);

}  // namespace tandrel::fuzz
