// The settings printout on a record that holds the usual traps, and the
// version line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "base/settings.h"
#include "base/version.h"
#include "config/config_file.h"
#include "devices/device_test_support.h"
#include "devices/registry.h"
#include "report/config_print.h"
#include "sampling/sources.h"
#include "sampling/traffic.h"
#include "sampling/traffic_kernel.h"
#include "sampling/traffic_links.h"
#include "support/test_support.h"

TEST(ConfigPrint, SettingsDevicesAndWhatTheKernelLists)
{
    reset_program_state();
    // What a file gives with "RX_THRESHOLD=1k" (1 byte), "TX_THRESHOLD_KB=2",
    // "READ_THRESHOLD_MB=2", "# EXFIRE_TIME=30" (taken all the same) and
    // "DISP_LEVEL=0"; a command that no file line could hold.
    strcpy(settings.command, "curl -s http://example.invalid/idle");
    settings.rx_threshold = 1;
    settings.tx_threshold = 2048;
    settings.read_threshold = 2048;
    settings.write_threshold = 0;
    settings.exfire_time = 1800;
    settings.disp_level = 0;
    settings.watch_roop = -1;
    settings.counter_source = counter_source_kernel;
    strcpy(settings.status_path, "/run/lullwatcher/status");
    const std::string listing = std::string("cat ") + LW_FIXTURES + "/proc-bus-input-devices.txt";
    device_listing_command = listing.c_str();
    device_data_add("event2");
    device_data_add("event99");
    device_data_add("event3\r");  // from a file with CR-LF line ends
    const std::string net = std::string(LW_FIXTURES) + "/proc-net-dev-desktop.txt";
    const std::string disks = std::string(LW_FIXTURES) + "/diskstats-desktop.txt";
    proc_net_dev_path = net.c_str();
    diskstats_path = disks.c_str();
    interface_is_up = [](const char* name) { return strcmp(name, "wlp2s0") != 0; };
    temp_dir block;
    for (const char* disk : {"loop1", "nvme0n1", "sda", "sdb", "sr0"})
        block.write(disk, "");
    sys_block_path = block.path.c_str();

    EXPECT_EQ(capture_stdout(test_config_print),
              "// 注意：次の値は設定ファイルでは同じに読めません\n"
              "COMMAND=curl -s http://example.invalid/idle\n"
              "RX_THRESHOLD=1\nTX_THRESHOLD=2048\nREAD_THRESHOLD=2048\nWRITE_THRESHOLD=0\n"
              "EXFIRE_TIME=30\nCHECK_INTERVAL=60\nDISP_INTERVAL=10\nDISP_LEVEL=0\nNOT_ROOP\n"
              "COUNTER_SOURCE=kernel\nDISK_PREFIXES=sd\n"
              "NOTICE_TIME=0\nNOTICE_RUN=\nDRY_RUN=off\n"
              "USER_SESSIONS=off\nINHIBITORS=off\nBUSY_PROCESSES=\nCPU_THRESHOLD=0\nBUSY_PORTS=\nBUSY_CHECK=\n"
              "IGNORE_INTERFACES=\n"
              "STATUS_PATH=/run/lullwatcher/status\nMETRICS_PATH=off\nSTORAGE_JOBS=off\nAWAKE_HOURS=\nSHARE_CLIENTS=off\nPING_HOSTS=\nALARM_TIMERS=\nALARM_AT=\nALARM_QUERY=\nALARM_LEAD=5\nLAN_WAKE=\nMESSAGES=ja\n"
              "// AT Translated Set 2 keyboard\nEVENT=event2\n"
              "// 名前不明\nEVENT=event99\n"
              "// 名前不明\n// 注意：次の値は設定ファイルでは同じに読めません\nEVENT=event3\\x0d\n"
              "// ネットワーク lo：監視\n// ネットワーク enp3s0：監視\n// ネットワーク wlp2s0：監視なし（停止中）\n"
              "// ネットワーク docker0：監視\n// ネットワーク virbr0：監視\n"
              "// ディスク loop1：監視なし（DISK_PREFIXES 外）\n// ディスク nvme0n1：監視なし（DISK_PREFIXES 外）\n"
              "// ディスク sda：監視\n// ディスク sdb：監視\n");

    reset_program_state();
}

TEST(ConfigPrint, Version)
{
    EXPECT_EQ(capture_stdout(version_print), std::string("lullwatcher ") + program_version + "\n");
    EXPECT_STRNE(program_version, "");
}

namespace {

// Reads path with the configuration reader, prints the settings, reads the
// printout back as a file and expects the same settings and devices.
// Returns the printout.
std::string round_trip(const std::string& path)
{
    reset_program_state();
    const std::string listing = std::string("cat ") + LW_FIXTURES + "/proc-bus-input-devices.txt";
    device_listing_command = listing.c_str();
    capture_stdout([&] { read_config(path.c_str()); });
    settings_record first = settings;
    const std::vector<std::string> events = registered_events();
    const std::string printout = capture_stdout(test_config_print);
    temp_dir dir;
    const std::string pasted = dir.write("pasted.conf", printout);
    reset_program_state();
    device_listing_command = listing.c_str();
    capture_stdout([&] { read_config(pasted.c_str()); });
    EXPECT_EQ(registered_events(), events);
    // The default action comes back spelled out: the same commands run.
    if (first.command[0] == '\0')
        strcpy(first.command, "sync; sync; sync; shutdown -h now");
    const auto taken = [](const settings_record& s) {
        return std::make_tuple(std::string(s.command), s.rx_threshold, s.tx_threshold, s.read_threshold,
                               s.write_threshold, s.exfire_time, s.check_interval, s.disp_interval, s.disp_level,
                               s.watch_roop, s.counter_source, std::string(s.disk_prefixes));
    };
    EXPECT_EQ(taken(settings), taken(first));
    reset_program_state();
    return printout;
}

}  // namespace

TEST(ConfigPrint, PrintoutReadsBackAsTheSameSettings)
{
    round_trip(std::string(LW_FIXTURES) + "/../../packaging/lullwatcher.conf");
    temp_dir dir;
    const std::string traps = dir.write("traps.conf",
        "# EXFIRE_TIME=30\n"
        "DISP_INTERVAL=20 // a remark makes the whole line a comment\n"
        "RX_THRESHOLD=1k\n"
        "TX_THRESHOLD_KB=2\n"
        "DISP_LEVEL=0\n"
        "NOT_ROOP\n"
        "COMMAND=systemctl suspend\n"
        "EVENT=event2\n");
    const std::string out = round_trip(traps);
    for (const char* line : {"EXFIRE_TIME=30\n", "DISP_INTERVAL=10\n", "RX_THRESHOLD=1\n", "TX_THRESHOLD=2048\n",
                             "DISP_LEVEL=0\n", "NOT_ROOP\n", "COMMAND=systemctl suspend\n",
                             "// AT Translated Set 2 keyboard\nEVENT=event2\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line;
}
