#include "net/InterfaceList.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace qx {
namespace {

IPv4 bytesOf(const sockaddr* address)
{
    sockaddr_in in{};
    std::memcpy(&in, address, sizeof in);
    IPv4 out{};
    std::memcpy(out.data(), &in.sin_addr.s_addr, out.size());  // already network order
    return out;
}

InterfaceEntry entryOf(const ifaddrs& item)
{
    InterfaceEntry entry;
    entry.flags = item.ifa_flags;
    if (item.ifa_addr) entry.family = item.ifa_addr->sa_family;
    if (entry.family == AF_INET) entry.address = bytesOf(item.ifa_addr);
    if (entry.family == AF_INET && item.ifa_netmask) entry.netmask = bytesOf(item.ifa_netmask);
    return entry;
}

}  // namespace

std::vector<AddrPairs> keepUsableInterfaces(std::span<const InterfaceEntry> entries)
{
    constexpr unsigned int looked = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
    constexpr unsigned int wanted = IFF_UP | IFF_RUNNING;
    std::vector<AddrPairs> kept;
    for (const InterfaceEntry& entry : entries) {
        if ((entry.flags & looked) != wanted || entry.family != AF_INET) continue;
        if (!entry.address || !entry.netmask) continue;
        AddrPairs pair{*entry.address, {}};
        for (std::size_t i = 0; i < pair.bcast.size(); ++i)
            pair.bcast[i] = static_cast<std::uint8_t>((*entry.address)[i] | ~(*entry.netmask)[i]);
        kept.push_back(pair);
    }
    return kept;
}

std::vector<AddrPairs> findInterfaces()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return {};
    std::vector<InterfaceEntry> entries;
    for (const ifaddrs* item = list; item; item = item->ifa_next) entries.push_back(entryOf(*item));
    freeifaddrs(list);
    return keepUsableInterfaces(entries);
}

}  // namespace qx
