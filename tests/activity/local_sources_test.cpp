// The sources read on this machine: named processes, CPU share,
// connections on listed ports, the check command, ignored interfaces, and
// how every source reports what it found or that it cannot answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "activity/busy_check.h"
#include "activity/cpu.h"
#include "activity/hours.h"
#include "activity/ports.h"
#include "activity/process_events.h"
#include "activity/processes.h"
#include "activity/source_report.h"
#include "base/clock.h"
#include "base/settings.h"
#include "sampling/ignored_interfaces.h"
#include "support/test_support.h"

namespace {

using strings = std::vector<std::string>;

class Sources : public ::testing::Test {
protected:
    void SetUp() override { reset_program_state(); }
    void TearDown() override { reset_program_state(); }
    activity_check check;
    // Runs one source on a fresh check and returns what it printed.
    std::string run(void (*source)(activity_check&))
    {
        check = {};
        return capture_stdout([&] { source(check); });
    }
};

TEST_F(Sources, FindingsAreNamedAtLevelTwoAndBounded)
{
    source_findings found;
    for (int i = 0; i < 12; i++)
        findings_add(found, "p" + std::to_string(i % 10));
    findings_report(check, found, "(接続中)", "port");
    EXPECT_TRUE(check.busy);
    EXPECT_EQ(check.message, "(接続中)");
    ASSERT_EQ(check.reasons.size(), activity_names_max);
    EXPECT_EQ(reason_token(check.reasons[7]), "port:p7");
    settings.disp_level = 2;
    check = {};
    findings_report(check, found, "(接続中)", "port");
    EXPECT_EQ(check.message, "(接続中:p0/p1/p2/p3/p4/p5/p6/p7)");
    // A name from outside never makes a line of its own.
    source_findings forged;
    findings_add(forged, "apt\n<0>forged", "x\x85");
    check = {};
    findings_report(check, forged, "(プロセス実行中)", "process");
    EXPECT_EQ(check.message, "(プロセス実行中:apt\\x0a<0>forged:x\\x85)");
}

TEST_F(Sources, EveryCheckInsideAnAwakeWindowIsBusy)
{
    strcpy(settings.awake_hours, "Mon-Fri 08:00-18:00, 22:00-02:00");
    static time_t now;
    watch_unix_time = [] { return now; };
    const struct { int day, hour, minute; const char* window; } cases[] = {  // January 2026: the 7th a Wednesday
        {7, 12, 0, "Mon-Fri 08:00-18:00"}, {7, 7, 59, nullptr}, {7, 18, 0, nullptr}, {10, 12, 0, nullptr},
        {10, 23, 0, "22:00-02:00"}, {11, 1, 59, "22:00-02:00"}, {11, 2, 0, nullptr}};
    for (const auto& c : cases) {
        tm t{};
        t.tm_year = 126, t.tm_mday = c.day, t.tm_hour = c.hour, t.tm_min = c.minute, t.tm_isdst = -1;
        now = mktime(&t);
        run(hours_check);
        EXPECT_EQ(reason_tokens(check.reasons), c.window ? strings{std::string("hours:") + c.window} : strings{});
        EXPECT_EQ(check.message, c.window ? "(稼働時間帯)" : "") << c.day << " " << c.hour << ":" << c.minute;
    }
}

TEST_F(Sources, ProcessesByNameOrFirstArgument)
{
    temp_dir dir;
    const std::string program = dir.path + "/lwsleeper";
    ASSERT_EQ(system(("cp /bin/sleep " + program).c_str()), 0);
    const pid_t by_name = fork();
    if (by_name == 0) {
        execl(program.c_str(), "lwsleeper", "30", nullptr);
        _exit(127);
    }
    const pid_t by_argument = fork();
    if (by_argument == 0) {
        execl("/bin/sleep", "/opt/tools/lw-argv-name", "30", nullptr);
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const struct {
        const char* patterns;
        strings reasons;
    } cases[] = {
        {"rsync, lwsleep?r", {"process:lwsleeper"}},
        {"lw-argv-*", {"process:lw-argv-name"}},
        {"lwsleep,argv-name", {}},
    };
    for (const auto& c : cases) {
        snprintf(settings.busy_processes, busy_processes_size, "%s", c.patterns);
        EXPECT_EQ(run(process_check), "") << c.patterns;
        EXPECT_EQ(check.busy, !c.reasons.empty()) << c.patterns;
        EXPECT_EQ(reason_tokens(check.reasons), c.reasons) << c.patterns;
    }
    kill(by_name, SIGKILL);
    kill(by_argument, SIGKILL);
    waitpid(by_name, nullptr, 0);
    waitpid(by_argument, nullptr, 0);

    // A /proc without processes, or none at all, cannot answer.
    proc_root = dir.path.c_str();
    EXPECT_EQ(run(process_check), "警告：プロセス一覧（" + dir.path + "）を確認できません。確認できるまで使用中とみなします。\n");
    EXPECT_TRUE(check.busy);
    EXPECT_EQ(reason_tokens(check.reasons), strings{"process:error"});
    proc_root = "/nonexistent";
    EXPECT_EQ(run(process_check), "");
    EXPECT_TRUE(check.busy);
}

// Between whole reads of /proc, processes are followed through the
// kernel's events: a process renamed after a check, and one that ended.
TEST_F(Sources, ProcessesFollowedBetweenChecks)
{
    const int events = process_events_open();
    if (events < 0)
        GTEST_SKIP() << "the kernel's process events need root in the first namespace";
    close(events);
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = fork();
    if (child == 0) {
        char byte;
        (void)read(go[0], &byte, 1);
        prctl(PR_SET_NAME, "lw-renamed");
        pause();
        _exit(0);
    }
    snprintf(settings.busy_processes, busy_processes_size, "lw-renamed");
    run(process_check);
    EXPECT_FALSE(check.busy);
    ASSERT_EQ(write(go[1], "x", 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    run(process_check);
    EXPECT_EQ(reason_tokens(check.reasons), strings{"process:lw-renamed"});
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    run(process_check);
    EXPECT_FALSE(check.busy);
    close(go[0]);
    close(go[1]);
}

TEST_F(Sources, CpuShareAboveTheThreshold)
{
    temp_dir dir;
    const std::string stat = dir.write("stat", "cpu  100 0 100 700 100 0 0 0 50 0\ncpu0 1 2 3 4\n");
    proc_stat_path = stat.c_str();
    settings.cpu_threshold = 50;
    EXPECT_EQ(run(cpu_check), "");  // the first reading is only kept
    EXPECT_FALSE(check.busy);
    // 60 of 100 ticks used (guest time is inside user time).
    dir.write("stat", "cpu  150 0 110 730 110 0 0 0 90 0\n");
    run(cpu_check);
    EXPECT_TRUE(check.busy);
    EXPECT_EQ(check.message, "(CPU使用率閾値以上)");
    EXPECT_EQ(reason_tokens(check.reasons), strings{"cpu:60"});
    // Exactly the threshold is not above it.
    settings.cpu_threshold = 60;
    dir.write("stat", "cpu  200 0 120 760 120 0 0 0 90 0\n");
    run(cpu_check);
    EXPECT_FALSE(check.busy);
    dir.write("stat", "intr 1 2 3\n");
    EXPECT_EQ(run(cpu_check), "警告：CPU使用率（" + dir.path + "/stat）を確認できません。確認できるまで使用中とみなします。\n");
    EXPECT_EQ(reason_tokens(check.reasons), strings{"cpu:error"});
    dir.write("stat", "cpu  300 0 120 760 120 0 0 0 90 0\n");
    EXPECT_EQ(run(cpu_check), "回復：CPU使用率（" + dir.path + "/stat）を再び確認できます。\n");
    EXPECT_TRUE(check.busy);  // 100 of 100 ticks since the last good reading

    // The machine's own counters with one core kept busy.
    cpu_reset();
    settings.cpu_threshold = 10;
    run(cpu_check);
    std::atomic<bool> spin{true};
    std::thread loop([&] { while (spin.load()) {} });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    run(cpu_check);
    spin = false;
    loop.join();
    EXPECT_TRUE(check.busy);
}

// One established connection over loopback: the listening end's port.
struct loopback_connection {
    int listener = -1, client = -1, server = -1;
    uint16_t port = 0;
    bool open(int family)
    {
        sockaddr_storage addr{};
        socklen_t length = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        addr.ss_family = static_cast<sa_family_t>(family);
        if (family == AF_INET)
            reinterpret_cast<sockaddr_in*>(&addr)->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        else
            reinterpret_cast<sockaddr_in6*>(&addr)->sin6_addr = in6addr_loopback;
        auto* sa = reinterpret_cast<sockaddr*>(&addr);
        listener = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        client = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (bind(listener, sa, length) != 0 || listen(listener, 1) != 0 || getsockname(listener, sa, &length) != 0 ||
            connect(client, sa, length) != 0)
            return false;
        server = accept(listener, nullptr, nullptr);
        port = ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port);  // same place in both
        return server >= 0;
    }
    ~loopback_connection()
    {
        for (const int fd : {listener, client, server})
            if (fd >= 0)
                close(fd);
    }
};

TEST_F(Sources, EstablishedConnectionsOnListedPorts)
{
    EXPECT_EQ(parse_port_list("22, x,0,70000,445,22,0445"), (std::vector<uint16_t>{22, 445}));
    for (const int family : {AF_INET, AF_INET6}) {
        loopback_connection c;
        if (!c.open(family)) {
            ASSERT_EQ(family, AF_INET6);
            GTEST_SKIP() << "no ::1 on this machine";
        }
        const std::string peer = family == AF_INET ? "127.0.0.1" : "::1";
        for (const bool netlink : {true, false}) {
            port_use_netlink = netlink;
            snprintf(settings.busy_ports, busy_ports_size, "1,%u,2", c.port);
            EXPECT_EQ(run(port_check), "");
            EXPECT_TRUE(check.busy) << peer << netlink;
            EXPECT_EQ(reason_tokens(check.reasons), strings{"port:" + std::to_string(c.port) + ":" + peer}) << netlink;
            // The client's end has another local port; listening is no connection.
            snprintf(settings.busy_ports, busy_ports_size, "1");
            run(port_check);
            EXPECT_FALSE(check.busy) << peer << netlink;
        }
    }
    port_use_netlink = false;
    proc_net_tcp_path = "/nonexistent";
    EXPECT_EQ(run(port_check), "警告：TCP接続を確認できません。確認できるまで使用中とみなします。\n");
    EXPECT_EQ(reason_tokens(check.reasons), strings{"port:error"});
}

// A list as long as the setting holds is watched whole, by both readers.
TEST_F(Sources, EveryListedPortIsWatched)
{
    loopback_connection c;
    ASSERT_TRUE(c.open(AF_INET));
    std::string list;
    for (int port = 10; port < 90; port++)
        list += std::to_string(port) + ",";
    snprintf(settings.busy_ports, busy_ports_size, "%s%u", list.c_str(), c.port);
    const std::string token = "port:" + std::to_string(c.port) + ":127.0.0.1";
    for (const bool netlink : {true, false}) {
        port_use_netlink = netlink;
        proc_net_tcp_path = netlink ? "/nonexistent" : proc_net_tcp_path_default;  // no falling back
        EXPECT_EQ(run(port_check), "");
        const std::vector<std::string> tokens = reason_tokens(check.reasons);
        EXPECT_NE(std::find(tokens.begin(), tokens.end(), token), tokens.end()) << netlink;
    }
}

// The kernel's table is walked again only when TCP's open counters moved,
// or when the last walk cannot stand (it followed a move, or found a
// connection); counters that cannot be read mean a walk every check.
TEST_F(Sources, ConnectionsWalkedAgainOnlyWhenSomethingOpened)
{
    temp_dir dir;
    const auto snmp = [&](int opens) {
        return dir.write("snmp", "Ip: Forwarding DefaultTTL\nIp: 1 64\n"
                                 "Tcp: RtoAlgorithm RtoMin RtoMax MaxConn ActiveOpens PassiveOpens AttemptFails "
                                 "EstabResets CurrEstab InSegs\nTcp: 1 200 120000 -1 " +
                                     std::to_string(opens) + " 7 0 0 2 806749\n");
    };
    tcp_counters counters;
    FILE* in = fopen(snmp(41).c_str(), "r");
    ASSERT_TRUE(parse_tcp_counters(in, counters));
    fclose(in);
    EXPECT_TRUE((counters == tcp_counters{41, 7, 2}));
    const std::string snmp_path = snmp(41);
    loopback_connection c;
    ASSERT_TRUE(c.open(AF_INET));
    snprintf(settings.busy_ports, busy_ports_size, "%u", c.port);
    sockaddr_in listener{};
    socklen_t length = sizeof listener;
    ASSERT_EQ(getsockname(c.listener, reinterpret_cast<sockaddr*>(&listener), &length), 0);
    // Connected: the pair made at the start or a new one; not: both closed.
    const auto set_connected = [&](bool connected) {
        if (!connected || c.server >= 0) {
            if (!connected && c.server >= 0) {
                close(c.client);
                close(c.server);
                c.client = c.server = -1;
            }
            return;
        }
        c.client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(connect(c.client, reinterpret_cast<sockaddr*>(&listener), length), 0);
        c.server = accept(c.listener, nullptr, nullptr);
    };
    const struct {
        int opens;  // -1: no counters
        bool connected, busy;
    } steps[] = {
        {41, false, false}, {41, false, false},
        {41, true, false},   // frozen counters: the walk is not made
        {42, false, false},  // a walk just after the counters moved
        {42, true, true},    // does not stand for the next check
        {42, false, false},  {42, false, false}, {42, true, false},
        {-1, true, true},    {-1, false, false}, {-1, false, false}, {-1, true, true},
    };
    for (std::size_t i = 0; i < std::size(steps); i++) {
        if (steps[i].opens >= 0)
            snmp(steps[i].opens);
        proc_net_snmp_path = steps[i].opens < 0 ? "/nonexistent" : snmp_path.c_str();
        set_connected(steps[i].connected);
        EXPECT_EQ(run(port_check), "");
        EXPECT_EQ(check.busy, steps[i].busy) << "step " << i;
    }
}

// Gone or a zombie within a few seconds (a kill is delivered, not awaited).
bool process_gone(pid_t pid)
{
    for (int i = 0; i < 300; i++) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string pid_text, name, state;
        if (!(stat >> pid_text >> name >> state) || state == "Z")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST_F(Sources, CheckCommandStatuses)
{
    temp_dir dir;
    const std::string pid_file = dir.path + "/pid";
    busy_check_deadline_ms = 300;
    const struct {
        std::string command;
        bool busy;
        strings reasons;
        bool failing;
    } cases[] = {
        {"exit 0", true, {"check:0"}, false},
        {"exit 3", false, {}, false},
        {"kill -9 $$", true, {"check:error"}, true},
        {"lw-no-such-command 2>/dev/null", true, {"check:error"}, true},
        {"sleep 30 & echo $! > " + pid_file + "; wait", true, {"check:error"}, true},
        {"sleep 30 & echo $! > " + pid_file + "2; exit 0", true, {"check:0"}, false},  // leaves a child behind
    };
    bool was_failing = false;
    for (const auto& c : cases) {
        snprintf(settings.busy_check, busy_check_size, "%s", c.command.c_str());
        const std::string what = "確認コマンド（" + c.command + "）";
        const std::string out = run(busy_command_check);
        EXPECT_EQ(check.busy, c.busy) << c.command;
        EXPECT_EQ(reason_tokens(check.reasons), c.reasons) << c.command;
        EXPECT_EQ(check.message, c.busy ? (c.failing ? "(確認不可)" : "(確認コマンド)") : "") << c.command;
        const std::string line = c.failing == was_failing ? ""
                                 : c.failing ? "警告：" + what + "を確認できません。確認できるまで使用中とみなします。\n"
                                             : "回復：" + what + "を再び確認できます。\n";
        EXPECT_EQ(out, line) << c.command;
        was_failing = c.failing;
    }
    // The deadline killed the whole group, the shell's child too; and what a
    // command that ended left running was killed when it ended.
    for (const std::string& file : {pid_file, pid_file + "2"}) {
        std::ifstream in(file);
        pid_t background = 0;
        ASSERT_TRUE(in >> background) << file;
        EXPECT_TRUE(process_gone(background)) << file;
    }
}

TEST_F(Sources, IgnoredInterfacesByPattern)
{
    EXPECT_FALSE(interface_ignored("lo"));
    snprintf(settings.ignore_interfaces, ignore_interfaces_size, "lo, veth*,docker*,br-*");
    for (const char* name : {"lo", "veth1a2b", "docker0", "br-4f1c"})
        EXPECT_TRUE(interface_ignored(name)) << name;
    for (const char* name : {"eth0", "br0", "lo0", "", "wlp2s0"})
        EXPECT_FALSE(interface_ignored(name)) << name;
    EXPECT_FALSE(interface_ignored(std::string(300, 'l')));
}

}  // namespace
