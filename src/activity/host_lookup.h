// Host names turned into addresses at once and within a bounded time, for
// a check that must not hang on a slow name server.
#pragma once

#include <cstddef>
#include <string>
#include <sys/socket.h>
#include <vector>

// At most this many addresses of one host are kept.
constexpr std::size_t host_addresses_max = 4;

struct host_address {
    sockaddr_storage address;  // AF_INET or AF_INET6
    socklen_t length;
};

// Fills addresses[i] with the IPv4 and IPv6 addresses of names[i], a
// numeric address taken as it is, every name looked up at once (each on a
// thread of its own, which a lookup that does not end in time keeps until
// it ends; the next call waits for it rather than start another). Waits at
// most deadline_ms in all, and ends at once on a stop request (the names
// not looked up by then have no address). Returns false with failure
// naming the first name that could not be resolved or was not within the
// deadline.
bool hosts_resolve(const std::vector<std::string>& names, int deadline_ms,
                   std::vector<std::vector<host_address>>& addresses, std::string& failure);

// Frees the lookups that had outlived their call and have ended since.
void host_lookups_forget();
