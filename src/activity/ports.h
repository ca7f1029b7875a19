// Connections as activity: an established TCP connection, IPv4 or IPv6,
// whose local port is one of settings.busy_ports makes the check busy.
// Read with the kernel's socket diagnostics (netlink), or from
// /proc/net/tcp and tcp6 where netlink is not available.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "activity/source_report.h"
#include "base/activity.h"

constexpr const char* proc_net_tcp_path_default = "/proc/net/tcp";
constexpr const char* proc_net_tcp6_path_default = "/proc/net/tcp6";
extern const char* proc_net_tcp_path;
extern const char* proc_net_tcp6_path;
constexpr const char* proc_net_snmp_path_default = "/proc/net/snmp";
extern const char* proc_net_snmp_path;  // TCP's counters of opened connections
extern bool port_use_netlink;  // false: read the /proc files only

// The ports of a comma-separated list; items that are no port (1-65535)
// are left out.
std::vector<uint16_t> parse_port_list(std::string_view list);

// Adds "PORT:PEER" for every established connection of a /proc/net/tcp
// (v6 false) or tcp6 stream whose local port is listed, and sets opening
// when one on a listed port is being opened. Returns false when the stream
// is not such a table.
bool parse_proc_net_tcp(FILE* in, bool v6, const std::vector<uint16_t>& ports, source_findings& found,
                        bool& opening);

// The same through one socket-diagnostics dump of IPv4 and IPv6; opening
// tells whether a connection on a listed port is being opened. Returns
// false when the kernel does not answer.
bool read_tcp_netlink(const std::vector<uint16_t>& ports, source_findings& found, bool& opening);

// TCP's counters of connections opened (actively and passively) and of
// established ones, as /proc/net/snmp gives them. Between checks where
// they stay the same, no connection has appeared.
struct tcp_counters {
    uint64_t active_opens = 0;
    uint64_t passive_opens = 0;
    uint64_t established = 0;
    bool operator==(const tcp_counters& other) const
    {
        return active_opens == other.active_opens && passive_opens == other.passive_opens &&
               established == other.established;
    }
};

// Reads the counters from a /proc/net/snmp stream. False when it has no
// such counters.
bool parse_tcp_counters(FILE* in, tcp_counters& counters);

// Busy with "(接続中)" and "port:PORT:PEER" per connection; off while the
// list holds no port.
void port_check(activity_check& check);
extern source_health port_health;

// Puts the paths and port_use_netlink back and forgets a failure and the
// last walk.
void port_reset();
