// The installed sample configuration and the manual pages against the
// program: the sample, read as it stands, must give exactly the defaults
// apart from the counter source, disk prefixes and inhibitor locks chosen
// for the package,
// and every key and option must be documented.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/config_file.h"
#include "config/config_helpers.h"
#include "config/setting_table.h"

namespace {

std::string read_packaging_file(const std::string& name)
{
    return read_fixture("../../packaging/" + name);
}

using SampleConfig = ConfigTest;

TEST_F(SampleConfig, ActiveLinesGiveExactlyTheDefaultsSilently)
{
    // The sample's active lines must carry the defaults, not just leave them
    // alone: a user edits those lines. The package reads the kernel counters,
    // watches every common kind of disk and honours inhibitor locks and writes the status file.
    const settings_record defaults = settings_with([](settings_record& want) {
        want.counter_source = counter_source_kernel;
        std::strcpy(want.disk_prefixes, "sd,nvme,vd,mmcblk,md");
        want.inhibitors = 1;  // a Debian machine honours inhibitor locks
        std::strcpy(want.status_path, "/run/lullwatcher/status");
    });
    settings.disp_level = 3;
    settings.disp_interval = 5;
    settings.exfire_time = 1800;
    settings.check_interval = 30;
    settings.rx_threshold = 1;
    settings.tx_threshold = 2;
    settings.read_threshold = 3;
    settings.write_threshold = 4;
    // Read from a private copy: a checkout may sit in directories that the
    // reader would rightly refuse.
    const temp_dir dir;
    const std::string copy = dir.write("lullwatcher.conf", read_packaging_file("lullwatcher.conf"));
    // No line may be refused, confirmed or cut: the reader says nothing.
    expect_read(copy, 1, "");
    expect_settings(defaults, "packaging/lullwatcher.conf");
    EXPECT_EQ(device_data, nullptr);
}

// An option as roff writes it ("\-" for "-").
std::string roff_option(const char* option)
{
    std::string out;
    for (const char* c = option; *c != '\0'; c++)
        out += *c == '-' ? std::string("\\-") : std::string(1, *c);
    return out;
}

TEST(Documentation, EveryConfigurationKeyIsInTheSampleAndBothFilePages)
{
    const std::string sample = read_packaging_file("lullwatcher.conf");
    const std::string page_en = read_packaging_file("man/lullwatcher.conf.5");
    const std::string page_ja = read_packaging_file("man/ja/lullwatcher.conf.5");
    ASSERT_FALSE(sample.empty());
    ASSERT_FALSE(page_en.empty());
    ASSERT_FALSE(page_ja.empty());
    for (std::size_t i = 0; i < setting_table_size; i++) {
        const char* key = setting_table[i].key;
        if (key == nullptr)
            continue;
        // The pages set each key in bold at the start of a line.
        const std::string bold = std::string(".B") + (std::strchr(key, '=') ? "I " : " ") + key;
        EXPECT_NE(sample.find(key), std::string::npos) << key;
        EXPECT_NE(page_en.find(bold), std::string::npos) << key;
        EXPECT_NE(page_ja.find(bold), std::string::npos) << key;
    }
}

TEST(Documentation, EveryOptionIsInBothProgramPages)
{
    const std::string page_en = read_packaging_file("man/lullwatcher.8");
    const std::string page_ja = read_packaging_file("man/ja/lullwatcher.8");
    ASSERT_FALSE(page_en.empty());
    ASSERT_FALSE(page_ja.empty());
    for (std::size_t i = 0; i < 2 * setting_table_size; i++) {
        const setting_descriptor& row = setting_table[i / 2];
        const std::string option = roff_option(i % 2 == 0 ? row.short_option : row.long_option);
        // Each option heads a tagged paragraph: ".BR \-c ", " ..." lines.
        const std::string as_tag = std::string(".BR ") + option + " ";
        const std::string as_second = std::string("\", \" ") + option + " ";
        const std::string as_last = std::string("\", \" ") + option + "\n";
        const std::string as_only = std::string(".B ") + option + "\n";  // an option without a short form
        for (const std::string* page : {&page_en, &page_ja}) {
            const bool found = page->find(as_tag) != std::string::npos ||
                               page->find(as_second) != std::string::npos ||
                               page->find(as_last) != std::string::npos ||
                               page->find(as_only) != std::string::npos;
            EXPECT_TRUE(found) << option << (page == &page_en ? " (en)" : " (ja)");
        }
    }
}

}  // namespace
