// Helpers of the sampler tests: a clean start for every test, fake /sys
// directories, and the records as comparable values.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <utility>
#include <vector>

#include "base/settings.h"
#include "base/streams.h"
#include "sampling/drive.h"
#include "sampling/drive_iostat.h"
#include "sampling/drive_kernel.h"
#include "sampling/sources.h"
#include "sampling/traffic.h"
#include "sampling/traffic_ifconfig.h"
#include "sampling/traffic_kernel.h"
#include "sampling/traffic_links.h"
#include "support/test_support.h"

// name, total, growth, total, growth of one record
using record_values = std::tuple<std::string, uint64_t, uint64_t, uint64_t, uint64_t>;

inline std::vector<record_values> traffic_records()
{
    std::vector<record_values> out;
    for (const traffic_entry* e = traffic_data; e != nullptr; e = e->next)
        out.emplace_back(e->name, e->rx_total, e->rx_increased, e->tx_total, e->tx_increased);
    return out;
}

inline std::vector<record_values> drive_records()
{
    std::vector<record_values> out;
    for (const drive_entry* e = drive_data; e != nullptr; e = e->next)
        out.emplace_back(e->name, e->read_total, e->read_increased, e->write_total, e->write_increased);
    return out;
}

// Parses in and records the readings in the list of the parser's kind;
// returns the parser's result.
inline int record_from(counter_parser parse, FILE* in)
{
    const bool disk = parse == parse_iostat || parse == parse_diskstats;
    counter_readings readings;
    const int n = parse(in, readings);
    EXPECT_EQ(static_cast<std::size_t>(n), readings.count);
    readings_record(readings, disk ? drive_data_add : traffic_data_add);
    return n;
}

// Hands text to a parser as its input stream and records the readings.
inline int feed(counter_parser parse, const std::string& text)
{
    FILE* in = open_text(text);
    const int n = record_from(parse, in);
    fclose(in);
    return n;
}

inline int feed_ifconfig(const std::string& text)
{
    return feed(parse_ifconfig, text);
}

inline int feed_iostat(const std::string& text)
{
    return feed(parse_iostat, text);
}

inline void set_disk_prefixes(const char* list)
{
    snprintf(settings.disk_prefixes, sizeof settings.disk_prefixes, "%s", list);
}

// A fake up test: the interfaces named are down, all others up.
inline std::set<std::string>& interfaces_down()
{
    static std::set<std::string> names;
    return names;
}

inline void set_interfaces_down(const std::set<std::string>& names)
{
    interfaces_down() = names;
    interface_is_up = [](const char* name) { return interfaces_down().count(name) == 0; };
}

// A fake /sys/block: one directory per whole disk.
inline void make_sys_block(const temp_dir& dir, const std::vector<std::string>& disks)
{
    for (const auto& d : disks)
        mkdir((dir.path + "/" + d).c_str(), 0755);
}

// Every test starts and ends with the program's start state and the real
// commands and paths.
class SamplingTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() { reset_program_state(); }
};
