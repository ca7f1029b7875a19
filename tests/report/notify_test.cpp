// Messages to the service manager, received on a socket that the test
// binds as NOTIFY_SOCKET, and the journal's priority prefixes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "base/journal.h"
#include "base/settings.h"
#include "report/notify.h"
#include "report/report.h"
#include "support/test_support.h"

namespace {

class Notify : public ::testing::Test {
protected:
    temp_dir dir;
    int sock = -1;
    void SetUp() override
    {
        reset_program_state();
        sock = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string path = dir.path + "/notify";
        snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        setenv("NOTIFY_SOCKET", path.c_str(), 1);
        setenv("WATCHDOG_USEC", "20000000", 1);
        setenv("WATCHDOG_PID", std::to_string(getpid()).c_str(), 1);
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        for (const char* name : {"NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID", "TZ"})
            unsetenv(name);
        tzset();
        close(sock);
        reset_program_state();
    }
    // The next datagram, or "" when none is waiting.
    std::string next()
    {
        char buf[1024];
        const ssize_t n = recv(sock, buf, sizeof buf, 0);
        return n < 0 ? "" : std::string(buf, static_cast<size_t>(n));
    }
};

}  // namespace

TEST_F(Notify, ReadyStatusAndWatchdog)
{
    // A watchdog of 20 s with a pass every 10 s: a slow pass would be killed.
    EXPECT_EQ(capture_stdout([] { report_start(1796731200); }),
              "警告：ウォッチドッグ時間（20000 ミリ秒）が表示間隔（10 秒）の2倍以下です。"
              "正常に動作していても停止されます。\n");
    EXPECT_EQ(next(), "READY=1\nSTATUS=idle 0 of 10 min, never busy");
    report_pass();
    EXPECT_EQ(next(), "WATCHDOG=1");

    activity_check busy;
    busy.busy = true;
    activity_add_reason(busy, {"net", "eth0", "rx", 3565158});
    activity_add_reason(busy, {"input", "event3"});
    report_check(busy, 0, 1796731380);
    EXPECT_EQ(next(), "STATUS=idle 0 of 10 min, last busy 12:03 by eth0 rx 3.4 MB and 1 more");
    report_check(activity_check(), 420, 1796731800);
    EXPECT_EQ(next(), "STATUS=idle 7 of 10 min, last busy 12:03 by eth0 rx 3.4 MB and 1 more");
    EXPECT_EQ(next(), "");
}

TEST_F(Notify, NothingWithoutNotifySocket)
{
    unsetenv("NOTIFY_SOCKET");
    EXPECT_EQ(capture_stdout([] {
                  report_start(1000);
                  report_pass();
                  report_check(activity_check(), 60, 1060);
                  report_end();
              }),
              "");
    EXPECT_EQ(next(), "");
}

TEST(WatchdogWarning, OnlyWhenPeriodIsAtMostTwoPasses)
{
    EXPECT_NE(watchdog_warning(20000000, 10), "");
    EXPECT_NE(watchdog_warning(500000, 1), "");
    EXPECT_EQ(watchdog_warning(20000001, 10), "");
    EXPECT_EQ(watchdog_warning(0, 10), "");
}

TEST(JournalPrefix, OnlyWhenJournalStreamNamesStandardOutput)
{
    struct stat st;
    ASSERT_EQ(fstat(STDOUT_FILENO, &st), 0);
    const std::string dev = std::to_string(st.st_dev);
    const std::string ino = std::to_string(st.st_ino);
    struct row {
        const char* name;
        std::string value;  // "-": unset
        const char* warning;
        const char* error;
    };
    const row rows[] = {
        {"matches", dev + ":" + ino, "<4>", "<3>"},
        {"other inode", dev + ":" + std::to_string(st.st_ino + 1), "", ""},
        {"trailing text", dev + ":" + ino + "x", "", ""},
        {"unset", "-", "", ""},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        if (r.value == "-")
            unsetenv("JOURNAL_STREAM");
        else
            setenv("JOURNAL_STREAM", r.value.c_str(), 1);
        journal_reset();
        EXPECT_STREQ(journal_prefix(journal_warning), r.warning);
        EXPECT_STREQ(journal_prefix(journal_error), r.error);
    }
    unsetenv("JOURNAL_STREAM");
    journal_reset();
}
