// The command line with files named by "-f" and with device requests,
// resolved against a captured listing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/config_helpers.h"

namespace {

const std::string added_event1 = "デバイス \"Power Button\" の追加に成功 (event1)\n";
const std::string added_event2 = "デバイス \"AT Translated Set 2 keyboard\" の追加に成功 (event2)\n";

class ArgsFiles : public ConfigTest {
protected:
    temp_dir dir;
};

TEST_F(ArgsFiles, FileAppliesAtItsPlaceAmongTheArguments)
{
    const std::string conf = dir.write("a.conf", "EXFIRE_TIME=30\nDISP_LEVEL=2\n");
    const std::string missing = dir.path + "/missing.conf";
    const std::string open = dir.write("open.conf", "COMMAND=evil\n", 0666);
    const std::string nested = dir.write("nested.conf", "DISP_LEVEL=2\nFILE=" + missing + "\n");
    const std::string sources = dir.write("s.conf", "COUNTER_SOURCE=kernel\nDISK_PREFIXES=sd,nvme\n");
    expect_args_cases({
        // The file overrides what came before and is overridden by what follows.
        {{"-ex", "5", "-f", conf}, [](settings_record& s) { s.exfire_time = 1800, s.disp_level = 2; }, 0, ""},
        {{"--file", conf, "-ex", "5", "-l", "3"}, [](settings_record& s) { s.exfire_time = 300, s.disp_level = 3; },
         0, ""},
        {{"-c", "-f", conf}, [](settings_record& s) { s.exfire_time = 1800, s.disp_level = 2; }, 0, ""},
        {{"-dp", "vd", "-f", sources}, [](settings_record& s) {
             s.counter_source = counter_source_kernel;
             strcpy(s.disk_prefixes, "sd,nvme");
         }, 0, ""},
        // A file that cannot be read is reported and parsing goes on.
        {{"-f", missing, "-l", "3"}, [](settings_record& s) { s.disp_level = 3; }, 0, read_failure(missing)},
        // An unsafe file ends the parse: the program must not start.
        {{"-l", "2", "-f", open, "-l", "3"}, [](settings_record& s) { s.disp_level = 2; }, -1,
         "設定ファイルを使用しません（他のユーザーが書き込み可能）：" + open + "\n"},
        // The nested failure and the command line's own message both appear.
        {{"-f", nested}, [](settings_record& s) { s.disp_level = 2; }, 0, read_failure(missing) + read_failure(nested)},
    });
}

TEST_F(ArgsFiles, DeviceRequestsKeepTheirOrder)
{
    const std::string conf = dir.write("a.conf", "EVENT=event3\nDEVICE_NAME=\"PC Speaker\"\n");
    // A carriage return before the line feed is no part of the name; a line
    // with an earlier key registers nothing.
    const std::string verbatim =
        dir.write("v.conf", "EVENT=event3\r\nEVENT=event5 RX_THRESHOLD=5\nDEVICE_NAME=\"PC Speaker\"\r\nEVENT=event30\n");
    const std::string added_event3 = "デバイス \"Logitech USB Receiver\" の追加に成功 (event3)\n";
    const std::string added_event4 = "デバイス \"Logitech USB Receiver Mouse\" の追加に成功 (event4)\n";
    const std::string added_event6 = "デバイス \"PC Speaker\" の追加に成功 (event6)\n";
    expect_args_cases({
        {{"-ex", "5", "event1", "event2"}, [](settings_record& s) { s.exfire_time = 300; }, 0,
         added_event1 + added_event2, {"event1", "event2"}},
        {{"-w", "5", "event3", "-ev", "event4"}, [](settings_record& s) { s.write_threshold = 5; }, 0,
         added_event3 + added_event4, {"event3", "event4"}},
        // A hyphen inside makes an event name, and so does the value after it.
        {{"x-rx", "10"}, nullptr, 0, "デバイス x-rx の追加に失敗\nデバイス 10 の追加に失敗\n"},
        {{"-dv", "\"PC Speaker\"", "--device_name", "\"Logitech USB Receiver Mouse"}, nullptr, 0,
         added_event6 + "デバイス \"Logitech USB Receiver Mouse の追加に成功 (event4)\n", {"event6", "event4"}},
        {{"-f", "missing.conf", "event2"}, nullptr, 0, read_failure("missing.conf") + added_event2, {"event2"}},
        {{"event1", "-f", conf, "event2"}, nullptr, 0, added_event1 + added_event3 + added_event6 + added_event2,
         {"event1", "event3", "event6", "event2"}},
        {{"-f", verbatim}, [](settings_record& s) { s.rx_threshold = 5; }, 0,
         added_event3 + added_event6 +
             "デバイス \"Media Center Ed. eHome Infrared Remote Transceiver (1934:5168)\" の追加に成功 (event30)\n",
         {"event3", "event6", "event30"}},
    });
}

}  // namespace
