// End-to-end runs of the built binary with activity sources switched on: a
// login session on a private bus with a mock logind, and a process of a
// chosen name. Each keeps the checks busy while it exists; once it is gone
// the machine goes idle and the (harmless) expiry command runs.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "support/private_bus.h"
#include "support/test_support.h"

namespace {

const std::string quick_banner = "\n監視開始\n\t満了時間：1 分、表示間隔：10 秒、判定間隔：10 秒\n";
const std::string idle_to_expiry =
    "\n継続時間：0分\n\n継続時間：0分\n\n継続時間：0分\n\n継続時間：0分\n\n継続時間：0分\n"
    "監視満了!!\nexpired\n";

// Watches nothing but the source that the extra options switch on, ending
// after the first expiry. Once a busy line with busy_text is out, gone()
// takes the activity away.
run_result run_until_gone(const std::vector<std::string>& source, const std::string& busy_text,
                          const std::function<void()>& gone)
{
    run_options opt;
    opt.args = {"-c", "echo expired", "-ci", "10", "-ex", "1", "-rx", "0", "-r", "0", "-w", "0", "-n"};
    opt.args.insert(opt.args.end(), source.begin(), source.end());
    bool taken_away = false;
    opt.on_output = [&](const std::string& output) {
        if (!taken_away && output.find(busy_text) != std::string::npos) {
            gone();
            taken_away = true;
        }
    };
    return run_lullwatcher(opt);
}

// The output with every run of consecutive copies of line made one: the
// number of checks that come before the activity is gone varies.
std::string one_of_each(std::string output, const std::string& line)
{
    const std::string twice = line + line;
    for (size_t at = output.find(twice); at != std::string::npos; at = output.find(twice, at))
        output.erase(at, line.size());
    return output;
}

TEST(ActivityE2E, LoginSessionKeepsTheMachineOnUntilItEnds)
{
    if (!private_bus::available())
        GTEST_SKIP() << "dbus-daemon or python3-dbusmock is not installed";
    private_bus logind;  // the run finds it through DBUS_SYSTEM_BUS_ADDRESS
    ASSERT_TRUE(logind.up());
    ASSERT_TRUE(logind.add_session("c1", "alice"));
    const std::string busy = "\n継続時間：初期化(ログイン中)\n";
    const run_result r = run_until_gone({"-us", "any"}, busy, [&] { EXPECT_TRUE(logind.remove_session("c1")); });
    ASSERT_FALSE(r.timed_out) << r.output;
    EXPECT_EQ(one_of_each(r.output, busy), quick_banner + busy + idle_to_expiry);
    EXPECT_EQ(r.status, 0);
}

TEST(ActivityE2E, NamedProcessKeepsTheMachineOnUntilItEnds)
{
    temp_dir dir;
    const std::string program = dir.path + "/lw-busy-proc";
    ASSERT_EQ(system(("cp /bin/sleep " + program).c_str()), 0);
    pid_t child = fork();
    if (child == 0) {
        execl(program.c_str(), "lw-busy-proc", "600", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(child, 0);
    // Named once it has started the copy.
    const std::string comm_path = "/proc/" + std::to_string(child) + "/comm";
    std::string comm;
    for (int i = 0; i < 500 && comm != "lw-busy-proc\n"; i++) {
        usleep(2000);
        std::ifstream in(comm_path);
        std::getline(in, comm);
        comm += "\n";
    }
    const auto end_child = [&] {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);  // reaped: a zombie still shows its name
            child = -1;
        }
    };
    const std::string busy = "\n継続時間：初期化(プロセス実行中)\n";
    const run_result r = run_until_gone({"-bp", "lw-other,lw-busy-p*"}, busy, end_child);
    end_child();
    ASSERT_FALSE(r.timed_out) << r.output;
    EXPECT_EQ(one_of_each(r.output, busy), quick_banner + busy + idle_to_expiry);
    EXPECT_EQ(r.status, 0);
}

}  // namespace
