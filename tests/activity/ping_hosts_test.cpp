// Pings, sent only inside a network namespace that the test makes: its
// loopback answers, and 192.0.2.1 is routed to a device that drops all.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "activity/ping_hosts.h"
#include "base/settings.h"
#include "base/stop.h"
#include "support/test_support.h"

namespace {

using strings = std::vector<std::string>;
using std::chrono::milliseconds;

// Runs body on a thread of its own, in a new network namespace. Returns
// why not when the namespace cannot be made.
std::string in_private_network(const std::function<void()>& body)
{
    std::string why;
    std::thread thread([&] {
        if (unshare(CLONE_NEWNET) != 0) {
            why = std::string("no network namespace: ") + strerror(errno);
            return;
        }
        if (system("PATH=/usr/sbin:/sbin:$PATH; ip link set lo up && { ip link add lwdrop type dummy 2>/dev/null"
                   " || ip link add lwdrop type ifb; } && ip link set lwdrop up && ip route add 192.0.2.1/32 dev lwdrop")
            != 0) {
            why = "ip cannot set up the namespace's devices";
            return;
        }
        body();
    });
    thread.join();
    return why;
}

bool ipv6_loopback()
{
    const int fd = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 loopback{};
    loopback.sin6_family = AF_INET6;
    loopback.sin6_addr = in6addr_loopback;
    const bool bound = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&loopback), sizeof loopback) == 0;
    if (fd >= 0)
        close(fd);
    return bound;
}

struct timed_scan {
    source_scan scan;
    milliseconds took;
};

timed_scan ping_timed(const std::string& hosts)
{
    const auto start = std::chrono::steady_clock::now();
    source_scan scan = ping_hosts_scan(hosts);
    return {scan, std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start)};
}

TEST(PingHosts, LoopbackAnswersTheDroppedAddressDoesNotAndNamesMustResolve)
{
    stop_wake_open();
    const std::string why = in_private_network([] {
        activity_check check;
        strcpy(settings.ping_hosts, "127.0.0.1");
        ping_check(check);
        EXPECT_EQ(reason_tokens(check.reasons), strings{"ping:127.0.0.1"});
        EXPECT_EQ(check.message, "(応答ホストあり)");
        strcpy(settings.ping_hosts, "lw-no-such-host.invalid");
        check = {};
        EXPECT_EQ(capture_stdout([&] { ping_check(check); }).rfind("警告：pingの応答（lw-no-such-host.invalid（", 0), 0u);
        EXPECT_EQ(reason_tokens(check.reasons), strings{"ping:error"});
        settings_reset();
        const bool v6 = ipv6_loopback();
        const std::string answering = v6 ? "127.0.0.1, ::1, localhost" : "127.0.0.1, localhost";
        const strings answered = v6 ? strings{"127.0.0.1", "::1", "localhost"} : strings{"127.0.0.1", "localhost"};
        // The raw socket first (ping sockets are off by default), then the
        // ping socket once the namespace allows it to every group.
        for (const char* kind : {"raw", "ping"}) {
            SCOPED_TRACE(kind);
            if (kind[0] == 'p')
                std::ofstream("/proc/sys/net/ipv4/ping_group_range") << "0 2147483647\n";
            timed_scan t = ping_timed(answering);
            EXPECT_TRUE(t.scan.answered) << t.scan.failure;
            EXPECT_EQ(t.scan.names, answered);
            EXPECT_LT(t.took, milliseconds(500));  // ends once all have answered
            t = ping_timed(answering + ",192.0.2.1");
            EXPECT_EQ(t.scan.names, answered);
            EXPECT_GE(t.took, milliseconds(950));
            EXPECT_LT(t.took, milliseconds(1500));
        }
        // With echo requests ignored, the raw socket still sees its own
        // requests come back over loopback: no answer for all that.
        std::ofstream("/proc/sys/net/ipv4/ping_group_range") << "1 0\n";
        std::ofstream("/proc/sys/net/ipv4/icmp_echo_ignore_all") << "1\n";
        std::ofstream("/proc/sys/net/ipv6/icmp/echo_ignore_all") << "1\n";
        EXPECT_EQ(ping_timed(answering).scan.names, strings{});
        for (const int resolve_ms : {2000, 0}) {  // 0: every lookup is cut short
            ping_resolve_ms = resolve_ms;
            const timed_scan unresolved = ping_timed("127.0.0.1,lw-no-such-host.invalid");
            EXPECT_FALSE(unresolved.scan.answered);
            EXPECT_NE(unresolved.scan.failure.find("lw-no-such-host.invalid"), std::string::npos);
            EXPECT_LT(unresolved.took, milliseconds(2500));
        }
        // A stop request ends the wait for the answers at once.
        std::thread stopper([] {
            std::this_thread::sleep_for(milliseconds(200));
            stop_request(SIGTERM);
        });
        const timed_scan stopped = ping_timed("192.0.2.1");
        stopper.join();
        EXPECT_TRUE(stopped.scan.names.empty());
        EXPECT_LT(stopped.took, milliseconds(600));
        stop_reset();
    });
    if (!why.empty())
        GTEST_SKIP() << why;
    ping_hosts_reset();
}

}  // namespace
