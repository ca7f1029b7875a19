// The table of settings against the help and against itself: rows added
// later must not change what an existing line or argument means.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/args.h"
#include "config/setting_table.h"
#include "support/test_support.h"

namespace {

std::vector<const setting_descriptor*> table_rows()
{
    std::vector<const setting_descriptor*> rows;
    for (size_t i = 0; i < setting_table_size; i++)
        rows.push_back(&setting_table[i]);
    return rows;
}

TEST(SettingTable, NoRowClaimsTheKeyOrOptionOfAnother)
{
    const std::vector<const setting_descriptor*> rows = table_rows();
    for (size_t j = 0; j < rows.size(); j++) {
        const setting_descriptor& row = *rows[j];
        SCOPED_TRACE(row.short_option);
        if (row.key != nullptr) {
            // A key that contains an earlier one would be taken for it.
            for (size_t i = 0; i < j; i++) {
                if (rows[i]->key != nullptr) {
                    EXPECT_EQ(std::string(row.key).find(rows[i]->key), std::string::npos) << rows[i]->key;
                }
            }
            const std::string line = std::string(row.key) + "7";
            const char* value = nullptr;
            EXPECT_EQ(setting_key_find(line.c_str(), &value), &row);
            EXPECT_STREQ(value, "7");
        }
        // Any option that holds a family's pattern belongs to that family.
        if (row.threshold == nullptr) {
            for (const char* pattern : {"-rx", "-tx", "-r", "-w"}) {
                EXPECT_EQ(std::string(row.short_option).find(pattern), std::string::npos) << pattern;
                EXPECT_EQ(std::string(row.long_option).find(pattern), std::string::npos) << pattern;
            }
        }
        EXPECT_EQ(setting_option_find(row.short_option), &row);
        EXPECT_EQ(setting_option_find(row.long_option), &row);
    }
}

// The help's option items: the line that names an option, as printed.
std::vector<std::string> help_option_lines(const std::string& help)
{
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end = help.find('\n'); end != std::string::npos; at = end + 1, end = help.find('\n', at)) {
        const std::string line = help.substr(at, end - at);
        if (line.rfind("\t-", 0) == 0)
            lines.push_back(line);
    }
    return lines;
}

TEST(SettingTable, HelpHasOneItemPerOptionInTableOrder)
{
    const std::string help = capture_stdout(arg_help_print);
    // Options that take a value in table order, then the two flags.
    std::vector<const setting_descriptor*> order;
    for (const bool flags : {false, true}) {
        for (const setting_descriptor* row : table_rows()) {
            if (row->help.last == flags)
                order.push_back(row);
        }
    }
    const std::vector<std::string> lines = help_option_lines(help);
    ASSERT_EQ(lines.size(), order.size()) << help;
    for (size_t i = 0; i < order.size(); i++) {
        const setting_descriptor& row = *order[i];
        const std::string& line = lines[i];
        const std::string head = std::string("\t") + row.short_option;
        // An option without a short form stands alone.
        if (std::string(row.short_option) == row.long_option) {
            EXPECT_EQ(line, head);
            continue;
        }
        EXPECT_TRUE(line.rfind(head + " [", 0) == 0 || line == head + ", " + row.long_option) << line;
        // The long form shown must reach the same setting, as spelt there
        // ("threhold" for the thresholds, taken through the family).
        const size_t long_at = line.find(", --");
        ASSERT_NE(long_at, std::string::npos) << line;
        const std::string long_form = line.substr(long_at + 2, line.find(' ', long_at + 2) - long_at - 2);
        const setting_descriptor* found = setting_option_find(long_form.c_str());
        ASSERT_NE(found, nullptr) << long_form;
        EXPECT_TRUE(found == &row || (row.threshold != nullptr && found->threshold == row.threshold)) << long_form;
    }
    EXPECT_EQ(help.rfind("名前\n\tlullwatcher -  オートシャットダウン\n書式\n", 0), 0u);
    const std::string last = "\t-h, --help\n\t\tこのヘルプの表示です。\n\t\n";
    EXPECT_EQ(help.substr(help.size() - last.size()), last);
}

}  // namespace
