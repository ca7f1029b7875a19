// The network sampler: the "ifconfig" parser on real layouts, the records
// and the progress lines.
#include <gtest/gtest.h>

#include <string>

#include "base/progress.h"
#include "sampling/traffic.h"
#include "sampling_helpers.h"

namespace {

std::string block(const std::string& name, uint64_t rx, uint64_t tx)
{
    return name + ": flags=4163<UP,BROADCAST,RUNNING,MULTICAST>  mtu 1500\n"
                  "        inet 192.0.2.20  netmask 255.255.255.0  broadcast 192.0.2.255\n"
                  "        RX packets 12  bytes " + std::to_string(rx) + " (1.0 KiB)\n"
                  "        RX errors 0  dropped 0  overruns 0  frame 0\n"
                  "        TX packets 7  bytes " + std::to_string(tx) + " (0.5 KiB)\n"
                  "        TX errors 0  dropped 0 overruns 0  carrier 0  collisions 0\n\n";
}

using IfconfigParser = SamplingTest;

TEST_F(IfconfigParser, NetTools210ListingRecordsEachInterfaceOnceInOrder)
{
    // Five blocks; the alias enp3s0:1 is recorded as enp3s0 once more, with
    // enp3s0's readings, so it adds no growth.
    EXPECT_EQ(feed_ifconfig(read_fixture("ifconfig-net-tools-2.10.txt")), 5);
    EXPECT_EQ(traffic_records(), (std::vector<record_values>{
                                     {"docker0", 0, 0, 0, 0},
                                     {"enp3s0", 11964216372ULL, 0, 1428890118, 0},
                                     {"lo", 4410736, 0, 4410736, 0},
                                     {"wlp2s0", 0, 0, 0, 0},
                                 }));
}

TEST_F(IfconfigParser, GrowthIsCountedPerInterfaceAndFallingCountersCountInFull)
{
    feed_ifconfig(block("eth0", 900, 50) + block("lo", 10, 10));
    feed_ifconfig(block("eth0", 1900, 50) + block("lo", 10, 10));
    EXPECT_EQ(traffic_records(), (std::vector<record_values>{{"eth0", 1900, 1000, 50, 0}, {"lo", 10, 0, 10, 0}}));
    // A lower reading counts in full, as growth from zero.
    feed_ifconfig(block("eth0", 300, 50) + block("lo", 10, 10));
    EXPECT_EQ(traffic_records()[0], (record_values{"eth0", 300, 1300, 50, 0}));
}

TEST_F(IfconfigParser, InterfaceFirstSeenLaterIsAppendedWithoutGrowth)
{
    feed_ifconfig(block("lo", 10, 10));
    feed_ifconfig(block("eth1", 5000, 6000) + block("lo", 10, 10));
    EXPECT_EQ(traffic_records(), (std::vector<record_values>{{"lo", 10, 0, 10, 0}, {"eth1", 5000, 0, 6000, 0}}));
}

TEST_F(IfconfigParser, BlockStructureFollowsIndentationAndColons)
{
    feed_ifconfig(
        "eth0: flags=4163<UP>  mtu 1500\n"
        "        inet6 fe80::2e0:4cff:fe68:1a2b  prefixlen 64\n"  // indented, with ':'
        "\n"
        "a line without a colon\n"                              // ends nothing
        "        RX packets 3  bytes 700 (700.0 B)\n"
        "\tTX packets 2  bytes 800 (800.0 B)\n");
    EXPECT_EQ(traffic_records(), (std::vector<record_values>{{"eth0", 700, 0, 800, 0}}));
}

TEST_F(IfconfigParser, BlockWithoutCountersTakesTheValuesBeforeIt)
{
    // An alias right after its interface repeats its readings; after another
    // interface it would take that one's: the values are kept across blocks.
    feed_ifconfig(block("eth0", 100, 200) + "eth0:1: flags=4163<UP>  mtu 1500\n        inet 192.0.2.21\n\n" +
                  "tun0: flags=4305<UP>  mtu 1500\n");
    EXPECT_EQ(traffic_records(), (std::vector<record_values>{{"eth0", 100, 0, 200, 0}, {"tun0", 100, 0, 200, 0}}));
    feed_ifconfig(block("eth0", 150, 200) + "eth0:1: flags=4163<UP>  mtu 1500\n");
    EXPECT_EQ(traffic_records()[0], (record_values{"eth0", 150, 50, 200, 0}));
}

TEST_F(IfconfigParser, NamesAtTheirLimit)
{
    const std::string name31(31, 'n');
    const std::string name32(32, 'm');
    // The 32-byte name would not fit: its block is skipped, never cut.
    EXPECT_EQ(feed_ifconfig(block(name31, 1, 2) + block(name32, 3, 4) + block("lo", 5, 6)), 2);
    EXPECT_EQ(traffic_records(), (std::vector<record_values>{{name31, 1, 0, 2, 0}, {"lo", 5, 0, 6, 0}}));
    // Nothing before the ':' leaves the block unrecorded as well.
    traffic_data_clear();
    feed_ifconfig(block("", 7, 8) + block("lo", 5, 6));
    EXPECT_EQ(traffic_records(), (std::vector<record_values>{{"lo", 5, 0, 6, 0}}));
}

TEST_F(IfconfigParser, LongLinesAreReadInPiecesOf2047Bytes)
{
    // The piece after the first 2047 bytes is a line of its own: here it
    // starts a block (not indented, holds ':'), and the tail of the long
    // counter line is not indented, so its "bytes" go unread.
    const std::string long_head(2047, 'x');
    std::string counter = "        RX packets 1  ";
    counter += std::string(2047 - counter.size(), ' ');
    feed_ifconfig(long_head + "eth9: flags=4163<UP>\n" + counter + "bytes 5000\n" +
                  "        TX packets 1  bytes 42 (42.0 B)\n");
    EXPECT_EQ(traffic_records(), (std::vector<record_values>{{"eth9", 0, 0, 42, 0}}));
}

TEST_F(IfconfigParser, CounterTextsAreReadAsLeadingDigits)
{
    feed_ifconfig(block("eth0", 900, 900));
    feed_ifconfig("eth0: flags=4163<UP>\n"
                  "        RX packets 1  bytes (none)\n"                 // no digits: 0
                  "        TX packets 1  bytes 99999999999999999999999\n");  // saturates
    EXPECT_EQ(traffic_records(), (std::vector<record_values>{{"eth0", 0, 0, UINT64_MAX, UINT64_MAX - 900}}));
}

TEST_F(IfconfigParser, OutputWithoutByteCountersIsNothingUsable)
{
    // net-tools 1.60 wrote "RX bytes:N"; a shell's complaint has no block at all.
    EXPECT_EQ(feed_ifconfig("eth0      Link encap:Ethernet  HWaddr 00:e0:4c:68:1a:2b\n"
                            "          RX packets:8830163 errors:0 dropped:0 overruns:0 frame:0\n"
                            "          RX bytes:11964216372 (11.1 GiB)  TX bytes:1428890118 (1.3 GiB)\n"),
              0);
    EXPECT_EQ(feed_ifconfig(""), 0);
    EXPECT_EQ(feed_ifconfig("sh: 1: ifconfig: not found\n"), 0);
    // Nothing of such output is recorded, not even the blocks' names.
    EXPECT_EQ(traffic_records().size(), 0u);
}

TEST_F(IfconfigParser, ManyInterfacesKeepTheirOrderAndRecords)
{
    std::string first;
    std::string second;
    for (int i = 0; i < 3000; i++) {
        first += block("veth" + std::to_string(i), 1000, 0);
        second += block("veth" + std::to_string(i), 1000 + i, 0);
    }
    EXPECT_EQ(feed_ifconfig(first), 3000);
    feed_ifconfig(second);
    int i = 0;
    for (const traffic_entry* e = traffic_data; e != nullptr; e = e->next, i++) {
        ASSERT_EQ(e->name, "veth" + std::to_string(i));
        ASSERT_EQ(e->rx_increased, static_cast<uint64_t>(i));
    }
    EXPECT_EQ(i, 3000);
}

// Progress lines, compared byte for byte.
const std::string all_lines =
    "eth0 : RX total bytes : 150\neth0 : RX increased bytes : 50\n"
    "eth0 : TX total bytes : 260\neth0 : TX increased bytes : 60\n"
    "lo : RX total bytes : 5\nlo : RX increased bytes : 0\n"
    "lo : TX total bytes : 6\nlo : TX increased bytes : 0\n";

struct display_case {
    const char* label;
    int level;
    uint64_t rx_threshold;
    uint64_t tx_threshold;
    int disp_done;
    std::string expected;
};

void PrintTo(const display_case& c, std::ostream* os)
{
    *os << c.label;
}

class TrafficDisplay : public SamplingTest, public ::testing::WithParamInterface<display_case> {};

TEST_P(TrafficDisplay, PrintsTheLinesOfItsLevelAndThresholds)
{
    const display_case& c = GetParam();
    feed_ifconfig(block("eth0", 100, 200) + block("lo", 5, 6));
    feed_ifconfig(block("eth0", 150, 260) + block("lo", 5, 6));
    settings.disp_level = c.level;
    settings.rx_threshold = c.rx_threshold;
    settings.tx_threshold = c.tx_threshold;
    device_operation_disp_done.store(c.disp_done);
    EXPECT_EQ(capture_stdout(disp_traffic_data), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    TrafficLevels, TrafficDisplay,
    ::testing::Values(
        display_case{"level0", 0, 1048576, 0, 1, ""},
        display_case{"negative", -3, 1048576, 5, 0, ""},
        display_case{"level1_rx", 1, 1048576, 0, 0,
                     "\neth0 : RX increased bytes : 50\nlo : RX increased bytes : 0\n"},
        display_case{"level1_after_device_line", 1, 1048576, 0, 1,
                     "\n\neth0 : RX increased bytes : 50\nlo : RX increased bytes : 0\n"},
        display_case{"level1_tx", 1, 0, 9, 0,
                     "\neth0 : TX increased bytes : 60\nlo : TX increased bytes : 0\n"},
        display_case{"level1_both", 1, 1, 1, 0,
                     "\neth0 : RX increased bytes : 50\neth0 : TX increased bytes : 60\n"
                     "lo : RX increased bytes : 0\nlo : TX increased bytes : 0\n"},
        display_case{"level2_rx", 2, 1048576, 0, 0, "\n" + all_lines},
        display_case{"level2_tx", 2, 0, 1, 1, "\n\n" + all_lines},
        display_case{"level7", 7, 1, 1, 0, "\n" + all_lines}),
    [](const ::testing::TestParamInfo<display_case>& info) { return std::string(info.param.label); });

TEST_F(SamplingTest, TrafficDisplayPrintsALineFeedEvenWithoutInterfaces)
{
    EXPECT_EQ(capture_stdout(disp_traffic_data), "\n");
}

}  // namespace
