#include "activity/ports.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "base/messages.h"
#include "base/settings.h"
#include "base/streams.h"

const char* proc_net_tcp_path = proc_net_tcp_path_default;
const char* proc_net_tcp6_path = proc_net_tcp6_path_default;
const char* proc_net_snmp_path = proc_net_snmp_path_default;
bool port_use_netlink = true;

source_health port_health;

namespace {

// The kernel's state numbers of an established TCP connection and of the
// states that lead to it: a connection being opened (SYN_SENT, SYN_RECV)
// and a request not yet answered (NEW_SYN_RECV).
constexpr unsigned tcp_state_established = 1;
constexpr unsigned tcp_states_opening = 1u << 2 | 1u << 3 | 1u << 12;

bool port_listed(const std::vector<uint16_t>& ports, uint16_t port)
{
    return std::find(ports.begin(), ports.end(), port) != ports.end();
}

void add_connection(source_findings& found, uint16_t port, int family, const void* peer)
{
    char text[INET6_ADDRSTRLEN];
    if (inet_ntop(family, peer, text, sizeof text) == nullptr)
        text[0] = '\0';
    findings_add(found, std::to_string(port), text);
}

// "0100007F:0016": the address as the kernel prints it (32-bit words in
// the machine's byte order, one for IPv4, four for IPv6) and the port.
bool parse_endpoint(const char*& p, int words, uint32_t (&addr)[4], uint16_t& port)
{
    while (*p == ' ')
        p++;
    for (int i = 0; i < words; i++) {
        char word[9] = {};
        for (int k = 0; k < 8; k++) {
            if (!isxdigit(static_cast<unsigned char>(p[k])))
                return false;
            word[k] = p[k];
        }
        const uint32_t value = static_cast<uint32_t>(strtoul(word, nullptr, 16));
        memcpy(&addr[i], &value, sizeof value);
        p += 8;
    }
    if (*p != ':')
        return false;
    char* end = nullptr;
    const unsigned long value = strtoul(p + 1, &end, 16);
    if (end == p + 1 || value > 0xffff)
        return false;
    port = static_cast<uint16_t>(value);
    p = end;
    return true;
}

}  // namespace

std::vector<uint16_t> parse_port_list(std::string_view list)
{
    std::vector<uint16_t> ports;
    for_each_list_item(list, [&](std::string_view item) {
        unsigned long value = 0;
        for (const char c : item) {
            if (c < '0' || c > '9' || value > 65535)
                return;
            value = value * 10 + static_cast<unsigned long>(c - '0');
        }
        if (value >= 1 && value <= 65535 && !port_listed(ports, static_cast<uint16_t>(value)))
            ports.push_back(static_cast<uint16_t>(value));
    });
    return ports;
}

bool parse_proc_net_tcp(FILE* in, bool v6, const std::vector<uint16_t>& ports, source_findings& found,
                        bool& opening)
{
    char line[1024];  // a table line is under 200 bytes
    if (fgets(line, sizeof line, in) == nullptr || strstr(line, "local_address") == nullptr)
        return false;
    const int words = v6 ? 4 : 1;
    while (fgets(line, sizeof line, in) != nullptr) {
        const char* p = strchr(line, ':');  // after the slot number
        if (p == nullptr)
            continue;
        p++;
        uint32_t local[4], peer[4];
        uint16_t local_port = 0, peer_port = 0;
        if (!parse_endpoint(p, words, local, local_port) || !parse_endpoint(p, words, peer, peer_port))
            continue;
        const unsigned long state = strtoul(p, nullptr, 16);
        if (!port_listed(ports, local_port))
            continue;
        if (state != tcp_state_established) {
            opening = opening || (state < 32 && (tcp_states_opening & (1u << state)) != 0);
            continue;
        }
        add_connection(found, local_port, v6 ? AF_INET6 : AF_INET, peer);
        if (found.count >= activity_names_max)
            break;  // as many as can be named
    }
    return true;
}

