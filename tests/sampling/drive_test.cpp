// The disk sampler: the "iostat" parser on the old and the current sysstat
// layouts, the watched name prefixes and the progress lines.
#include <gtest/gtest.h>

#include <string>

#include "sampling/drive.h"
#include "sampling_helpers.h"

namespace {

const std::string header_12 =
    "Device             tps    kB_read/s    kB_wrtn/s    kB_dscd/s    kB_read    kB_wrtn    kB_dscd\n";

std::string disk_12(const std::string& name, uint64_t read, uint64_t write)
{
    return name + "              3.02       410.55        61.30         0.00   " + std::to_string(read) + "    " +
           std::to_string(write) + "          0\n";
}

using IostatParser = SamplingTest;

TEST_F(IostatParser, CurrentLayoutTakesTheCountersByTheirColumnNames)
{
    EXPECT_EQ(feed_iostat(read_fixture("iostat-sysstat-12.6.txt")), 2);
    EXPECT_EQ(drive_records(), (std::vector<record_values>{{"sda", 35665316, 0, 5325224, 0},
                                                           {"sdb", 88519, 0, 0, 0}}));
}

TEST_F(IostatParser, OldLayoutWithColonHeader)
{
    EXPECT_EQ(feed_iostat(read_fixture("iostat-sysstat-11-old.txt")), 2);
    EXPECT_EQ(drive_records(), (std::vector<record_values>{{"sda", 1923417, 0, 1151280, 0},
                                                           {"sdb", 16140, 0, 0, 0}}));
}

TEST_F(IostatParser, WithoutHeaderTheFixedLayoutIsUsed)
{
    EXPECT_EQ(feed_iostat("sda 2.81 39.21 23.47 100 200\nsdb 1 2 3 4 5 6 7\n"), 2);
    EXPECT_EQ(drive_records(), (std::vector<record_values>{{"sda", 100, 0, 200, 0}, {"sdb", 4, 0, 5, 0}}));
}

TEST_F(IostatParser, LinesWhoseCountersDoNotConvertAreSkipped)
{
    // The current layout read by the old fixed conversion would take
    // kB_dscd/s as the read counter; such lines are skipped, never recorded
    // with stale or undefined values.
    EXPECT_EQ(feed_iostat("sda 294.78 3875.87 1569.51 456.19 427121 172960 50272\n"), 0);
    EXPECT_EQ(feed_iostat(header_12 +
                          "sda 1.0 2.0 3.0 4.0 100\n"             // too few fields
                          "sdb 1.0 2.0 3.0 4.0 -5 7 0\n"          // sign
                          "sdc 1.0 2.0 3.0 4.0 12x 7 0\n"         // trailing text
                          "sdd 1.0 2.0 3.0 4.0 99999999999999999999 7 0\n"  // too large
                          "sde x y z 4.0 10 20 0\n"               // rates are not looked at
                          "sdf\n"),
              1);
    EXPECT_EQ(feed_iostat("sda one 2 3 10 20\n"), 0);  // fixed layout wants numbers
    EXPECT_EQ(drive_records(), (std::vector<record_values>{{"sde", 10, 0, 20, 0}}));
}

TEST_F(IostatParser, HeaderWithoutTheCounterColumnsYieldsNothing)
{
    // "iostat -x" reports rates only.
    EXPECT_EQ(feed_iostat("Device            r/s     rkB/s   rrqm/s  %rrqm r_await rareq-sz     w/s\n"
                          "sda              1.29     89.71     0.07   5.04    0.53    69.58    0.91\n"),
              0);
    EXPECT_EQ(drive_records().size(), 0u);
}

TEST_F(IostatParser, OnlyLinesStartingWithAWatchedPrefixInTheFirstColumn)
{
    const std::string report = header_12 + disk_12("nvme0n1", 1, 2) + disk_12("sda", 3, 4) +
                               disk_12("sda1", 5, 6) + " " + disk_12("sdz", 7, 8) + disk_12("vda", 9, 10) +
                               disk_12("md0", 11, 12) + disk_12("mmcblk0p1", 13, 14);
    // Default "sd": any name beginning with "sd", partitions included.
    EXPECT_EQ(feed_iostat(report), 2);
    EXPECT_EQ(drive_records(), (std::vector<record_values>{{"sda", 3, 0, 4, 0}, {"sda1", 5, 0, 6, 0}}));

    drive_data_clear();
    set_disk_prefixes("nvme, vd ,,md");
    EXPECT_EQ(feed_iostat(report), 3);
    EXPECT_EQ(drive_records(), (std::vector<record_values>{{"nvme0n1", 1, 0, 2, 0}, {"vda", 9, 0, 10, 0},
                                                           {"md0", 11, 0, 12, 0}}));
}

TEST_F(IostatParser, GrowthFallingCountersAndLateDisks)
{
    feed_iostat(header_12 + disk_12("sda", 100, 900) + disk_12("sdb", 10, 10));
    feed_iostat(header_12 + disk_12("sda", 150, 300) + disk_12("sdb", 10, 10) + disk_12("sdc", 1, 2));
    EXPECT_EQ(drive_records(), (std::vector<record_values>{
                                   {"sda", 150, 50, 300, 300}, {"sdb", 10, 0, 10, 0}, {"sdc", 1, 0, 2, 0}}));
}

TEST_F(IostatParser, LongNamesAreTakenWhole)
{
    const std::string name24 = "sd" + std::string(22, 'a');
    const std::string name300 = "sd" + std::string(298, 'b');
    EXPECT_EQ(feed_iostat(header_12 + disk_12(name24, 1, 2) + disk_12(name300, 3, 4)), 2);
    EXPECT_EQ(drive_records(), (std::vector<record_values>{{name24, 1, 0, 2, 0}, {name300, 3, 0, 4, 0}}));
}

TEST_F(IostatParser, LongLinesAreReadInPieces)
{
    // The rest of a line of more than 2047 bytes is a line of its own: it
    // starts with "sd" here and is recorded as a disk.
    const std::string head = "sda 1 2 3 10 20 " + std::string(2047 - 16, '7');
    EXPECT_EQ(feed_iostat(head + "sdq 1 2 3 30 40\n"), 2);
    EXPECT_EQ(drive_records(), (std::vector<record_values>{{"sda", 10, 0, 20, 0}, {"sdq", 30, 0, 40, 0}}));
}

// Progress lines, compared byte for byte.
struct drive_display_case {
    const char* label;
    int level;
    uint64_t read_threshold;
    uint64_t write_threshold;
    std::string expected;
};

const std::string all_drive_lines =
    "sda : read total Kbytes : 150\nsda : read increased Kbytes : 50\n"
    "sda : write total Kbytes : 960\nsda : wtite increased Kbytes : 60\n"
    "sdb : read total Kbytes : 5\nsdb : read increased Kbytes : 0\n"
    "sdb : write total Kbytes : 6\nsdb : wtite increased Kbytes : 0\n";

void PrintTo(const drive_display_case& c, std::ostream* os)
{
    *os << c.label;
}

class DriveDisplay : public SamplingTest, public ::testing::WithParamInterface<drive_display_case> {};

TEST_P(DriveDisplay, PrintsTheLinesOfItsLevelAndThresholds)
{
    const drive_display_case& c = GetParam();
    feed_iostat(header_12 + disk_12("sda", 100, 900) + disk_12("sdb", 5, 6));
    feed_iostat(header_12 + disk_12("sda", 150, 960) + disk_12("sdb", 5, 6));
    settings.disp_level = c.level;
    settings.read_threshold = c.read_threshold;
    settings.write_threshold = c.write_threshold;
    EXPECT_EQ(capture_stdout(drive_data_disp), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    DriveLevels, DriveDisplay,
    ::testing::Values(
        drive_display_case{"unwatched_level0", 0, 0, 0, ""},
        drive_display_case{"unwatched_level3", 3, 0, 0, ""},
        drive_display_case{"level0_defaults", 0, 1024, 1024,
                           "sda : read increased Kbytes : 50\nsda : wtite increased Kbytes : 60\n"
                           "sdb : read increased Kbytes : 0\nsdb : wtite increased Kbytes : 0\n"},
        drive_display_case{"negative_read_only", -1, 1024, 0,
                           "sda : read increased Kbytes : 50\nsdb : read increased Kbytes : 0\n"},
        drive_display_case{"level1_write_only", 1, 0, 7,
                           "sda : wtite increased Kbytes : 60\nsdb : wtite increased Kbytes : 0\n"},
        drive_display_case{"level2_read_only", 2, 1, 0, all_drive_lines},
        drive_display_case{"level3_defaults", 3, 1024, 1024, all_drive_lines}),
    [](const ::testing::TestParamInfo<drive_display_case>& info) { return std::string(info.param.label); });

}  // namespace
