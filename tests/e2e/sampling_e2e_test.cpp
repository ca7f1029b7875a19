// End-to-end runs of the built binary with the network and disk samplers:
// fake "ifconfig" and "iostat" whose counters grow from pass to pass, the
// machine's real "ifconfig" with traffic over the loopback interface, and
// the kernel counters when "ifconfig" is missing. PATH never holds more than
// the stand-ins for shutdown and sync and the test's own fake directory.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/process_check.h"
#include "support/test_support.h"

namespace {

// Prints eth0 with 1000 more bytes received and 10 more sent each run, and
// lo unchanged. The run count is kept beside the script.
const char* const fake_ifconfig =
    FAKE_RUN_COUNT
    "printf 'eth0: flags=4163<UP,BROADCAST,RUNNING,MULTICAST>  mtu 1500\\n'\n"
    "printf '        inet 192.0.2.20  netmask 255.255.255.0  broadcast 192.0.2.255\\n'\n"
    "printf '        RX packets %d  bytes %d (x)\\n' $n $((n * 1000))\n"
    "printf '        TX packets %d  bytes %d (x)\\n\\n' $n $((n * 10))\n"
    "printf 'lo: flags=73<UP,LOOPBACK,RUNNING>  mtu 65536\\n'\n"
    "printf '        RX packets 5  bytes 500 (500.0 B)\\n        TX packets 5  bytes 500 (500.0 B)\\n'\n";

// The current sysstat layout: sda reads 600 KB more each run; nvme0n1 is
// not watched with the default prefix.
const char* const fake_iostat =
    FAKE_RUN_COUNT
    "printf 'Linux 6.1.0-28-amd64 (nas) \\t12/07/26 \\t_x86_64_\\t(4 CPU)\\n\\n'\n"
    "printf 'Device             tps    kB_read/s    kB_wrtn/s    kB_dscd/s    kB_read    kB_wrtn    kB_dscd\\n'\n"
    "printf 'nvme0n1          12.41       101.77       188.02        35.96    %d   16334508    3124020\\n' $((n * 9000))\n"
    "printf 'sda               3.02       410.55        61.30         0.00   %d    5325224          0\\n' $((n * 600))\n"
    "printf 'sdb               0.04         1.02         0.00         0.00      88519          0          0\\n\\n'\n";

const std::string banner_head = "\n監視開始\n\t満了時間：1 分、表示間隔：1 秒、判定間隔：2 秒\n";

TEST(SamplingE2E, FakeCommandsMakeThePeriodBusyWithTheirTexts)
{
    temp_dir fakes;
    write_script(fakes, "ifconfig", fake_ifconfig);
    write_script(fakes, "iostat", fake_iostat);
    run_options opt;
    opt.path = fakes.path;
    opt.args = {"-c", "true", "-di", "1", "-ci", "2", "-ex", "1", "-rx", "1500", "-r", "1000", "-w", "0"};
    opt.env["LW_SLEEP_MS"] = "1";
    opt.until = "閾値以上)(読み込み閾値以上)\n";
    const run_result r = run_lullwatcher(opt);
    ASSERT_FALSE(r.timed_out) << r.output;
    const auto pass = [](int rx, int read) {
        return "\neth0 : RX increased bytes : " + std::to_string(rx) + "\nlo : RX increased bytes : 0\n" +
               "sda : read increased Kbytes : " + std::to_string(read) + "\nsdb : read increased Kbytes : 0\n";
    };
    EXPECT_EQ(r.output, banner_head + "\tネットワーク 閾値：(受信)1500 Byte/2秒\n"
                                      "\tディスク 閾値：(読み込み)1000 KB/2秒\n" +
                            pass(0, 0) + pass(1000, 600) + "\n継続時間：0分\n" + pass(1000, 600) +
                            pass(2000, 1200) + "\n継続時間：初期化(受信トラフィック閾値以上)(読み込み閾値以上)\n");
}

TEST(SamplingE2E, StuckIfconfigIsKilledAndTheKernelCountersTakeOver)
{
    // Each fake lists its pid and its background child's beside itself.
    const std::string note = "echo $$ >> \"$0.pids\"\n";
    const std::string keep = "/bin/sleep 60 & echo $! >> \"$0.pids\"\n";
    const std::string block = "printf 'eth0: flags=4163<UP>\\n        RX packets 1  bytes 5\\n'\n";
    const std::string fakes[] = {
        note + keep + "wait\n",                            // hangs
        note + block + keep + "wait\n",                    // prints, keeps the pipe open
        note + "exec /bin/yes 'lo: flags=73<UP,LOOPBACK,RUNNING>'\n",  // prints without end
    };
    for (const std::string& fake : fakes) {
        temp_dir dir;
        const std::string ifconfig = write_script(dir, "ifconfig", fake);
        run_options opt;
        opt.path = dir.path;
        opt.args = {"-c", "echo expiry-command-ran", "-di", "1", "-ci", "1", "-ex", "1", "-r", "0", "-w", "0",
                    "-n"};
        opt.env["LW_SLEEP_MS"] = "1";
        const run_result r = run_lullwatcher(opt);
        EXPECT_EQ(r.status, 0) << fake << r.output;
        EXPECT_NE(r.output.find("警告：ifconfig の出力からインターフェースを読み取れないため、"
                                "以後はカーネルのカウンタ（/proc/net/dev）で監視します。\n"),
                  std::string::npos)
            << fake << r.output;
        EXPECT_NE(r.output.find("監視満了!!\nexpiry-command-ran\n"), std::string::npos) << fake << r.output;
        EXPECT_FALSE(any_process_left(ifconfig + ".pids")) << fake;
    }
}

// Sends bursts of 4 MB over a TCP connection to 127.0.0.1 until stopped, at
// most 25 bursts, one every 100 ms.
class loopback_traffic {
public:
    loopback_traffic() : sender([this] { run(); }) {}
    ~loopback_traffic()
    {
        stop = true;
        sender.join();
    }

private:
    std::atomic<bool> stop{false};
    std::thread sender;

