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
#include "activity/logind.h"
#include "activity/source_report.h"
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
    traffic_table.state.on_kernel = true;
    settings.tx_threshold = 100;
    settings.read_threshold = 0;
    settings.write_threshold = 2048;
    report_start(1000);
    EXPECT_NE(file().find("checks=0\nlast_check=0\nlast_verdict=none\nlast_busy=0\nbusy_reasons=\n"),
              std::string::npos);

    sample_busy_period();
    activity_check busy;
    busy.busy = true;
    activity_add_reason(busy, {"input", "event3"});
    traffic_data_check(busy);
    drive_data_check(busy);
    report_check(busy, 0, 1060);
    // lo sent exactly its threshold (100): not over it, so no token.
    const std::string reasons = "busy_reasons=input:event3 net:eth0:rx:3565158 disk:dm\\x20x:write:4990\n";
    EXPECT_EQ(file(), "pid=" + std::to_string(getpid()) + "\nversion=" + program_version +
                          "\nstarted=1000\nstate=watching\nnetwork_source=kernel\ndisk_source=command\n"
                          "idle_seconds=0\nexpiry_seconds=600\nseconds_left=600\nchecks=1\nlast_check=1060\n"
                          "last_verdict=busy\nlast_busy=1060\n" + reasons + "expiries=0\n"
                          "action=sync; sync; sync; shutdown -h now\ndry_run=off\ncheck_interval=60\nrx_threshold=1048576\n"
                          "tx_threshold=100\nread_threshold=0\nwrite_threshold=2048\nsources=net:ok disk:ok\n");

    // An idle check keeps the last busy check and its reasons.
    report_check(activity_check(), 540, 1120);
    report_expiry();
    report_check(activity_check(), 0, 1180);
    // A control character would end the line: it is escaped.
    strcpy(settings.command, "logger 'idle\tend'");
    report_end();
    EXPECT_NE(file().find("state=ended\n"), std::string::npos);
    EXPECT_NE(file().find("checks=3\nlast_check=1180\nlast_verdict=idle\nlast_busy=1060\n" + reasons +
                          "expiries=1\naction=logger 'idle\\x09end'\n"),
              std::string::npos);
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

// Each switched-on source, whether it answered and whether it kept the
// machine on, in the status file and the metrics alike.
TEST_F(StatusFile, SourcesHealthAndVerdicts)
{
    const struct {
        bool counters;        // the default thresholds, else all 0
        bool inhibitor_fails; // inhibitors on, and failing at the check
        const char* sources;
        const char* metrics;  // lines of the source families, in order
    } cases[] = {
        {true, false, "net:ok disk:ok",
         "lullwatcher_source_up{source=\"net\"} 1\nlullwatcher_source_up{source=\"disk\"} 1\n"},
        {true, true, "net:ok disk:ok inhibitor:error",
         "lullwatcher_source_up{source=\"inhibitor\"} 0\n"},
        {false, true, "inhibitor:error", "lullwatcher_source_busy{source=\"inhibitor\"} 1\n"},
        {false, false, "", "# TYPE lullwatcher_source_busy gauge\n"},
    };
    for (const auto& c : cases) {
        SetUp();
        if (!c.counters)
            settings.rx_threshold = settings.read_threshold = settings.write_threshold = 0;
        activity_check check;
        if (c.inhibitor_fails) {
            settings.inhibitors = 1;
            capture_stdout([&] { source_failed(check, inhibitor_health, "inhibitor", "x"); });
        }
        report_check(check, 0, 1000);
        EXPECT_NE(file().find(std::string("\nsources=") + c.sources + "\n"), std::string::npos) << c.sources;
        EXPECT_NE(metrics_format(report_state).find(c.metrics), std::string::npos) << c.sources;
    }
}
