// End-to-end runs of the built binary for what it tells about itself: the
// settings printout (-t), --status against a live and an ended run, the
// service manager's messages and the journal's priorities. Runs that could
// reach the default action have nothing but the stand-ins on PATH.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/test_support.h"

namespace {

// Short times, no sampling, one expiry, then the end.
const std::vector<std::string> quick_args = {"-ex", "1", "-ci", "10", "-di", "10", "-n",
                                             "-rx", "0",  "-r",  "0",  "-w",  "0"};

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::string file_settings(const std::string& command, const std::string& times, const std::string& counters,
                          const char* inhibitors, const char* status_path)
{
    return "COMMAND=" + command + "\n" + times + "DISP_LEVEL=1\n// NOT_ROOP なし：満了後も監視を続けます\n" + counters +
           "NOTICE_TIME=0\nNOTICE_RUN=\nDRY_RUN=off\nUSER_SESSIONS=off\nINHIBITORS=" + inhibitors +
           "\nBUSY_PROCESSES=\nCPU_THRESHOLD=0\nBUSY_PORTS=\nBUSY_CHECK=\nIGNORE_INTERFACES=\nSTATUS_PATH=" +
           status_path + "\nMETRICS_PATH=off\nSTORAGE_JOBS=off\nAWAKE_HOURS=\nSHARE_CLIENTS=off\nPING_HOSTS=\nALARM_TIMERS=\nALARM_AT=\nALARM_QUERY=\nALARM_LEAD=5\nLAN_WAKE=\nMESSAGES=ja\n";
}

const std::string time_refusal =
    "時間設定に誤りがあります。\n表示間隔 ＜ チェック間隔 ＜ 満了時間で設定してください。\n現状： 61 60 600\n";

TEST(ReportsE2E, TestConfigPrintsWhatAStartWouldTakeAndStartsNothing)
{
    temp_dir dir;
    temp_dir sample_dir;
    sample_dir.write("lullwatcher.conf", read_fixture("../../packaging/lullwatcher.conf"));
    // A "#" does not make a comment, a "//" remark hides its whole line, and
    // "1k" is 1 byte.
    const std::string traps = dir.write("traps.conf", "# EXFIRE_TIME=30\nRX_THRESHOLD=1k\nTX_THRESHOLD_KB=2\n"
                                                      "CHECK_INTERVAL=30 // half a minute\n");
    const std::string defaults = "sync; sync; sync; shutdown -h now";
    const struct {
        const char* title;
        std::vector<std::string> args;
        std::string cwd;
        std::string head;
        int status;
    } cases[] = {
        {"sample found by the file search", {"-t"}, sample_dir.path,
         file_settings(defaults,
                       "RX_THRESHOLD=1048576\nTX_THRESHOLD=0\nREAD_THRESHOLD=1024\nWRITE_THRESHOLD=1024\n"
                       "EXFIRE_TIME=10\nCHECK_INTERVAL=60\nDISP_INTERVAL=10\n",
                       "COUNTER_SOURCE=kernel\nDISK_PREFIXES=sd,nvme,vd,mmcblk,md\n", "on",
                       "/run/lullwatcher/status"),
         0},
        {"traps", {"-f", traps, "--test_config"}, "",
         "警告：RX_THRESHOLD の値「1k」は数値ではありません。1 とみなします。\n" + file_settings(defaults,
                       "RX_THRESHOLD=1\nTX_THRESHOLD=2048\nREAD_THRESHOLD=1024\nWRITE_THRESHOLD=1024\n"
                       "EXFIRE_TIME=30\nCHECK_INTERVAL=60\nDISP_INTERVAL=10\n",
                       "COUNTER_SOURCE=command\nDISK_PREFIXES=sd\n", "off", "off"),
         0},
        {"refused times", {"-t", "-c", "true", "-di", "61", "-ci", "60"}, "",
         time_refusal + file_settings("true",
                                      "RX_THRESHOLD=1048576\nTX_THRESHOLD=0\nREAD_THRESHOLD=1024\n"
                                      "WRITE_THRESHOLD=1024\nEXFIRE_TIME=10\nCHECK_INTERVAL=60\nDISP_INTERVAL=61\n",
                                      "COUNTER_SOURCE=command\nDISK_PREFIXES=sd\n", "off", "off"),
         255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        run_options opt;
        opt.path = "";
        opt.args = c.args;
        opt.cwd = c.cwd;
        const run_result r = run_lullwatcher(opt);
        EXPECT_EQ(r.status, c.status) << r.output;
        ASSERT_EQ(r.output.substr(0, c.head.size()), c.head);
        // What follows names the interfaces and disks, on comment lines.
        const std::string rest = r.output.substr(c.head.size());
        for (size_t at = 0; at < rest.size(); at = rest.find('\n', at) + 1)
            EXPECT_EQ(rest.compare(at, 3, "// "), 0) << rest;
    }
}

TEST(ReportsE2E, StatusOfALiveAnEndedAndAMissingRun)
{
    temp_dir dir;
    const std::string status = dir.path + "/status";
    const std::string ask = std::string(LW_BINARY) + " -sp " + status + " --status";
    // The expiry command asks while the run waits for it.
    run_options opt;
    opt.args = with(quick_args, {"-sp", status, "-c", ask + "; echo rc=$?"});
    const run_result live = run_lullwatcher(opt);
    ASSERT_EQ(live.status, 0) << live.output;
    EXPECT_NE(live.output.find("監視満了!!\n状態：監視中（pid "), std::string::npos) << live.output;
    EXPECT_NE(live.output.find("アイドル時間：0 分 / 満了時間 1 分（残り 0 分 10 秒）\n"), std::string::npos);
    EXPECT_NE(live.output.find("\nrc=0\n"), std::string::npos);

    const struct {
        std::vector<std::string> args;
        int status;
        std::string first_line;
    } cases[] = {
        {{"-sp", status, "-st"}, 3, "状態：停止（pid "},
        {{"-sp", dir.path + "/none", "-st", "-zz"}, 4,
         "状態ファイルを読み込めません：" + dir.path + "/none（No such file or directory）\n"},
    };
    for (const auto& c : cases) {
        run_options ask_opt;
        ask_opt.args = c.args;
        const run_result r = run_lullwatcher(ask_opt);
        EXPECT_EQ(r.status, c.status) << r.output;
        EXPECT_EQ(r.output.rfind(c.first_line, 0), 0u) << r.output;
    }
}

// Runs the binary with a datagram socket bound as the service manager's and
// a watchdog of watchdog_usec; returns the messages received, in order.
std::vector<std::string> run_notified(const std::string& command, const char* watchdog_usec, run_result* r)
{
    temp_dir dir;
    const std::string path = dir.path + "/notify";
    const int sock = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    if (sock < 0 || bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ADD_FAILURE() << "cannot bind " << path;
        return {};
    }
    run_options opt;
    opt.args = with(quick_args, {"-c", command});
    opt.env = {{"NOTIFY_SOCKET", path}, {"WATCHDOG_USEC", watchdog_usec}};
    // Read as the run goes: a full socket queue would block the sender.
    std::vector<std::string> got;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        char buf[1024];
        for (bool last = false; !last;) {
            last = done.load();
            pollfd pfd{sock, POLLIN, 0};
            (void)poll(&pfd, 1, 20);
            for (ssize_t n; (n = recv(sock, buf, sizeof buf, 0)) >= 0;)
                got.emplace_back(buf, static_cast<size_t>(n));
        }
    });
    *r = run_lullwatcher(opt);
    done.store(true);
    reader.join();
    close(sock);
    return got;
}

