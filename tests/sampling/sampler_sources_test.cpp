// One sampling run: the command in the C locale, the switch to the kernel
// counters when the command yields nothing usable, and its one warning.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

#include "sampling/drive.h"
#include "sampling/traffic.h"
#include "sampling_helpers.h"

extern char** environ;

namespace {

class SamplerSources : public SamplingTest {
protected:
    temp_dir dir;
    std::string ifconfig_fake;
    std::string iostat_fake;
    std::string net_dev;
    std::string diskstats;
    void SetUp() override
    {
        SamplingTest::SetUp();
        set_interfaces_down({"ifb0", "ifb1"});
        net_dev = dir.write("net_dev", read_fixture("proc-net-dev-vm.txt"));
        diskstats = dir.write("diskstats", read_fixture("diskstats-desktop.txt"));
        mkdir((dir.path + "/block").c_str(), 0755);
        mkdir((dir.path + "/block/sda").c_str(), 0755);
        block_path = dir.path + "/block";
        sys_block_path = block_path.c_str();
        proc_net_dev_path = net_dev.c_str();
        diskstats_path = diskstats.c_str();
    }
    std::string block_path;

    // A command that prints the fixture.
    std::string cat_fixture(const char* name)
    {
        return "cat " + dir.write(name, read_fixture(name));
    }
};

TEST_F(SamplerSources, CommandsRunInTheCLocaleOfTheirOwn)
{
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    const std::string fake = "printf 'loc_%s: flags\\n        RX packets 1  bytes 5\\n' \"$LC_ALL\"";
    ifconfig_command = fake.c_str();
    EXPECT_EQ(capture_stdout(get_traffic_data), "");
    EXPECT_EQ(traffic_records(), (std::vector<record_values>{{"loc_C", 5, 0, 0, 0}}));
    EXPECT_STREQ(getenv("LC_ALL"), "ja_JP.UTF-8");  // the program's own stays
    unsetenv("LC_ALL");
}

// Only what the latest run listed reaches the reports, and a name from
// outside never makes a progress line of its own.
TEST_F(SamplerSources, GrowthReportedForWhatTheLatestRunListed)
{
    const std::string command = "cat " + dir.path + "/ifconfig";
    ifconfig_command = command.c_str();
    const auto block = [](const std::string& name) {
        return name + ": flags\n        RX packets 1  bytes 5\n        TX packets 1  bytes 5\n";
    };
    dir.write("ifconfig", block("eth0") + block("veth1"));
    capture_stdout(get_traffic_data);
    dir.write("ifconfig", block("eth0"));
    capture_stdout(get_traffic_data);
    activity_check check;
    check.growth_wanted = true;
    traffic_data_check(check);
    ASSERT_EQ(check.growth.size(), 2u);
    EXPECT_EQ(check.growth[0].name, "eth0");
    EXPECT_EQ(check.growth[1].name, "eth0");
    EXPECT_EQ(traffic_records().size(), 2u);  // the progress lines keep both
    EXPECT_EQ(capture_stdout([] { print_counter_line("%s : RX total bytes : %llu\n", "a\nb", 1); }),
              "a\\x0ab : RX total bytes : 1\n");
}

// The lines of text, in any order (values holding line feeds are split alike).
std::multiset<std::string> line_set(const std::string& text)
{
    std::multiset<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.insert(line);
    return lines;
}

TEST_F(SamplerSources, PlainCommandStartsWithoutShellAndOnlyLcAllChanged)
{
    // A shell in between would add PWD.
    const std::string saved_pwd = getenv("PWD") != nullptr ? getenv("PWD") : "";
    unsetenv("PWD");
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    std::string expected;
    for (char** e = environ; *e != nullptr; e++)
        expected += strncmp(*e, "LC_ALL=", 7) == 0 ? std::string("LC_ALL=C\n") : std::string(*e) + "\n";
    std::string output;
    EXPECT_TRUE(run_sampler_command("env", output));
    unsetenv("LC_ALL");
    if (!saved_pwd.empty())
        setenv("PWD", saved_pwd.c_str(), 1);
    EXPECT_EQ(line_set(output), line_set(expected));
}

TEST_F(SamplerSources, DeadlineIsTheDisplayIntervalWithin1And10Seconds)
{
    const int cases[][2] = {{1, 1000}, {5, 5000}, {10, 10000}, {60, 10000}, {0, 1000}};
    for (const auto& c : cases) {
        settings.disp_interval = c[0];
        EXPECT_EQ(sampler_deadline_ms(), c[1]) << c[0];
    }
}

TEST_F(SamplerSources, HangingCommandCountsAsNothingUsable)
{
    sampler_deadline_ms = [] { return 200; };
    const std::string hang = write_script(dir, "ifconfig", "printf 'eth0: flags\n        RX packets 1  bytes 5\n'\nexec sleep 30\n");
    ifconfig_command = hang.c_str();
    EXPECT_EQ(capture_stdout(get_traffic_data), "警告：" + hang + " の出力からインターフェースを読み取れないため、"
                                                "以後はカーネルのカウンタ（" + net_dev + "）で監視します。\n");
    EXPECT_EQ(traffic_records().size(), 2u);  // eth0 and lo, from the kernel
}

TEST_F(SamplerSources, UsableCommandOutputIsRecordedInSilence)
{
    const std::string ifconfig = cat_fixture("ifconfig-net-tools-2.10.txt");
    const std::string iostat = cat_fixture("iostat-sysstat-12.6.txt");
    ifconfig_command = ifconfig.c_str();
    iostat_command = iostat.c_str();
    EXPECT_EQ(capture_stdout([] { get_traffic_data(); get_drive_data(); }), "");
    EXPECT_EQ(traffic_records().size(), 4u);
    EXPECT_EQ(drive_records().size(), 2u);
}

TEST_F(SamplerSources, MissingIfconfigSwitchesToTheKernelWithOneWarning)
{
    ifconfig_command = "lw-no-such-ifconfig 2>/dev/null";
    const std::string first = capture_stdout(get_traffic_data);
    EXPECT_EQ(first, "警告：lw-no-such-ifconfig 2>/dev/null の出力からインターフェースを読み取れないため、"
                     "以後はカーネルのカウンタ（" + net_dev + "）で監視します。\n");
    EXPECT_EQ(traffic_records().size(), 2u);  // eth0 and lo, from the kernel

    // For the rest of the run the kernel is read, even once the command works.
    const std::string ifconfig = cat_fixture("ifconfig-net-tools-2.10.txt");
    ifconfig_command = ifconfig.c_str();
    EXPECT_EQ(capture_stdout(get_traffic_data), "");
    EXPECT_EQ(traffic_records().size(), 2u);
}

TEST_F(SamplerSources, NothingAnywhereIsSaidOnceAndNeverAgain)
{
    ifconfig_command = "true";
    proc_net_dev_path = "/nonexistent/net/dev";
    EXPECT_EQ(capture_stdout(get_traffic_data),
              "警告：true の出力からもカーネルのカウンタ（/nonexistent/net/dev）からもインターフェースを"
              "読み取れません。ネットワークは監視されていません。\n");
    EXPECT_EQ(capture_stdout(get_traffic_data), "");
    traffic_data_clear();  // forgets the warning as well
    EXPECT_NE(capture_stdout(get_traffic_data), "");
}

TEST_F(SamplerSources, DisksWithoutAWatchedNameSwitchToTheKernel)
{
    // A virtual machine's report: only vda, no "sd" disk.
    const std::string iostat = cat_fixture("iostat-vm.txt");
    iostat_command = iostat.c_str();
    const std::string out = capture_stdout(get_drive_data);
    EXPECT_EQ(out, "警告：" + iostat + " の出力から監視対象のディスク（接頭辞：sd）を読み取れないため、"
                   "以後はカーネルのカウンタ（" + diskstats + "）で監視します。\n");
    EXPECT_EQ(drive_records(), (std::vector<record_values>{{"sda", 35665316, 0, 5325224, 0}}));

    // For the rest of the run the kernel is read, even once iostat lists sd disks.
    const std::string old_iostat = cat_fixture("iostat-sysstat-11-old.txt");
    iostat_command = old_iostat.c_str();
    EXPECT_EQ(capture_stdout(get_drive_data), "");
    EXPECT_EQ(drive_records(), (std::vector<record_values>{{"sda", 35665316, 0, 5325224, 0}}));
}

TEST_F(SamplerSources, KernelFileReplacedIsOpenedAgainAfterAFailedRead)
{
    settings.counter_source = counter_source_kernel;
    get_traffic_data();
    // The old file is emptied and a new one takes its name.
    const std::string next = dir.write("net_dev.next", "Inter-|\n face |\n"
                                                       "  eth0: 19107511 1 0 0 0 0 0 0  23237 1 0 0 0 0 0 0\n");
    ASSERT_EQ(truncate(net_dev.c_str(), 0), 0);
    ASSERT_EQ(rename(next.c_str(), net_dev.c_str()), 0);
    EXPECT_EQ(capture_stdout(get_traffic_data), "");
    EXPECT_EQ(traffic_records(), (std::vector<record_values>{{"eth0", 19107511, 1000, 23237, 0},
                                                             {"lo", 3267, 0, 3267, 0}}));
}

TEST_F(SamplerSources, KernelSourceReadsNoCommandAndWarnsWhenEmpty)
{
    settings.counter_source = counter_source_kernel;
    ifconfig_command = "echo ifconfig-ran >&2; exit 1";
    EXPECT_EQ(capture_stdout(get_traffic_data), "");
    EXPECT_EQ(traffic_records().size(), 2u);

    set_disk_prefixes("nvme");
    EXPECT_EQ(capture_stdout(get_drive_data),
              "警告：カーネルのカウンタ（" + diskstats + "）から監視対象のディスク（接頭辞：nvme）を読み取れません。"
              "ディスクは監視されていません。\n");
    EXPECT_EQ(capture_stdout(get_drive_data), "");
}

}  // namespace