bool parse_tcp_counters(FILE* in, tcp_counters& counters)
{
    // "Tcp: RtoAlgorithm ... ActiveOpens PassiveOpens ... CurrEstab ..."
    // then "Tcp: 1 200 ...": the names, then the values in the same order.
    char names[1024], values[1024];
    while (fgets(names, sizeof names, in) != nullptr) {
        if (strncmp(names, "Tcp:", 4) != 0)
            continue;
        if (fgets(values, sizeof values, in) == nullptr || strncmp(values, "Tcp:", 4) != 0)
            return false;
        int found = 0;
        char* name_save = nullptr;
        char* value_save = nullptr;
        char* name = strtok_r(names + 4, " \n", &name_save);
        char* value = strtok_r(values + 4, " \n", &value_save);
        for (; name != nullptr && value != nullptr;
             name = strtok_r(nullptr, " \n", &name_save), value = strtok_r(nullptr, " \n", &value_save)) {
            uint64_t* field = strcmp(name, "ActiveOpens") == 0    ? &counters.active_opens
                              : strcmp(name, "PassiveOpens") == 0 ? &counters.passive_opens
                              : strcmp(name, "CurrEstab") == 0    ? &counters.established
                                                                  : nullptr;
            if (field == nullptr)
                continue;
            char* end = nullptr;
            errno = 0;
            *field = strtoull(value, &end, 10);
            if (end == value || *end != '\0' || errno != 0)
                return false;
            found++;
        }
        return found == 3;
    }
    return false;
}

namespace {

// Every list that the setting can hold fits the kernel's filter: an item
// takes a digit and, but for the last, a comma.
constexpr std::size_t filter_ports_max = busy_ports_size / 2;

constexpr std::size_t filter_block_ops = 5;
constexpr std::size_t filter_length_max = filter_ports_max * filter_block_ops * sizeof(inet_diag_bc_op);
// The jumps are 16 bits wide; one goes 4 bytes past the end to reject.
static_assert(filter_length_max + sizeof(inet_diag_bc_op) <= UINT16_MAX, "filter jumps must fit 16 bits");

// Writes a socket filter that accepts a local port in ports. Per port:
// "sport >= p", "sport <= p" (each followed by its port), then a jump to
// the end, which accepts; a jump past the end rejects. Returns its length:
// 0, no filter, for more ports than it can hold, which the walk then
// sorts out by itself.
std::size_t port_filter(const std::vector<uint16_t>& ports, inet_diag_bc_op* program)
{
    constexpr std::size_t op = sizeof(inet_diag_bc_op);
    if (ports.size() > filter_ports_max)
        return 0;
    const std::size_t count = ports.size();
    const std::size_t length = count * filter_block_ops * op;
    for (std::size_t i = 0; i < count; i++) {
        inet_diag_bc_op* block = program + i * filter_block_ops;
        const std::size_t left = length - i * filter_block_ops * op;  // from this block to the end
        const bool last = i + 1 == count;
        // Jumps: yes to the next op, no to the next block or past the end.
        block[0] = {INET_DIAG_BC_S_GE, 2 * op, static_cast<unsigned short>(last ? left + op : 5 * op)};
        block[1] = {0, 0, ports[i]};
        block[2] = {INET_DIAG_BC_S_LE, 2 * op, static_cast<unsigned short>(last ? left - op : 3 * op)};
        block[3] = {0, 0, ports[i]};
        block[4] = {INET_DIAG_BC_JMP, op, static_cast<unsigned short>(left - 4 * op)};
    }
    return length;
}

// Sends a dump request for the established and opening TCP sockets whose
// local port is listed. The older request form dumps IPv4 and IPv6 in one
// walk of the kernel's table, where the newer asks for one family per walk.
bool send_diag_request(int fd, const std::vector<uint16_t>& ports)
{
    struct {
        nlmsghdr header;
        inet_diag_req request;
        rtattr filter;
        inet_diag_bc_op program[filter_ports_max * filter_block_ops];
    } message{};
    const std::size_t program_length = port_filter(ports, message.program);
    message.filter.rta_type = INET_DIAG_REQ_BYTECODE;
    message.filter.rta_len = static_cast<unsigned short>(RTA_LENGTH(program_length));
    message.header.nlmsg_len = static_cast<uint32_t>(NLMSG_LENGTH(sizeof message.request) +
                                                     (program_length == 0 ? 0 : RTA_LENGTH(program_length)));
    message.header.nlmsg_type = TCPDIAG_GETSOCK;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.request.idiag_states = 1u << tcp_state_established | tcp_states_opening;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    return sendto(fd, &message, message.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) ==
           static_cast<ssize_t>(message.header.nlmsg_len);
}

// Reads the replies up to NLMSG_DONE. 1: done, 0: more to read, -1: error.
int take_diag_replies(const char* data, ssize_t length, const std::vector<uint16_t>& ports,
                      source_findings& found, bool& opening)
{
    for (auto* h = reinterpret_cast<const nlmsghdr*>(data); NLMSG_OK(h, length); h = NLMSG_NEXT(h, length)) {
        if (h->nlmsg_type == NLMSG_DONE)
            return 1;
        if (h->nlmsg_type == NLMSG_ERROR)
            return -1;
        if (h->nlmsg_type != TCPDIAG_GETSOCK || h->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
            continue;
        const auto* msg = static_cast<const inet_diag_msg*>(NLMSG_DATA(h));
        const uint16_t port = ntohs(msg->id.idiag_sport);
        if (!port_listed(ports, port))
            continue;
        if (msg->idiag_state == tcp_state_established)
            add_connection(found, port, msg->idiag_family, msg->id.idiag_dst);
        else
            opening = true;
    }
    // The kernel builds the rest of the dump only as it is read: once as
    // many connections are found as could be named, the rest is not needed.
    return found.count >= activity_names_max ? 1 : 0;
}

}  // namespace

bool read_tcp_netlink(const std::vector<uint16_t>& ports, source_findings& found, bool& opening)
{
    opening = false;
    const int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0)
        return false;
    int state = send_diag_request(fd, ports) ? 0 : -1;
    // The kernel fills a chunk of the dump as large as the reads asked
    // for: 8 KB (some 90 sockets) keeps the first chunk small when every
    // connection matches and the first few are enough.
    alignas(nlmsghdr) char buffer[8192];
    while (state == 0) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        state = n <= 0 ? -1 : take_diag_replies(buffer, n, ports, found, opening);
    }
    (void)close(fd);
    return state == 1;
}

