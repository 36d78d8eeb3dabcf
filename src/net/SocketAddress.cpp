#include "net/SocketAddress.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

namespace qx {

sockaddr_in makeSockaddr(const IPv4& address, std::uint16_t port)
{
    sockaddr_in out{};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    std::memcpy(&out.sin_addr.s_addr, address.data(), address.size());
    return out;
}

IPv4 hostOf(const sockaddr_in& address)
{
    IPv4 out{};
    std::memcpy(out.data(), &address.sin_addr.s_addr, out.size());
    return out;
}

std::uint16_t portOf(const sockaddr_in& address) { return ntohs(address.sin_port); }

std::string addressText(const sockaddr_in& address)
{
    const IPv4 host = hostOf(address);
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d:%d", host[0], host[1], host[2], host[3], portOf(address));
    return text;
}

bool isAddressSet(const sockaddr_in& address) { return address.sin_family == AF_INET; }

bool sameHost(const sockaddr_in& a, const sockaddr_in& b)
{
    return a.sin_family == b.sin_family && a.sin_addr.s_addr == b.sin_addr.s_addr;
}

bool sameHostAndPort(const sockaddr_in& a, const sockaddr_in& b)
{
    return sameHost(a, b) && a.sin_port == b.sin_port;
}

}  // namespace qx
