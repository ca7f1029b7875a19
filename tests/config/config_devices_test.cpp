// Device requests from the command line and from files, resolved against a
// captured listing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/args.h"
#include "config/config_helpers.h"

namespace {

class ArgsDevices : public ConfigTest {};

TEST_F(ArgsDevices, PlainArgumentsAreEventNamesInOrder)
{
    int result = 99;
    EXPECT_EQ(parse_args({"-ex", "5", "event1", "event2"}, &result),
              "デバイス \"Power Button\" の追加に成功 (event1)\n"
              "デバイス \"AT Translated Set 2 keyboard\" の追加に成功 (event2)\n");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(settings.exfire_time, 300);
    EXPECT_EQ(registered_events(), (std::vector<std::string>{"event1", "event2"}));
}

TEST_F(ArgsDevices, ValueThenEventName)
{
    int result = 99;
    parse_args({"-w", "5", "event3", "-ev", "event4"}, &result);
    EXPECT_EQ(settings.write_threshold, 5u);
    EXPECT_EQ(registered_events(), (std::vector<std::string>{"event3", "event4"}));
}

TEST_F(ArgsDevices, ArgumentsWithAHyphenInsideAreEventNames)
{
    int result = 99;
    const std::string out = parse_args({"x-rx", "10"}, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(settings.rx_threshold, 1048576u);
    EXPECT_TRUE(registered_events().empty());
    // One failure line for each of the two unknown event names.
    size_t failures = 0;
    for (size_t at = out.find("の追加に失敗\n"); at != std::string::npos; at = out.find("の追加に失敗\n", at + 1))
        failures++;
    EXPECT_EQ(failures, 2u) << out;
}

TEST_F(ArgsDevices, DeviceNameOption)
{
    int result = 99;
    EXPECT_EQ(parse_args({"-dv", "\"PC Speaker\"", "--device_name", "\"Logitech USB Receiver Mouse"}, &result),
              "デバイス \"PC Speaker\" の追加に成功 (event6)\n"
              "デバイス \"Logitech USB Receiver Mouse の追加に成功 (event4)\n");
    EXPECT_EQ(registered_events(), (std::vector<std::string>{"event6", "event4"}));
}

TEST_F(ArgsDevices, MissingFileThenEventName)
{
    int result = 99;
    EXPECT_EQ(parse_args({"-f", "missing.conf", "event2"}, &result),
              "設定ファイルの読み込み失敗:missing.conf\n"
              "デバイス \"AT Translated Set 2 keyboard\" の追加に成功 (event2)\n");
    EXPECT_EQ(result, 0);
}

TEST_F(ArgsDevices, DeviceKeysOfAFileKeepTheirPlaceInTheOrder)
{
    temp_dir dir;
    const std::string conf = dir.write("a.conf", "EVENT=event3\nDEVICE_NAME=\"PC Speaker\"\n");
    int result = 99;
    parse_args({"event1", "-f", conf, "event2"}, &result);
    EXPECT_EQ(registered_events(), (std::vector<std::string>{"event1", "event3", "event6", "event2"}));
}

TEST_F(ArgsDevices, DeviceValuesOfAFileAreHandedOverVerbatim)
{
    temp_dir dir;
    // A carriage return stays in the value; a line with an earlier key
    // registers nothing.
    const std::string conf = dir.write("a.conf", "EVENT=event3\r\nEVENT=event5 RX_THRESHOLD=5\nEVENT=event30\n");
    int result = 99;
    const std::string out = parse_args({"-f", conf}, &result);
    EXPECT_EQ(registered_events(), (std::vector<std::string>{"event30"}));
    EXPECT_EQ(settings.rx_threshold, 5u);
    EXPECT_NE(out.find("の追加に成功 (event30)\n"), std::string::npos) << out;
}

}  // namespace