namespace {

bool read_tcp_proc(const std::vector<uint16_t>& ports, source_findings& found, bool& opening)
{
    opening = false;
    file_stream v4(fopen(proc_net_tcp_path, "re"));
    if (!v4 || !parse_proc_net_tcp(v4.get(), false, ports, found, opening))
        return false;
    // A kernel without IPv6 has no tcp6 table, and so no such connection.
    file_stream v6(fopen(proc_net_tcp6_path, "re"));
    return !v6 || parse_proc_net_tcp(v6.get(), true, ports, found, opening);
}

// Whether the last walk of the kernel's table may stand for this check.
// Every connection is opened through a counted active or passive open,
// and one restored established (by checkpoint tools) moves the count of
// established connections; so while these counters stay as they were, no
// connection can have appeared. The walk is trusted only when the counters
// had also stayed the same since the check before it: a connection is
// counted a moment before the kernel lists it, and a walk in that moment
// misses it.
// While trusted, every check since the walk read the same counters, so
// last also holds those of the walk.
struct quiet_walk {
    tcp_counters last{};        // read at the last check
    bool last_read = false;
    bool trusted = false;       // the last walk found nothing, nothing opening
    std::vector<uint16_t> ports;  // the ports of that walk
} quiet;

bool read_tcp_counters_now(tcp_counters& counters)
{
    file_stream in(fopen(proc_net_snmp_path, "re"));
    return in && parse_tcp_counters(in.get(), counters);
}

bool read_tcp_connections(const std::vector<uint16_t>& ports, source_findings& found)
{
    tcp_counters now{};
    const bool counted = read_tcp_counters_now(now);
    const bool unchanged = counted && quiet.last_read && now == quiet.last;
    quiet.last = now;
    quiet.last_read = counted;
    if (quiet.trusted && unchanged && ports == quiet.ports)
        return true;  // nothing opened since a walk that found nothing
    source_findings walked;
    bool opening = false;
    bool read = port_use_netlink && read_tcp_netlink(ports, walked, opening);
    if (!read) {
        walked = {};  // nothing half read counts
        read = read_tcp_proc(ports, walked, opening);
    }
    quiet.trusted = read && unchanged && walked.count == 0 && !opening;
    quiet.ports = ports;
    found = std::move(walked);
    return read;
}

}  // namespace

void port_check(activity_check& check)
{
    const std::vector<uint16_t> ports = parse_port_list(settings.busy_ports);
    if (ports.empty())
        return;
    source_findings found;
    const bool answered = read_tcp_connections(ports, found);
    source_report(check, port_health, answered, found, tr("TCP接続"), tr("(接続中)"), "port");
}

void port_reset()
{
    proc_net_tcp_path = proc_net_tcp_path_default;
    proc_net_tcp6_path = proc_net_tcp6_path_default;
    proc_net_snmp_path = proc_net_snmp_path_default;
    port_use_netlink = true;
    port_health = {};
    quiet = {};
}