    void run()
    {
        const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener, 1) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            close(listener);
            return;
        }
        const int out = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connect(out, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            const int in = accept(listener, nullptr, nullptr);
            std::thread reader([in] {
                std::vector<char> buf(1 << 16);
                while (read(in, buf.data(), buf.size()) > 0) {
                }
            });
            const std::vector<char> burst(4 << 20, 'x');
            for (int i = 0; i < 25 && !stop; i++) {
                for (std::size_t sent = 0; sent < burst.size();) {
                    const ssize_t n = write(out, burst.data() + sent, burst.size() - sent);
                    if (n <= 0)
                        break;
                    sent += static_cast<std::size_t>(n);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            shutdown(out, SHUT_WR);
            reader.join();
            close(in);
        }
        close(out);
        close(listener);
    }
};

// Runs with 1 MB received per check as the threshold while bursts go over
// the loopback interface, until a check finds it busy.
run_result run_with_loopback_traffic(const std::string& path)
{
    run_options opt;
    opt.path = path;
    opt.args = {"-c", "true", "-di", "1", "-ci", "2", "-ex", "1", "-rx", "1048576", "-r", "0", "-w", "0"};
    opt.env["LW_SLEEP_MS"] = "50";
    opt.until = "継続時間：初期化(受信トラフィック閾値以上)\n";
    opt.timeout_seconds = 15;
    const loopback_traffic traffic;
    return run_lullwatcher(opt);
}

TEST(SamplingE2E, RealIfconfigSeesLoopbackTraffic)
{
    const char* real = access("/usr/sbin/ifconfig", X_OK) == 0 ? "/usr/sbin/ifconfig"
                       : access("/sbin/ifconfig", X_OK) == 0   ? "/sbin/ifconfig"
                                                               : nullptr;
    if (real == nullptr)
        GTEST_SKIP() << "ifconfig (net-tools) is not installed";
    temp_dir fakes;
    ASSERT_EQ(symlink(real, (fakes.path + "/ifconfig").c_str()), 0);
    const run_result r = run_with_loopback_traffic(fakes.path);
    EXPECT_FALSE(r.timed_out) << r.output;
    EXPECT_NE(r.output.find("\nlo : RX increased bytes : "), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("警告"), std::string::npos) << r.output;
}

TEST(SamplingE2E, WithoutIfconfigTheKernelCountersSeeLoopbackTraffic)
{
    const run_result r = run_with_loopback_traffic("");  // only the stand-ins for shutdown and sync
    EXPECT_FALSE(r.timed_out) << r.output;
    EXPECT_NE(r.output.find("警告：ifconfig の出力からインターフェースを読み取れないため、"
                            "以後はカーネルのカウンタ（/proc/net/dev）で監視します。\n"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("\nlo : RX increased bytes : "), std::string::npos) << r.output;
}

TEST(SamplingE2E, IgnoredLoopbackIsNeitherShownNorCheckedFromEitherSource)
{
    const char* real = access("/usr/sbin/ifconfig", X_OK) == 0 ? "/usr/sbin/ifconfig"
                       : access("/sbin/ifconfig", X_OK) == 0   ? "/sbin/ifconfig"
                                                               : nullptr;
    temp_dir fakes;
    if (real != nullptr) {
        ASSERT_EQ(symlink(real, (fakes.path + "/ifconfig").c_str()), 0);
    }
    // The machine's ifconfig, when there is one, and the kernel's counters;
    // each with and without lo ignored.
    for (const char* source : {"command", "kernel"}) {
        if (real == nullptr && std::string(source) == "command")
            continue;
        for (const bool ignored : {false, true}) {
            run_options opt;
            opt.path = fakes.path;
            opt.args = {"-c", "true", "-di", "1", "-ci", "1", "-ex", "1", "-rx", "1", "-r", "0", "-w", "0",
                        "-l", "2", "-so", source};
            if (ignored)
                opt.args.insert(opt.args.end(), {"-ii", "l[o]"});
            opt.env["LW_SLEEP_MS"] = "1";
            opt.until = "\n継続時間：";
            const run_result r = run_lullwatcher(opt);
            ASSERT_FALSE(r.timed_out) << r.output;
            EXPECT_EQ(r.output.find("\nlo : RX total bytes : ") == std::string::npos, ignored) << source << r.output;
            EXPECT_EQ(r.output.find("警告"), std::string::npos) << r.output;
        }
    }
}

TEST(SamplingE2E, KernelSourceAndPrefixesFromTheCommandLine)
{
    // No command is needed or run; a disk of this machine's kinds is watched
    // when its prefix is listed, or the one warning says none was found.
    run_options opt;
    opt.path = "";
    opt.args = {"-c", "true", "-di", "1", "-ci", "1", "-ex", "1", "-rx", "0", "-l", "2",
                "-so", "kernel", "-dp", "sd,nvme,vd,xvd,mmcblk,md"};
    opt.env["LW_SLEEP_MS"] = "1";
    opt.until = "\n継続時間：";
    const run_result r = run_lullwatcher(opt);
    ASSERT_FALSE(r.timed_out) << r.output;
    EXPECT_EQ(r.output.find("not found"), std::string::npos) << r.output;
    const bool disk_lines = r.output.find(" : read total Kbytes : ") != std::string::npos;
    const bool warned = r.output.find("警告：カーネルのカウンタ（/proc/diskstats）から監視対象のディスク"
                                      "（接頭辞：sd,nvme,vd,xvd,mmcblk,md）を読み取れません。") != std::string::npos;
    EXPECT_NE(disk_lines, warned) << r.output;
}

}  // namespace
