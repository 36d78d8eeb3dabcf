#pragma once
// The network link broadcasts on every interface it finds, so the network
// tests run it only inside the panel's namespace, which the CTest fixture
// (scripts/netns-setup.sh) makes with the looper's. A test checks that it
// really runs there, and the link's interface list is cut to the test subnet
// whatever happens.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "net/InterfaceList.h"

namespace qx::test {

inline bool insideNamespace(const std::string& name)
{
    struct stat mine {};
    struct stat wanted {};
    if (::stat("/proc/self/ns/net", &mine) != 0) return false;
    if (::stat(("/var/run/netns/" + name).c_str(), &wanted) != 0) return false;
    return mine.st_dev == wanted.st_dev && mine.st_ino == wanted.st_ino;
}

// 10.77.0.0/16 exists only inside the tests' namespaces.
inline bool inTestSubnet(const IPv4& address) { return address[0] == 10 && address[1] == 77; }

// The platform's list, refused whole (empty) if it holds anything outside
// the test subnet.
inline std::vector<AddrPairs> testSubnetInterfaces()
{
    std::vector<AddrPairs> found = findInterfaces();
    for (const AddrPairs& pair : found)
        if (!inTestSubnet(pair.addr) || !inTestSubnet(pair.bcast)) return {};
    return found;
}

}  // namespace qx::test