TEST(ReportsE2E, ServiceManagerHearsReadinessStatusAndWatchdog)
{
    const std::string warning =
        "警告：ウォッチドッグ時間（20000 ミリ秒）が表示間隔（10 秒）の2倍以下です。正常に動作していても停止されます。\n";
    for (const bool short_watchdog : {false, true}) {
        SCOPED_TRACE(short_watchdog ? "20 s watchdog" : "60 s watchdog");
        run_result r;
        const std::vector<std::string> got = run_notified("true", short_watchdog ? "20000000" : "60000000", &r);
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output.find(warning) != std::string::npos, short_watchdog) << r.output;
        std::vector<std::string> expected = {"READY=1\nSTATUS=idle 0 of 1 min, never busy"};
        for (int pass = 0; pass < 6; pass++) {
            expected.push_back("STATUS=idle 0 of 1 min, never busy");
            expected.push_back("WATCHDOG=1");
        }
        expected.push_back("STATUS=idle 1 of 1 min, never busy");
        expected.push_back("STOPPING=1");
        EXPECT_EQ(got, expected);
    }
}

TEST(ReportsE2E, WatchdogIsKeptWhileTheExpiryCommandRuns)
{
    // A 3 s watchdog is kept every second; the command takes 3 s.
    run_result r;
    const std::vector<std::string> got = run_notified("sleep 3", "3000000", &r);
    EXPECT_EQ(r.status, 0) << r.output;
    ASSERT_GE(got.size(), 4u);
    EXPECT_EQ(got[got.size() - 2], "STATUS=idle 1 of 1 min, never busy");
    // The last pass's own message, then at least one while the command ran.
    EXPECT_EQ(got[got.size() - 3], "WATCHDOG=1");
    EXPECT_EQ(got[got.size() - 4], "WATCHDOG=1");
}

TEST(ReportsE2E, JournalPrioritiesOnlyWhenTheJournalIsTheOutput)
{
    temp_dir dir;
    const std::string out = dir.path + "/out";
    const std::string missing = dir.path + "/missing.conf";
    const std::string lines[] = {"設定ファイルの読み込み失敗:" + missing + "\n",
                                 "時間設定に誤りがあります。\n", "表示間隔 ＜ チェック間隔 ＜ 満了時間で設定してください。\n",
                                 "現状： 61 60 600\n"};
    const struct {
        const char* stream;  // JOURNAL_STREAM, from the output file's device and inode
        const char* warning;
        const char* error;
    } cases[] = {
        {"$(stat -c %d:%i OUT)", "<4>", "<3>"},
        {"$(stat -c %d:%i OUT)0", "", ""},
    };
    for (const auto& c : cases) {
        std::string stream = c.stream;
        stream.replace(stream.find("OUT"), 3, out);
        const std::string command = ": > " + out + "; JOURNAL_STREAM=" + stream + " " + LW_BINARY + " -c true -f " +
                                    missing + " -di 61 -ci 60 >> " + out + " 2>&1";
        const int status = system(command.c_str());
        EXPECT_EQ(WEXITSTATUS(status), 255);
        const std::string expected = c.warning + lines[0] + c.error + lines[1] + c.error + lines[2] + c.error + lines[3];
        std::ifstream in(out);
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), expected);
    }
}

}  // namespace
