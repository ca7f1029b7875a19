// The device registry: the list, the listing scans and the messages of the
// two lookups, on a real /proc/bus/input/devices capture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/device_test_support.h"
#include "devices/registry.h"
#include "devices/watcher.h"
#include "support/test_support.h"

namespace {

const char listing_fixture[] = "proc-bus-input-devices.txt";
// The UTF-8 keyboard of the capture, "ＵＳＢ キーボード".
const std::string usb_keyboard = "\"\xEF\xBC\xB5\xEF\xBC\xB3\xEF\xBC\xA2 \xE3\x82\xAD\xE3\x83\xBC\xE3\x83\x9C\xE3\x83\xBC\xE3\x83\x89\"";

class Registry : public ::testing::Test {
protected:
    void SetUp() override { reset_program_state(); }
    void TearDown() override { reset_program_state(); }
    // Scans the capture (or text) by name; "" when nothing was added.
    static std::string add_by_name(const std::string& name, const std::string& listing = read_fixture(listing_fixture))
    {
        FILE* in = open_text(listing);
        const device_entry* added = device_listing_add_by_name(in, name.c_str());
        fclose(in);
        return added == nullptr ? "" : added->event;
    }
    // Scans by event; returns the remembered name, "-" when nothing was added.
    static std::string add_by_event(const std::string& event,
                                    const std::string& listing = read_fixture(listing_fixture))
    {
        FILE* in = open_text(listing);
        char name[device_name_size];
        const device_entry* added = device_listing_add_by_event(in, event.c_str(), name, sizeof name);
        fclose(in);
        return added == nullptr ? "-" : name;
    }
};

TEST_F(Registry, AddAppendsWithPositionsAndRefusesDuplicates)
{
    EXPECT_EQ(device_data_add("event3"), 0);
    ASSERT_NE(device_data, nullptr);
    EXPECT_EQ(device_data->index, 0);
    EXPECT_EQ(device_data->thread, 0u);
    EXPECT_EQ(device_data_add("event5"), 0);
    EXPECT_EQ(device_data_add("event30"), 0);
    EXPECT_EQ(device_data->next->next->index, 2);
    EXPECT_EQ(device_data->next->next->next, nullptr);

    EXPECT_EQ(device_data_add("event5"), 2);
    EXPECT_EQ(device_data_add("event3"), 1);
    EXPECT_EQ(device_data_add("event30"), 3);
    EXPECT_EQ(device_data_add("Event3"), 0);  // byte-exact comparison
    EXPECT_EQ(registered_events(), (std::vector<std::string>{"event3", "event5", "event30", "Event3"}));
}

TEST_F(Registry, AddCopiesTheNameAndRefusesNamesTooLongForThePath)
{
    std::string event = "event9";
    ASSERT_EQ(device_data_add(event.c_str()), 0);
    event[5] = '8';
    EXPECT_STREQ(device_data->event, "event9");

    EXPECT_EQ(device_data_add(std::string(256, 'e').c_str()), -1);
    EXPECT_EQ(device_data_add(std::string(255, 'e').c_str()), 0);
    EXPECT_EQ(registered_events().size(), 2u);
    EXPECT_EQ(device_data->next->index, 1);
}

struct name_case {
    const char* title;
    std::vector<std::string> requests;  // given names, in order
    std::vector<std::string> added;     // event per request, "" for none
};

void PrintTo(const name_case& c, std::ostream* os)
{
    *os << c.title;
}

class RegistryByName : public Registry, public ::testing::WithParamInterface<name_case> {};

TEST_P(RegistryByName, RegistersOnlyFromBlocksOfTheGivenName)
{
    std::vector<std::string> added;
    for (const std::string& name : GetParam().requests)
        added.push_back(add_by_name(name));
    EXPECT_EQ(added, GetParam().added);
}

INSTANTIATE_TEST_SUITE_P(
    Capture, RegistryByName,
    ::testing::Values(
        name_case{"FullName", {"\"AT Translated Set 2 keyboard\""}, {"event2"}},
        name_case{"ClosingQuoteOptional", {"\"PC Speaker"}, {"event6"}},
        name_case{"WithoutOpeningQuoteNeverMatches", {"Power Button"}, {""}},
        name_case{"PrefixTakesTheFirstDeviceSoNamed", {"\"Logi"}, {"event3"}},
        name_case{"EmptyNameTakesTheFirstDevice", {""}, {"event0"}},
        name_case{"Utf8Name", {usb_keyboard}, {"event9"}},
        name_case{"BesideEvent3", {"\"Media Center Ed. eHome Infrared Remote Transceiver (1934:5168)\""}, {"event30"}},
        name_case{"LongerThanTheLineMatchesNothing", {"\"PC Speaker\"\n and more"}, {""}},
        // A shared name: the second request takes the second block.
        name_case{"SharedNameTwiceThenNone", {"\"Power Button\"", "\"Power Button\"", "\"Power Button\""},
                  {"event0", "event1", ""}},
        // Asked twice, a single device is not followed by its neighbour.
        name_case{"SecondRequestDoesNotTakeTheNextDevice",
                  {"\"AT Translated Set 2 keyboard\"", "\"AT Translated Set 2 keyboard\""}, {"event2", ""}},
        // The handler line has no event: nothing, not the next block's event9.
        name_case{"HandlerWithoutEvent", {"\"Virtual rfkill switch\""}, {""}},
        name_case{"PrefixWalksTheBlocksThatShareIt",
                  {"\"Logitech USB Receiver", "\"Logitech USB Receiver", "\"Logitech USB Receiver",
                   "\"Logitech USB Receiver"},
                  {"event3", "event4", "event5", ""}}),
    [](const ::testing::TestParamInfo<name_case>& info) { return info.param.title; });

TEST_F(Registry, ByEventMatchesTheWholeToken)
{
    EXPECT_EQ(add_by_event("event30"), "\"Media Center Ed. eHome Infrared Remote Transceiver (1934:5168)\"");
    EXPECT_EQ(add_by_event("event3"), "\"Logitech USB Receiver\"");
    EXPECT_EQ(add_by_event("event1"), "\"Power Button\"");
    EXPECT_EQ(add_by_event("event7"), "\"HDA Intel PCH HDMI/DP,pcm=3\"");
    EXPECT_EQ(add_by_event("event9"), usb_keyboard);
    EXPECT_EQ(registered_events(), (std::vector<std::string>{"event30", "event3", "event1", "event7", "event9"}));

    EXPECT_EQ(add_by_event("event3"), "-");  // already registered
    EXPECT_EQ(add_by_event("event8"), "-");
    EXPECT_EQ(add_by_event("event"), "-");
    EXPECT_EQ(add_by_event("event30 "), "-");
    EXPECT_EQ(add_by_event(""), "-");
    EXPECT_EQ(registered_events().size(), 5u);
}

TEST_F(Registry, TokenEndsAtTheLineEndWhenNoSpaceFollows)
{
    const std::string listing = "N: Name=\"Remote\"\nH: Handlers=kbd event12\n";
    EXPECT_EQ(add_by_name("\"Remote\"", listing), "event12");
    reset_program_state();
    EXPECT_EQ(add_by_event("event12", listing), "\"Remote\"");
}

TEST_F(Registry, HandlerBeforeAnyNameLineHasAnEmptyName)
{
    const std::string listing = "H: Handlers=kbd event4 \nN: Name=\"Late\"\nH: Handlers=event5 \n";
    EXPECT_EQ(add_by_event("event4", listing), "");
    EXPECT_EQ(add_by_event("event5", listing), "\"Late\"");
    // By name, lines before the first name line belong to no device.
    reset_program_state();
    EXPECT_EQ(add_by_name("", listing), "event5");
}

TEST_F(Registry, LongNamesAreCutWholeCharactersFirst)
{
    // 1 + 100 * 3 bytes: cut to the quote and 84 characters (253 bytes).
    std::string long_name = "\"";
    for (int i = 0; i < 100; i++)
        long_name += "\xE3\x81\x82";  // あ
    const std::string listing = "N: Name=" + long_name + "\"\nH: Handlers=event6 \n";
    const std::string name = add_by_event("event6", listing);
    EXPECT_EQ(name, long_name.substr(0, 253));

    const std::string ascii(400, 'n');
    EXPECT_EQ(add_by_event("event7", "N: Name=\"" + ascii + "\"\nH: Handlers=event7 \n"), "\"" + ascii.substr(0, 254));
}

TEST_F(Registry, LinesLongerThanTheBufferArriveInPieces)
{
    // The second piece of an over-long name line is not a name line; the
    // handler line that follows is still found.
    const std::string listing = "N: Name=\"" + std::string(1500, 'x') + "\"\nH: Handlers=event3 \n";
    EXPECT_EQ(add_by_name("\"xxx", listing), "event3");
    reset_program_state();
    EXPECT_EQ(add_by_event("event3", listing), "\"" + std::string(254, 'x'));
}

TEST_F(Registry, OnlyLinesOfTheirTypeGiveNamesAndHandlers)
{
    // A device's own serial number and physical path hold text that looks
    // like other lines; so does the second piece of an over-long field.
    const std::string listing = "N: Name=\"Pad\"\n"
                                "P: Phys=usb-1/input0 N: Name=\"Power Button\"\n"
                                "U: Uniq=H: Handlers=event62 \n"
                                "U: Uniq=" + std::string(listing_line_size - 1 - 8, 'u') + "H: Handlers=event63 \n"
                                "H: Handlers=kbd event12 \n";
    EXPECT_EQ(add_by_event("event62", listing), "-");
    EXPECT_EQ(add_by_event("event63", listing), "-");
    EXPECT_EQ(add_by_name("\"Power Button\"", listing), "");
    EXPECT_EQ(add_by_name("\"Pad\"", listing), "event12");
    reset_program_state();
    EXPECT_EQ(add_by_event("event12", listing), "\"Pad\"");
}

class RegistryMessages : public Registry {
protected:
    void SetUp() override
    {
        Registry::SetUp();
        command_ = "cat '" + std::string(LW_FIXTURES) + "/" + listing_fixture + "'";
        device_listing_command = command_.c_str();
    }
    std::string command_;
};

TEST_F(RegistryMessages, ByNameReportsSuccessAndFailure)
{
    const std::string out = capture_stdout([] {
        add_device_by_device_name("\"Power Button\"");
        add_device_by_device_name("\"Power Button\"");
        add_device_by_device_name("\"Power Button\"");
        add_device_by_device_name("Power Button");
        add_device_by_device_name(usb_keyboard.c_str());
    });
    EXPECT_EQ(out,
              "デバイス \"Power Button\" の追加に成功 (event0)\n"
              "デバイス \"Power Button\" の追加に成功 (event1)\n"
              "デバイス \"Power Button\" の追加を保留 (接続待ち)\n"
              "デバイス Power Button の追加に失敗\n"
              "デバイス " + usb_keyboard + " の追加に成功 (event9)\n");
}

TEST_F(RegistryMessages, ByEventNamesTheListedDeviceOrTheRequest)
{
    const std::string out = capture_stdout([] {
        add_device_by_event_name("event3");
        add_device_by_event_name("event3");
        add_device_by_event_name("event8");
        add_device_by_event_name("event30");
    });
    // A failure names the request, never the last device of the listing.
    EXPECT_EQ(out,
              "デバイス \"Logitech USB Receiver\" の追加に成功 (event3)\n"
              "デバイス event3 の追加に失敗\n"
              "デバイス event8 の追加に失敗\n"
              "デバイス \"Media Center Ed. eHome Infrared Remote Transceiver (1934:5168)\" の追加に成功 (event30)\n");
    EXPECT_EQ(registered_events(), (std::vector<std::string>{"event3", "event30"}));
}

TEST_F(RegistryMessages, NamesFromOutsideArePrintedEscaped)
{
    temp_dir dir;
    command_ = "cat '" + dir.write("devices", "N: Name=\"Bad\x1b]0;x\x07\rPad\xff\"\nH: Handlers=kbd event4 \n") + "'";
    device_listing_command = command_.c_str();
    const std::string out = capture_stdout([] {
        add_device_by_event_name("event4");
        add_device_by_event_name("event5\x1b[2J");
        add_device_by_device_name("\"Bad\x1b");
        add_device_by_device_name("\"Gone\r");
    });
    EXPECT_EQ(out,
              "デバイス \"Bad\\x1b]0;x\\x07\\x0dPad\\xff\" の追加に成功 (event4)\n"
              "デバイス event5\\x1b[2J の追加に失敗\n"
              "デバイス \"Bad\\x1b の追加を保留 (接続待ち)\n"
              "デバイス \"Gone\\x0d の追加を保留 (接続待ち)\n");
}

TEST_F(RegistryMessages, UnreadableListingFailsEveryRequest)
{
    device_listing_command = "cat /nonexistent/lw-devices 2>/dev/null";
    const std::string out = capture_stdout([] {
        add_device_by_event_name("event3");
        add_device_by_device_name("\"Power Button\"");
    });
    // The name may still appear: it waits, without a handler.
    EXPECT_EQ(out, "デバイス event3 の追加に失敗\nデバイス \"Power Button\" の追加を保留 (接続待ち)\n");
    EXPECT_EQ(registered_events(), std::vector<std::string>{""});
}

}  // namespace
