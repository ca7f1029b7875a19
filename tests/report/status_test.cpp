// The status file through a start, a busy and an idle check, an expiry and
// the end; its atomic replacement; and its write failures.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "base/settings.h"
#include "base/version.h"
#include "base/journal.h"
#include "base/streams.h"
#include "report/atomic_file.h"
#include "report/metrics.h"
#include "report/report.h"
#include "report/status_file.h"
#include "sampling/drive.h"
#include "sampling/sources.h"
#include "sampling/traffic.h"
#include "support/test_support.h"

namespace {

class StatusFile : public ::testing::Test {
protected:
    temp_dir dir;
    std::string path = dir.path + "/status";
    void SetUp() override
    {
        reset_program_state();
        snprintf(settings.status_path, sizeof settings.status_path, "%s", path.c_str());
    }
    void TearDown() override { reset_program_state(); }
    std::string file() const { return read_text(path); }
    static std::string read_text(const std::string& p)
    {
        std::string out;
        file_stream in(fopen(p.c_str(), "re"));
        char buf[4096];
        size_t n;
        while (in && (n = fread(buf, 1, sizeof buf, in.get())) > 0)
            out.append(buf, n);
        return out;
    }
};

// Two readings one period apart: eth0 and "dm x" over their thresholds.
void sample_busy_period()
{
    traffic_data_add("lo", 100, 100);
    traffic_data_add("eth0", 1000, 0);
    drive_data_add("dm x", 10, 10);
    traffic_data_add("lo", 200, 200);
    traffic_data_add("eth0", 1000 + 3565158, 0);
    drive_data_add("dm x", 10, 5000);
}

}  // namespace

TEST_F(StatusFile, KeysAndValuesFollowTheRun)
{
    // The network sampler fell back to the kernel's counters; the disk
    // sampler still runs its command.
    traffic_sampler.on_kernel = true;
    settings.tx_threshold = 100;
    settings.read_threshold = 0;
    settings.write_threshold = 2048;
    const std::string head = "pid=" + std::to_string(getpid()) + "\nversion=" + program_version +
                             "\nstarted=1000\n";
    const std::string thresholds = "check_interval=60\nrx_threshold=1048576\ntx_threshold=100\n"
                                   "read_threshold=0\nwrite_threshold=2048\n";
    const std::string tail = "action=sync; sync; sync; shutdown -h now\n" + thresholds;
    report_start(1000);
    EXPECT_EQ(file(), head + "state=watching\nnetwork_source=kernel\ndisk_source=command\nidle_seconds=0\n"
                             "expiry_seconds=600\nseconds_left=600\nchecks=0\nlast_check=0\nlast_verdict=none\n"
                             "last_busy=0\nbusy_reasons=\nexpiries=0\n" + tail);

    sample_busy_period();
    activity_check busy;
    busy.busy = true;
    activity_add_reason(busy, "input:event3");
    report_take_growth();
    report_add_growth_reasons(busy);
    report_check(busy, 0, 1060);
    // lo sent exactly its threshold (100): not over it, so no token.
    EXPECT_EQ(file(), head + "state=watching\nnetwork_source=kernel\ndisk_source=command\nidle_seconds=0\n"
                             "expiry_seconds=600\nseconds_left=600\nchecks=1\nlast_check=1060\nlast_verdict=busy\n"
                             "last_busy=1060\nbusy_reasons=input:event3 net:eth0:rx:3565158 disk:dm\\x20x:write:4990\n"
                             "expiries=0\n" + tail);

    // An idle check keeps the last busy check and its reasons.
    activity_check idle;
    report_check(idle, 540, 1120);
    report_expiry();
    report_check(idle, 0, 1180);
    // A control character would end the line: it is escaped.
    strcpy(settings.command, "logger 'idle\tend'");
    report_end();
    EXPECT_EQ(file(), head + "state=ended\nnetwork_source=kernel\ndisk_source=command\nidle_seconds=0\n"
                             "expiry_seconds=600\nseconds_left=600\nchecks=3\nlast_check=1180\nlast_verdict=idle\n"
                             "last_busy=1060\nbusy_reasons=input:event3 net:eth0:rx:3565158 disk:dm\\x20x:write:4990\n"
                             "expiries=1\naction=logger 'idle\\x09end'\n" + thresholds);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(StatusFile, ReaderNeverSeesAPartialFile)
{
    // Contents of different lengths, so that a torn read shows.
    const std::string small(100, 's');
    const std::string large(200000, 'L');
    ASSERT_EQ(atomic_file_write(path.c_str(), small), 0);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 300; i++)
            EXPECT_EQ(atomic_file_write(path.c_str(), i % 2 ? small : large), 0);
        done.store(true);
    });
    int reads = 0;
    while (!done.load() || reads == 0) {
        const std::string seen = file();
        ASSERT_TRUE(seen == small || seen == large) << "read " << seen.size() << " bytes";
        reads++;
    }
    writer.join();
    // No temporary file is left behind.
    EXPECT_EQ(system(("test \"$(ls -A " + dir.path + ")\" = status").c_str()), 0);
}

// Each report file warns once while it cannot be written, and again only
// after it was written in between.
TEST_F(StatusFile, WriteFailureWarnsOncePerSpell)
{
    struct row {
        char* setting;
        void (*publish)();
        const char* warning;
    };
    const row rows[] = {
        {settings.status_path, status_publish, "警告：状態ファイルを書き込めません："},
        {settings.metrics_path, metrics_publish, "警告：メトリクスファイルを書き込めません："},
    };
    for (const row& r : rows) {
        reset_program_state();
        const std::string target = dir.path + "/sub/file";
        snprintf(r.setting, report_path_size, "%s", target.c_str());
        const std::string line = std::string(r.warning) + target + "（No such file or directory）\n";
        EXPECT_EQ(capture_stdout([&] { r.publish(); r.publish(); }), line);
        ASSERT_EQ(mkdir((dir.path + "/sub").c_str(), 0755), 0);
        EXPECT_EQ(capture_stdout(r.publish), "");
        EXPECT_EQ(system(("rm -r " + dir.path + "/sub").c_str()), 0);
        EXPECT_EQ(capture_stdout([&] { r.publish(); r.publish(); }), line);
    }
}

// A warning carries the journal's priority when standard output is the
// journal's stream.
TEST_F(StatusFile, WarningCarriesJournalPriority)
{
    snprintf(settings.status_path, sizeof settings.status_path, "%s/none/status", dir.path.c_str());
    const std::string out = capture_stdout([] {
        struct stat st;
        fstat(STDOUT_FILENO, &st);
        const std::string stream = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
        setenv("JOURNAL_STREAM", stream.c_str(), 1);
        journal_reset();
        status_publish();
    });
    unsetenv("JOURNAL_STREAM");
    EXPECT_EQ(out.rfind("<4>警告：状態ファイルを書き込めません：", 0), 0u) << out;
}
