#pragma once
// The computer's usable IPv4 interfaces and the broadcast address of each,
// where the identity query is sent to find the looper.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace qx {

using IPv4 = std::array<std::uint8_t, 4>;  // most significant byte first

struct AddrPairs {
    IPv4 addr{};
    IPv4 bcast{};  // addr OR (NOT netmask), byte by byte

    bool operator==(const AddrPairs&) const = default;
};

// One entry of the platform's interface list, reduced to what the filter
// looks at. address and netmask are present only for IPv4 entries that have
// them.
struct InterfaceEntry {
    unsigned int flags = 0;  // IFF_* bits
    int family = 0;          // the address's family (AF_INET, AF_INET6, ...)
    std::optional<IPv4> address;
    std::optional<IPv4> netmask;
};

// Keeps the IPv4 entries that are up and running and not loopback, in list
// order. Entries without an address or a netmask cannot be broadcast on and
// are passed over.
std::vector<AddrPairs> keepUsableInterfaces(std::span<const InterfaceEntry> entries);

// The platform's interface list (getifaddrs) through keepUsableInterfaces.
// Empty when the platform call fails.
std::vector<AddrPairs> findInterfaces();

// Where the network thread gets its interface list; tests supply their own.
using InterfaceEnumerator = std::function<std::vector<AddrPairs>()>;

}  // namespace qx
