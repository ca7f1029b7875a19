// Helpers shared by the configuration file and command-line tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "config/args.h"
#include "config/config_file.h"
#include "base/settings.h"
#include "devices/device_test_support.h"
#include "support/test_support.h"

// The defaults with one change applied: what a case expects.
inline settings_record settings_with(const std::function<void(settings_record&)>& change)
{
    settings_record saved = settings;
    settings_reset();
    settings_record want = settings;
    settings = saved;
    if (change)
        change(want);
    return want;
}

inline void expect_settings(const settings_record& want, const std::string& context)
{
    SCOPED_TRACE(context);
    EXPECT_EQ(settings.disp_level, want.disp_level);
    EXPECT_EQ(settings.watch_roop, want.watch_roop);
    EXPECT_EQ(settings.disp_interval, want.disp_interval);
    EXPECT_EQ(settings.exfire_time, want.exfire_time);
    EXPECT_EQ(settings.check_interval, want.check_interval);
    EXPECT_EQ(settings.rx_threshold, want.rx_threshold);
    EXPECT_EQ(settings.tx_threshold, want.tx_threshold);
    EXPECT_EQ(settings.read_threshold, want.read_threshold);
    EXPECT_EQ(settings.write_threshold, want.write_threshold);
    EXPECT_STREQ(settings.command, want.command);
    EXPECT_EQ(settings.counter_source, want.counter_source);
    EXPECT_STREQ(settings.disk_prefixes, want.disk_prefixes);
    EXPECT_EQ(settings.user_sessions, want.user_sessions);
    EXPECT_EQ(settings.inhibitors, want.inhibitors);
    EXPECT_STREQ(settings.busy_processes, want.busy_processes);
    EXPECT_EQ(settings.cpu_threshold, want.cpu_threshold);
    EXPECT_STREQ(settings.busy_ports, want.busy_ports);
    EXPECT_STREQ(settings.busy_check, want.busy_check);
    EXPECT_STREQ(settings.ignore_interfaces, want.ignore_interfaces);
    EXPECT_STREQ(settings.status_path, want.status_path);
    EXPECT_STREQ(settings.metrics_path, want.metrics_path);
}

// Runs arg_anal on the program name and args; returns what it printed.
inline std::string parse_args(const std::vector<std::string>& args, int* result)
{
    std::vector<std::string> storage{"lullwatcher"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    return capture_stdout([&] { *result = arg_anal(static_cast<int>(storage.size()), argv.data()); });
}

// The line that reports a file that cannot be read.
inline std::string read_failure(const std::string& path)
{
    return "設定ファイルの読み込み失敗:" + path + "\n";
}

// Runs read_config on path; returns what it printed.
inline std::string read_file(const std::string& path, int* result)
{
    return capture_stdout([&] { *result = read_config(path.c_str()); });
}

// One command line and everything it must lead to.
struct args_case {
    std::vector<std::string> args;
    std::function<void(settings_record&)> change;  // nullptr: nothing changes
    int result;
    std::string output;
    std::vector<std::string> events = {};  // registered devices, in order
};

// Base of the configuration tests: defaults, an empty device list and the
// captured device listing instead of the machine's.
class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override { restart(); }
    void TearDown() override { reset_program_state(); }
    // Back to the start state, with the captured listing.
    void restart()
    {
        reset_program_state();
        device_listing_command = listing_.c_str();
    }
    // Parses each command line from the start state and compares the
    // output, the result, every setting and the registered devices.
    void expect_args_cases(const std::vector<args_case>& cases)
    {
        for (const args_case& c : cases) {
            std::string context;
            for (const std::string& a : c.args)
                context += "[" + a + "]";
            restart();
            int result = 99;
            EXPECT_EQ(parse_args(c.args, &result), c.output) << context;
            EXPECT_EQ(result, c.result) << context;
            expect_settings(settings_with(c.change), context);
            EXPECT_EQ(registered_events(), c.events) << context;
        }
    }

    // Reads path and compares the result and everything printed.
    void expect_read(const std::string& path, int result, const std::string& output)
    {
        int got = 0;
        EXPECT_EQ(read_file(path, &got), output) << path;
        EXPECT_EQ(got, result) << path;
    }

private:
    const std::string listing_ = std::string("cat ") + LW_FIXTURES + "/proc-bus-input-devices.txt";
};
