// End-to-end: the built binary registers a device from a fake listing and
// watches a FIFO that stands for its event device; an event written to it
// makes the next check busy. Every run has a harmless "-c".
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "devices/device_test_support.h"
#include "support/test_support.h"

namespace {

const char input_dir[] = "/dev/input";

// A FIFO at /dev/input/event9xxx (a number no kernel hands out, unique to
// this test process), with /dev/input made for it when the machine has
// none; both are removed again, and nothing else is touched.
struct device_node {
    bool made_dir = false;
    bool made_fifo = false;
    std::string event = "event" + std::to_string(9000 + getpid() % 1000);
    std::string path = std::string(input_dir) + "/" + event;
    std::string why_not;

    device_node()
    {
        struct stat st;
        if (stat(input_dir, &st) != 0) {
            if (mkdir(input_dir, 0755) != 0) {
                why_not = std::string("cannot create /dev/input: ") + strerror(errno);
                return;
            }
            made_dir = true;
        }
        if (mkfifo(path.c_str(), 0600) != 0) {
            why_not = path + ": " + strerror(errno);
            return;
        }
        made_fifo = true;
    }
    ~device_node()
    {
        if (made_fifo)
            unlink(path.c_str());
        if (made_dir)
            rmdir(input_dir);
    }
};

TEST(DevicesE2E, EventOnTheWatchedDeviceMakesTheNextCheckBusy)
{
    device_node node;
    if (!node.made_fifo)
        GTEST_SKIP() << node.why_not;

    temp_dir fakes;
    const std::string listing = fakes.write(
        "devices", read_fixture("proc-bus-input-devices.txt") +
                       "I: Bus=0003 Vendor=0471 Product=0815 Version=0100\n"
                       "N: Name=\"Test Remote\"\n"
                       "H: Handlers=kbd " + node.event + " \n\n");
    // "cat" of the listing path prints the fake listing; any other use is
    // the real cat.
    write_script(fakes, "cat",
                 "if [ \"$1\" = /proc/bus/input/devices ]; then exec /bin/cat '" + listing + "'; fi\n"
                 "exec /bin/cat \"$@\"\n");

    // Writes one key event once the watcher has opened the device.
    signal(SIGPIPE, SIG_IGN);
    fake_device remote(node.path, false);
    bool sent = false;
    std::thread writer([&] {
        if (remote.connect(15000)) {
            remote.send_event(1);
            sent = true;
        }
    });

    run_options opt;
    opt.path = fakes.path + ":/usr/bin:/bin";
    opt.args = {"-c", "true", "-di", "1", "-ci", "1", "-ex", "1", "-l", "2",
                "-rx", "0", "-r", "0", "-w", "0", "event8999", node.event};
    opt.until = "初期化(操作あり:" + node.event + ")\n";
    const run_result r = run_lullwatcher(opt);
    writer.join();
    ASSERT_TRUE(sent);
    ASSERT_FALSE(r.timed_out) << r.output;

    const std::string out = r.output;
    // The watcher's start line may come before or after the banner.
    const std::string registrations =
        "デバイス event8999 の追加に失敗\nデバイス \"Test Remote\" の追加に成功 (" + node.event + ")\n";
    const std::string start_line = "\tevent監視スレッド開始 (" + node.event + "）\n";
    const std::string before_banner = out.substr(0, out.find("\n監視開始"));
    EXPECT_TRUE(before_banner == registrations || before_banner == registrations + start_line) << out;
    EXPECT_EQ(occurrences(out, start_line), 1);
    const size_t activity = out.find(node.event + "操作を検知! (1)\r");
    ASSERT_NE(activity, std::string::npos) << out;
    EXPECT_GT(out.find("\n継続時間：初期化(操作あり:" + node.event + ")\n"), activity);
    EXPECT_EQ(out.find("監視失敗"), std::string::npos) << out;
    // A sanitizer build reports a race or an overrun on the same output.
    EXPECT_EQ(out.find("Sanitizer"), std::string::npos) << out;
}

}  // namespace
