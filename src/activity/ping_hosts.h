// Hosts that answer a ping as activity ("keep the server on while my
// desktop is on"): at each call one ICMP echo request goes to every address
// of every host at once, and the answers are awaited for a bounded time.
// Names are looked up at each call, so a host that moves is followed.
#pragma once

#include <string_view>

#include "activity/source_scan.h"
#include "base/activity.h"
#include "base/source_table.h"

constexpr int ping_wait_ms_default = 1000;
constexpr int ping_resolve_ms_default = 2000;
extern int ping_wait_ms;     // for the answers, in all
extern int ping_resolve_ms;  // for the names, in all

// Pings the hosts of a comma-separated list (names, IPv4 or IPv6
// addresses) and names those that answered, as the list writes them. The
// socket is the unprivileged ping socket where the system allows it
// (net.ipv4.ping_group_range), else a raw one (CAP_NET_RAW). A reply counts
// only with the identifier and sequence number of a request of this call,
// from the address that request went to. Not answered when a name cannot
// be resolved in time, or no socket can be opened for any address of a
// host. A stop request ends every wait at once: the call is then
// abandoned.
source_scan ping_hosts_scan(std::string_view hosts);

// Busy with "(応答ホストあり)" and "ping:HOST" per host of
// settings.ping_hosts that answered; off while the list is empty.
void ping_check(activity_check& check);
extern source_health ping_health;

// Puts the waits back, forgets a failure and frees what lookups had been
// left running.
void ping_hosts_reset();
