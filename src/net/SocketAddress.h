#pragma once
// IPv4 socket addresses of the looper and of the broadcast targets.
#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "net/InterfaceList.h"

namespace qx {

// The looper listens on this UDP port.
inline constexpr std::uint16_t kLooperPort = 5667;

// Family AF_INET, the port in network byte order, the four bytes as given.
sockaddr_in makeSockaddr(const IPv4& address, std::uint16_t port);

// "10.0.0.7:5667".
std::string addressText(const sockaddr_in& address);

// This platform's socket address has no length byte: an address counts as
// stored when its family is set (an all-zero address means "no looper").
bool isAddressSet(const sockaddr_in& address);

IPv4 hostOf(const sockaddr_in& address);
std::uint16_t portOf(const sockaddr_in& address);
bool sameHost(const sockaddr_in& a, const sockaddr_in& b);
bool sameHostAndPort(const sockaddr_in& a, const sockaddr_in& b);

}  // namespace qx
