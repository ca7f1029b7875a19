// Which interfaces are up, asked two ways for every interface of this
// network namespace, once per pass: the link events read without blocking
// (what the kernel source does), and one rtnetlink link dump per pass.
// CPU time includes the kernel's side. Run it in a namespace with many
// interfaces to see how both grow, e.g. (as root):
//   unshare -n sh -c 'ip link set lo up; for i in $(seq 0 4999); do
//     echo "link add ifb$i type ifb"; echo "link set ifb$i up"; done |
//     ip -batch - && build-bench/bench/links_bench'
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "sampling/sources.h"
#include "sampling/traffic_links.h"

namespace {

// The names in /proc/net/dev.
std::vector<std::string> interface_names()
{
    std::vector<std::string> names;
    FILE* in = fopen("/proc/net/dev", "r");
    char line[512];
    while (in != nullptr && fgets(line, sizeof line, in) != nullptr) {
        const char* colon = strchr(line, ':');
        if (colon == nullptr)
            continue;
        const char* start = line;
        while (*start == ' ')
            start++;
        names.emplace_back(start, colon);
    }
    if (in != nullptr)
        fclose(in);
    return names;
}

// One link dump: asks for every link and hands the answer to the same
// message reader as the events. false when the dump could not be made.
bool link_dump(int fd, unsigned seq)
{
    struct {
        nlmsghdr header;
        ifinfomsg info;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETLINK;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = seq;
    request.info.ifi_family = AF_UNSPEC;
    if (send(fd, &request, sizeof request, 0) != static_cast<ssize_t>(sizeof request))
        return false;
    static char buffer[65536];
    for (;;) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        link_events_apply(buffer, static_cast<std::size_t>(n));
        for (std::size_t at = 0; at + sizeof(nlmsghdr) <= static_cast<std::size_t>(n);) {
            nlmsghdr header;
            memcpy(&header, buffer + at, sizeof header);
            if (header.nlmsg_type == NLMSG_DONE || header.nlmsg_type == NLMSG_ERROR)
                return header.nlmsg_type == NLMSG_DONE;
            if (header.nlmsg_len < sizeof header)
                return false;
            at += NLMSG_ALIGN(header.nlmsg_len);
        }
    }
}

void BM_UpTestLinkEvents(benchmark::State& state)
{
    sampling_reset();
    const std::vector<std::string> names = interface_names();
    for (auto _ : state) {
        interface_links_refresh();
        for (const std::string& name : names)
            benchmark::DoNotOptimize(interface_link_up(name.c_str()));
    }
    state.counters["interfaces"] = static_cast<double>(names.size());
    sampling_reset();
}

void BM_UpTestLinkDump(benchmark::State& state)
{
    sampling_reset();
    const std::vector<std::string> names = interface_names();
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    unsigned seq = 0;
    for (auto _ : state) {
        if (!link_dump(fd, ++seq)) {
            state.SkipWithError("no link dump");
            break;
        }
        for (const std::string& name : names)
            benchmark::DoNotOptimize(interface_link_up(name.c_str()));
    }
    close(fd);
    state.counters["interfaces"] = static_cast<double>(names.size());
    sampling_reset();
}

BENCHMARK(BM_UpTestLinkEvents);
BENCHMARK(BM_UpTestLinkDump);

}  // namespace
