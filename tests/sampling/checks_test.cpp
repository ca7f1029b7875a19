// The network and disk checks: each text once and in the order first met,
// growth equal to a threshold is idle, and every check clears all growth.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sampling_helpers.h"

namespace {

struct growth {
    std::string name;
    uint64_t first;   // received or read
    uint64_t second;  // sent or written
};

struct check_case {
    bool disk;
    uint64_t first_threshold;   // reception or reading
    uint64_t second_threshold;  // sending or writing
    std::vector<growth> growths;
    std::string before;  // the message of the sources checked earlier
    std::string after;
    bool busy;
};

using SamplerCheck = SamplingTest;

TEST_F(SamplerCheck, TextsOfTheThresholdsPassedAndGrowthCleared)
{
    const check_case cases[] = {
        {false, 100, 100, {{"eth0", 5, 101}, {"eth1", 101, 500}, {"eth2", 900, 900}}, "(event3)",
         "(event3)(送信トラフィック閾値以上)(受信トラフィック閾値以上)", true},
        // Equal to the threshold is idle, and growth is never summed.
        {false, 100, 0, {{"eth0", 100, 5000}, {"eth1", 100, 0}}, "", "", false},
        {false, 1, 0, {{"eth0", 50, 70}, {"lo", 3, 4}}, "", "(受信トラフィック閾値以上)", true},
        {true, 10, 10, {{"sda", 0, 11}, {"sdb", 11, 11}, {"sdc", 50, 50}}, "(受信トラフィック閾値以上)",
         "(受信トラフィック閾値以上)(書き込み閾値以上)(読み込み閾値以上)", true},
        {true, 10, 0, {{"sda", 10, 5000}, {"sdb", 10, 1}}, "", "", false},
    };
    for (const check_case& c : cases) {
        reset();
        const std::string context = c.before + "/" + c.growths[0].name;
        auto& first = c.disk ? settings.read_threshold : settings.rx_threshold;
        auto& second = c.disk ? settings.write_threshold : settings.tx_threshold;
        first = c.first_threshold;
        second = c.second_threshold;
        const auto add = c.disk ? drive_data_add : traffic_data_add;
        for (const growth& g : c.growths)
            add(g.name.c_str(), 1000, 1000);
        for (const growth& g : c.growths)
            add(g.name.c_str(), 1000 + g.first, 1000 + g.second);

        const auto check = c.disk ? drive_data_check : traffic_data_check;
        activity_check result;
        result.message = c.before;
        check(result);
        EXPECT_EQ(result.message, c.after) << context;
        EXPECT_EQ(result.busy, c.busy) << context;
        // Unwatched growth is cleared all the same.
        for (const record_values& r : c.disk ? drive_records() : traffic_records()) {
            EXPECT_EQ(std::get<2>(r), 0u) << context;
            EXPECT_EQ(std::get<4>(r), 0u) << context;
        }
        activity_check next;
        check(next);
        EXPECT_FALSE(next.busy) << context;
    }
}

}  // namespace
