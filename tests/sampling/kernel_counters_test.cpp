// The kernel's counters as a second source: /proc/net/dev and
// /proc/diskstats give the same records as "ifconfig" and "iostat".
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <string>
#include <unistd.h>

#include "sampling/drive.h"
#include "sampling/traffic.h"
#include "sampling_helpers.h"

namespace {

class KernelCounters : public SamplingTest {
protected:
    temp_dir sys;
    void use_sys_block(const std::vector<std::string>& disks)
    {
        make_sys_block(sys, disks);
        sys_block_path = sys.path.c_str();
    }
};

TEST_F(KernelCounters, ProcNetDevGivesTheRecordsOfIfconfig)
{
    // Captures of each machine taken at one moment; the interfaces that are
    // down are not listed by "ifconfig".
    const struct {
        const char* ifconfig;
        const char* net_dev;
        std::set<std::string> down;
        int count;
    } captures[] = {
        {"ifconfig-vm.txt", "proc-net-dev-vm.txt", {"ifb0", "ifb1"}, 2},
        {"ifconfig-net-tools-2.10.txt", "proc-net-dev-desktop.txt", {"virbr0"}, 4},
    };
    for (const auto& c : captures) {
        reset();
        set_interfaces_down(c.down);
        feed_ifconfig(read_fixture(c.ifconfig));
        const auto from_command = traffic_records();
        ASSERT_EQ(from_command.size(), static_cast<size_t>(c.count)) << c.ifconfig;
        traffic_data_clear();
        EXPECT_EQ(feed(parse_proc_net_dev, read_fixture(c.net_dev)), c.count) << c.net_dev;
        EXPECT_EQ(traffic_records(), from_command) << c.net_dev;
    }
}

TEST_F(KernelCounters, UpInterfacesInNaturalOrder)
{
    set_interfaces_down({"eth1"});
    EXPECT_EQ(feed(parse_proc_net_dev, "Inter-|   Receive  |  Transmit\n"
                                " face |bytes    packets|bytes    packets\n"
                                " eth10:  10 1 0 0 0 0 0 0  11 1 0 0 0 0 0 0\n"
                                "  eth1:  20 1 0 0 0 0 0 0  21 1 0 0 0 0 0 0\n"
                                "  eth2:30 1 0 0 0 0 0 0  31 1 0 0 0 0 0 0\n"
                                "  wg0:  40 1 0 0 0 0 0 0  41 1 0 0 0 0 0 0\n"
                                "  bad:  40 1 0 0 0 0 0\n"
                                " a/b:  1 1 0 0 0 0 0 0  1 1 0 0 0 0 0 0\n"),
              3);
    EXPECT_EQ(traffic_records(), (std::vector<record_values>{
                                     {"eth2", 30, 0, 31, 0}, {"eth10", 10, 0, 11, 0}, {"wg0", 40, 0, 41, 0}}));
}

TEST_F(KernelCounters, IgnoredInterfacesGetNoRecordFromEitherSource)
{
    snprintf(settings.ignore_interfaces, sizeof settings.ignore_interfaces, "%s", "lo, docker*,virbr?");
    const struct {
        const char* capture;
        counter_parser parse;
        std::set<std::string> down;
        std::vector<std::string> names;
    } captures[] = {
        {"ifconfig-vm.txt", parse_ifconfig, {}, {"eth0"}},
        {"proc-net-dev-vm.txt", parse_proc_net_dev, {"ifb0", "ifb1"}, {"eth0"}},
        {"ifconfig-net-tools-2.10.txt", parse_ifconfig, {}, {"enp3s0", "wlp2s0"}},
        {"proc-net-dev-desktop.txt", parse_proc_net_dev, {}, {"enp3s0", "wlp2s0"}},
    };
    for (const auto& c : captures) {
        traffic_data_clear();
        set_interfaces_down(c.down);
        feed(c.parse, read_fixture(c.capture));
        std::vector<std::string> names;
        for (const auto& record : traffic_records())
            names.push_back(std::get<0>(record));
        EXPECT_EQ(names, c.names) << c.capture;
    }
}

TEST_F(KernelCounters, ReadingsSortedWhateverTheirFirstOrder)
{
    // Every order of five readings (cycles of every length), each read twice
    // in a row as on two passes (the second moved as the first), and after
    // another order: each name keeps its own values.
    std::vector<std::string> names = {"a", "b", "c", "d", "e"};
    counter_readings readings;
    do {
        for (int pass = 0; pass < 2; pass++) {
            readings.count = 0;
            for (const std::string& n : names)
                readings_push(readings, n, n[0] + pass, n[0] + 100u);
            readings_sort(readings, [](const std::string& a, const std::string& b) { return a < b; });
            for (std::size_t i = 0; i < names.size(); i++) {
                const counter_reading& r = readings.items[i];
                EXPECT_EQ(r.name, std::string(1, static_cast<char>('a' + i)));
                EXPECT_EQ(r.first, static_cast<uint64_t>(r.name[0] + pass));
                EXPECT_EQ(r.second, r.name[0] + 100u);
            }
        }
    } while (std::next_permutation(names.begin(), names.end()));
}

TEST_F(KernelCounters, CounterLinesAsPrintfWritesThem)
{
    const std::string long_name(600, 'x');  // longer than the line put together
    const struct {
        const char* format;
        const char* name;
        unsigned long long value;
    } cases[] = {
        {"%s : RX increased bytes : %llu\n", "eth0", 0},
        {"%s : wtite increased Kbytes : %llu\n", "nvme0n1", 18446744073709551615ull},
        {"%s : read total Kbytes : %llu\n", "", 42},
        {"%s : 100%% : %llu\n", "vda", 7},  // any other shape: printf itself
        {"%s : %llu\n", long_name.c_str(), 12345},
    };
    for (const auto& c : cases) {
        char expected[1024];
        snprintf(expected, sizeof expected, c.format, c.name, c.value);
        EXPECT_EQ(capture_stdout([&] { print_counter_line(c.format, c.name, c.value); }), expected) << c.format;
    }
}

TEST_F(KernelCounters, DiskstatsGivesTheRecordsOfIostat)
{
    use_sys_block({"loop0", "loop1", "vda", "zram0"});
    set_disk_prefixes("vd");
    ASSERT_EQ(feed_iostat(read_fixture("iostat-vm.txt")), 1);
    const auto from_command = drive_records();
    drive_data_clear();
    EXPECT_EQ(feed(parse_diskstats, read_fixture("diskstats-vm.txt")), 1);
    EXPECT_EQ(drive_records(), from_command);
}

TEST_F(KernelCounters, WholeDisksWithWatchedPrefixesThatSawIo)
{
    use_sys_block({"loop0", "loop1", "nvme0n1", "sda", "sdb", "mmcblk0", "md0", "vda", "dm-0", "sr0"});
    // Default "sd": whole disks only, never sda1.
    EXPECT_EQ(feed(parse_diskstats, read_fixture("diskstats-desktop.txt")), 2);
    EXPECT_EQ(drive_records(), (std::vector<record_values>{{"sda", 35665316, 0, 5325224, 0},
                                                           {"sdb", 88519, 0, 0, 0}}));
    drive_data_clear();
    // loop0 and sr0 never completed a request: left out, as by "iostat".
    set_disk_prefixes("sd,nvme,vd,mmcblk,md,loop,sr");
    EXPECT_EQ(feed(parse_diskstats, read_fixture("diskstats-desktop.txt")), 7);
    EXPECT_EQ(drive_records(), (std::vector<record_values>{
                                   {"loop1", 1223, 0, 0, 0},
                                   {"md0", 602440, 0, 196056, 0},
                                   {"mmcblk0", 30660, 0, 48, 0},
                                   {"nvme0n1", 8841201, 0, 16334508, 0},
                                   {"sda", 35665316, 0, 5325224, 0},
                                   {"sdb", 88519, 0, 0, 0},
                                   {"vda", 1201477, 0, 452744, 0},
                               }));
    const std::string stats = sys.write("diskstats", read_fixture("diskstats-desktop.txt"));
    diskstats_path = stats.c_str();
    EXPECT_EQ(drive_whole_disks(),
              (std::vector<std::string>{"loop1", "nvme0n1", "sda", "sdb", "mmcblk0", "md0", "vda"}));
    // Calibrating: every whole disk that saw I/O, whatever the prefixes.
    const auto with_all_prefixes = drive_records();
    drive_data_clear();
    set_disk_prefixes("xyz");
    drive_every_disk = true;
    EXPECT_EQ(feed(parse_diskstats, read_fixture("diskstats-desktop.txt")), 8);
    auto every = drive_records();
    EXPECT_EQ(std::get<0>(every[0]), "dm-0");
    every.erase(every.begin());
    EXPECT_EQ(every, with_all_prefixes);
}

TEST_F(KernelCounters, WholeDiskOrPartitionIsDecidedOnceByName)
{
    use_sys_block({"sda"});
    const std::string stats = "   8 0 sda 1 0 2 0 1 0 4\n   8 1 sda1 1 0 2 0 1 0 4\n";
    EXPECT_EQ(feed(parse_diskstats, stats), 1);
    // Not looked at again: /sys/block is read once per name.
    rmdir((sys.path + "/sda").c_str());
    mkdir((sys.path + "/sda1").c_str(), 0755);
    EXPECT_EQ(feed(parse_diskstats, stats), 1);
    EXPECT_EQ(drive_records(), (std::vector<record_values>{{"sda", 1, 0, 2, 0}}));
}

TEST_F(KernelCounters, DiskstatsLinesThatAreNotStatisticsAreSkipped)
{
    use_sys_block({"sda", "sdb", "sdc"});
    EXPECT_EQ(feed(parse_diskstats, "   8 0 sda 1 0 2 0 1 0 4\n"          // oldest layout: 11 fields (7 read here)
                             "   8 16 sdb 1 0 2 0\n"               // too few
                             "   8 32 sdc 1 0 x 0 1 0 4 0 0 0 0\n"  // not a number
                             "x 48 sdd 1 0 2 0 1 0 4 0 0 0 0\n"
                             "\n"),
              1);
    EXPECT_EQ(drive_records(), (std::vector<record_values>{{"sda", 1, 0, 2, 0}}));
}

TEST_F(KernelCounters, UpStateAskedOfTheKernel)
{
    EXPECT_TRUE(interface_flags_up("lo"));
    EXPECT_FALSE(interface_flags_up("lwnone0"));  // no such interface
    EXPECT_TRUE(interface_flags_up(std::string(40, 'x').c_str()));  // cannot be asked
}

// One rtnetlink message announcing a link's flags, or its removal.
std::string link_message(uint16_t type, const std::string& name, unsigned flags)
{
    ifinfomsg info{};
    info.ifi_flags = flags;
    rtattr attr{};
    attr.rta_type = IFLA_IFNAME;
    attr.rta_len = static_cast<unsigned short>(RTA_LENGTH(name.size() + 1));
    nlmsghdr header{};
    header.nlmsg_type = type;
    header.nlmsg_len = static_cast<uint32_t>(NLMSG_LENGTH(NLMSG_ALIGN(sizeof info) + RTA_ALIGN(attr.rta_len)));
    std::string m(header.nlmsg_len, '\0');
    memcpy(&m[0], &header, sizeof header);
    memcpy(&m[NLMSG_HDRLEN], &info, sizeof info);
    memcpy(&m[NLMSG_HDRLEN + NLMSG_ALIGN(sizeof info)], &attr, sizeof attr);
    memcpy(&m[NLMSG_HDRLEN + NLMSG_ALIGN(sizeof info) + RTA_LENGTH(0)], name.c_str(), name.size() + 1);
    return m;
}

TEST_F(KernelCounters, InterfaceGoingDownAndUpBetweenPasses)
{
    const std::string net_dev = "Inter-|\n face |\n  lo: 5 1 0 0 0 0 0 0  5 1 0 0 0 0 0 0\n"
                                "  lwtest0: 100 1 0 0 0 0 0 0  200 1 0 0 0 0 0 0\n";
    const auto pass = [&](const std::string& events) {
        link_events_apply(events.data(), events.size());
        return feed(parse_proc_net_dev, net_dev);
    };
    // No such interface here: asked when first met, it is not up.
    EXPECT_EQ(pass(""), 1);
    EXPECT_EQ(pass(link_message(RTM_NEWLINK, "lwtest0", IFF_UP)), 2);
    EXPECT_EQ(pass(""), 2);  // known: not asked again
    EXPECT_EQ(pass(link_message(RTM_NEWLINK, "lwtest0", IFF_UP) + link_message(RTM_NEWLINK, "lwtest0", 0)), 1);
    EXPECT_EQ(pass(link_message(RTM_NEWLINK, "lwtest0", IFF_UP | IFF_RUNNING)), 2);
    EXPECT_EQ(pass(link_message(RTM_DELLINK, "lwtest0", 0)), 1);  // removed: asked again
    EXPECT_EQ(traffic_records(), (std::vector<record_values>{{"lo", 5, 0, 5, 0}, {"lwtest0", 100, 0, 200, 0}}));
}

// Both sources read on this machine at one instant give the same records.
// Traffic and disk writes between the two reads are allowed for.
bool command_available(const char* name)
{
    const std::string probe = std::string("command -v ") + name + " >/dev/null 2>&1";
    return system(probe.c_str()) == 0;
}

void expect_close_records(const std::vector<record_values>& command, const std::vector<record_values>& kernel,
                          uint64_t slack)
{
    ASSERT_EQ(command.size(), kernel.size());
    for (std::size_t i = 0; i < command.size(); i++) {
        EXPECT_EQ(std::get<0>(kernel[i]), std::get<0>(command[i]));
        EXPECT_GE(std::get<1>(kernel[i]), std::get<1>(command[i]));
        EXPECT_LE(std::get<1>(kernel[i]), std::get<1>(command[i]) + slack) << std::get<0>(kernel[i]);
        EXPECT_GE(std::get<3>(kernel[i]), std::get<3>(command[i]));
        EXPECT_LE(std::get<3>(kernel[i]), std::get<3>(command[i]) + slack) << std::get<0>(kernel[i]);
    }
}

TEST_F(KernelCounters, LiveInterfacesMatchIfconfig)
{
    if (!command_available("ifconfig"))
        GTEST_SKIP() << "ifconfig (net-tools) is not installed";
    std::string output;
    ASSERT_TRUE(run_sampler_command("ifconfig", output));
    ASSERT_GT(feed(parse_ifconfig, output), 0);
    const auto from_command = traffic_records();
    traffic_data_clear();
    file_stream in(fopen(proc_net_dev_path, "r"));
    ASSERT_TRUE(in);
    record_from(parse_proc_net_dev, in.get());
    expect_close_records(from_command, traffic_records(), 1 << 20);
}

TEST_F(KernelCounters, LiveDisksMatchIostat)
{
    if (!command_available("iostat"))
        GTEST_SKIP() << "iostat (sysstat) is not installed";
    set_disk_prefixes("sd,nvme,vd,xvd,hd,mmcblk,md,dm-,loop,zram,sr");
    std::string output;
    ASSERT_TRUE(run_sampler_command("iostat -d", output));
    const int listed = feed(parse_iostat, output);
    const auto from_command = drive_records();
    drive_data_clear();
    file_stream in(fopen(diskstats_path, "r"));
    ASSERT_TRUE(in);
    EXPECT_EQ(record_from(parse_diskstats, in.get()), listed);
    expect_close_records(from_command, drive_records(), 64 * 1024);
}

}  // namespace
