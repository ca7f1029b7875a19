#include "activity/ping_hosts.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "activity/host_lookup.h"
#include "activity/source_report.h"
#include "base/messages.h"
#include "base/name_list.h"
#include "base/settings.h"
#include "base/stop.h"

int ping_wait_ms = ping_wait_ms_default;
int ping_resolve_ms = ping_resolve_ms_default;

source_health ping_health;

namespace {

// Sequence numbers carry on from call to call, so that a late answer to an
// earlier call never matches a request of this one.
uint16_t next_sequence = 0;
uint16_t calls = 0;

constexpr uint8_t icmp_echo_request = 8;
constexpr uint8_t icmp_echo_reply = 0;
constexpr int icmp_filter_option = 1;  // ICMP_FILTER of <linux/icmp.h>: a mask of the types a raw socket drops

// An ICMP socket of one family and the identifier its replies carry.
struct echo_socket {
    int family = AF_UNSPEC;
    int fd = -1;
    int error = 0;  // why it could not be opened
    bool raw = false;
    uint16_t id = 0;
    ~echo_socket()
    {
        if (fd >= 0)
            (void)close(fd);
    }
};

// A request sent: to which host and address, with which sequence number.
struct echo_request {
    std::size_t host;
    const host_address* to;
    uint16_t sequence;
};

// An echo message: type, code, checksum, identifier, sequence number (each
// 16 bits in network order), then data.
constexpr std::size_t echo_size = 24;

long long now_ms()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Lets only echo replies through to a raw socket, which would otherwise
// get a copy of every ICMP message the machine receives.
void raw_filter(const echo_socket& s)
{
    if (s.family == AF_INET) {
        const uint32_t dropped = ~(1U << icmp_echo_reply);
        (void)setsockopt(s.fd, SOL_RAW, icmp_filter_option, &dropped, sizeof dropped);
        return;
    }
    icmp6_filter filter;
    ICMP6_FILTER_SETBLOCKALL(&filter);
    ICMP6_FILTER_SETPASS(ICMP6_ECHO_REPLY, &filter);
    (void)setsockopt(s.fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
}

// Opens the unprivileged ping socket of s.family, which the kernel gives
// an identifier of its own when it is bound, else a raw socket that uses
// raw_id.
void echo_socket_open(echo_socket& s, uint16_t raw_id)
{
    const int protocol = s.family == AF_INET ? static_cast<int>(IPPROTO_ICMP) : static_cast<int>(IPPROTO_ICMPV6);
    s.fd = socket(s.family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (s.fd >= 0) {
        sockaddr_storage bound{};
        bound.ss_family = static_cast<sa_family_t>(s.family);
        socklen_t length = s.family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        if (bind(s.fd, reinterpret_cast<sockaddr*>(&bound), length) == 0 &&
            getsockname(s.fd, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
            const uint16_t port = s.family == AF_INET ? reinterpret_cast<sockaddr_in&>(bound).sin_port
                                                      : reinterpret_cast<sockaddr_in6&>(bound).sin6_port;
            s.id = ntohs(port);
            return;
        }
        (void)close(s.fd);
    }
    s.fd = socket(s.family, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (s.fd < 0) {
        s.error = errno;
        return;
    }
    s.raw = true;
    s.id = raw_id;
    raw_filter(s);
}

// The Internet checksum of an ICMPv4 message (its length even).
uint16_t icmp_checksum(const unsigned char (&m)[echo_size])
{
    uint32_t sum = 0;
    for (std::size_t i = 0; i < echo_size; i += 2)
        sum += static_cast<uint32_t>(m[i] << 8 | m[i + 1]);
    while (sum >> 16 != 0)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

void put_16(unsigned char* at, uint16_t value)
{
    at[0] = static_cast<unsigned char>(value >> 8);
    at[1] = static_cast<unsigned char>(value);
}

// Sends one echo request. The kernel fills in the checksum of ICMPv6, and
// the identifier and checksum of a ping socket.
void echo_send(const echo_socket& s, const host_address& to, uint16_t sequence)
{
    unsigned char m[echo_size] = {};
    m[0] = s.family == AF_INET ? icmp_echo_request : ICMP6_ECHO_REQUEST;
    put_16(m + 4, s.id);
    put_16(m + 6, sequence);
    memcpy(m + 8, "lullwatcher-ping", echo_size - 8);
    if (s.family == AF_INET)
        put_16(m + 2, icmp_checksum(m));
    // A host that cannot be reached now simply does not answer.
    (void)sendto(s.fd, m, sizeof m, 0, reinterpret_cast<const sockaddr*>(&to.address), to.length);
}

bool same_address(const sockaddr_storage& a, const sockaddr_storage& b)
{
    if (a.ss_family != b.ss_family)
        return false;
    if (a.ss_family == AF_INET)
        return memcmp(&reinterpret_cast<const sockaddr_in&>(a).sin_addr,
                      &reinterpret_cast<const sockaddr_in&>(b).sin_addr, sizeof(in_addr)) == 0;
    return memcmp(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr,
                  &reinterpret_cast<const sockaddr_in6&>(b).sin6_addr, sizeof(in6_addr)) == 0;
}

// Reads what waits on s and marks the host of every request answered: an
// echo reply with its socket's identifier and the request's sequence
// number, from the address the request went to.
void echo_receive(const echo_socket& s, const std::vector<echo_request>& requests, std::vector<bool>& answered)
{
    unsigned char packet[2048];
    sockaddr_storage from{};
    socklen_t from_length = sizeof from;
    ssize_t n;
    while ((n = recvfrom(s.fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &from_length)) >= 0) {
        from_length = sizeof from;
        // A raw IPv4 socket gives the IP header too, of 4 × its low nibble bytes.
        const std::size_t start = s.raw && s.family == AF_INET && n > 0 ? (packet[0] & 0x0fu) * 4u : 0;
        if (static_cast<std::size_t>(n) < start + 8)
            continue;
        const unsigned char* icmp = packet + start;
        const uint8_t reply = s.family == AF_INET ? icmp_echo_reply : ICMP6_ECHO_REPLY;
        const unsigned id = icmp[4] << 8 | icmp[5];
        const unsigned sequence = icmp[6] << 8 | icmp[7];
        if (icmp[0] != reply || icmp[1] != 0 || id != s.id)
            continue;
        for (const echo_request& r : requests)
            if (r.sequence == sequence && same_address(from, r.to->address))
                answered[r.host] = true;
    }
}

// Waits for the answers until every host answered, ping_wait_ms have
// passed or a stop is requested.
void answers_wait(const echo_socket (&sockets)[2], const std::vector<echo_request>& requests,
                  std::vector<bool>& answered)
{
    const long long deadline = now_ms() + ping_wait_ms;
    while (!stop_requested()) {
        bool all = true;
        for (const bool a : answered)
            all = all && a;
        const long long left = deadline - now_ms();
        if (all || left <= 0)
            return;
        pollfd fds[3] = {{sockets[0].fd, POLLIN, 0}, {sockets[1].fd, POLLIN, 0}, {stop_wake_fd(), POLLIN, 0}};
        if (poll(fds, 3, static_cast<int>(left)) < 0 && errno != EINTR)
            return;
        for (int k = 0; k < 2; k++)
            if (fds[k].revents != 0)
                echo_receive(sockets[k], requests, answered);
    }
}

}  // namespace

namespace {

source_scan hosts_ping(std::string_view list)
{
    source_scan scan;
    std::vector<std::string> hosts;
    for_each_list_item(list, [&](std::string_view host) { hosts.emplace_back(host); });
    std::vector<std::vector<host_address>> addresses;
    if (!hosts_resolve(hosts, ping_resolve_ms, addresses, scan.failure))
        return scan;
    scan.answered = true;
    if (stop_requested())
        return scan;
    echo_socket sockets[2];
    sockets[0].family = AF_INET;
    sockets[1].family = AF_INET6;
    const uint16_t raw_id = static_cast<uint16_t>(getpid() ^ ++calls * 0x9e37u);
    std::vector<echo_request> requests;
    for (std::size_t i = 0; i < hosts.size(); i++) {
        int error = 0;
        bool sent = false;
        for (const host_address& to : addresses[i]) {
            echo_socket& s = sockets[to.address.ss_family == AF_INET ? 0 : 1];
            if (s.fd < 0 && s.error == 0)
                echo_socket_open(s, raw_id);
            error = s.fd < 0 ? s.error : error;
            if (s.fd < 0)
                continue;
            requests.push_back({i, &to, next_sequence++});
            echo_send(s, to, requests.back().sequence);
            sent = true;
        }
        if (!sent) {
            scan.answered = false;
            scan.failure = text_format(tr("%s（ICMPソケットを開けません：%s）"), hosts[i].c_str(), strerror(error));
            return scan;
        }
    }
    std::vector<bool> answered(hosts.size(), false);
    answers_wait(sockets, requests, answered);
    for (std::size_t i = 0; i < hosts.size(); i++)
        if (answered[i])
            scan_add_name(scan, hosts[i]);
    return scan;
}

}  // namespace

source_scan ping_hosts_scan(std::string_view list)
{
    source_scan scan = hosts_ping(list);
    scan.abandoned = stop_requested();
    return scan;
}

void ping_check(activity_check& check)
{
    if (settings.ping_hosts[0] == '\0')
        return;
    const source_scan scan = ping_hosts_scan(settings.ping_hosts);
    if (scan.abandoned)
        return;
    source_findings found;
    for (const std::string& host : scan.names)
        findings_add(found, host);
    const std::string what =
        text_format(tr("pingの応答（%s）"), scan.answered ? settings.ping_hosts : scan.failure.c_str());
    source_report(check, ping_health, scan.answered, found, what.c_str(), tr("(応答ホストあり)"), "ping");
}

void ping_hosts_reset()
{
    ping_wait_ms = ping_wait_ms_default;
    ping_resolve_ms = ping_resolve_ms_default;
    ping_health = {};
    host_lookups_forget();
}
