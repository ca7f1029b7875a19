// Watcher threads reading FIFOs that stand in for event devices.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <string>
#include <vector>

#include "base/settings.h"
#include "base/progress.h"
#include "devices/registry.h"
#include "devices/watcher.h"
#include "devices/device_test_support.h"
#include "support/test_support.h"

namespace {

std::atomic<int> pauses{0};
std::atomic<bool> odd_pause{false};

// The retry pause, made short and counted; still a cancellation point. It
// keeps no addressable local: a watcher cancelled in it never returns, and
// AddressSanitizer would take the frame's stale guard bytes for an overrun.
void short_pause(unsigned seconds)
{
    if (seconds != 10)
        odd_pause.store(true);
    pauses.fetch_add(1);
    usleep(1000);
}

const char start_line[] = "\tevent監視スレッド開始 (event7）\n";
const char failure_line[] = "event読み込みエラー(event7 監視失敗)\n";

class DeviceWatcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_program_state();
        prefix_ = dir_.path + "/";
        input_dir_prefix = prefix_.c_str();
        watcher_retry_sleep = short_pause;
        // The watchers read the command itself: it is set before they start.
        listing_ = "cat '" + dir_.path + "/devices' 2>/dev/null";
        device_listing_command = listing_.c_str();
        pauses.store(0);
        // A write that met no reader fails the test instead of ending it.
        signal(SIGPIPE, SIG_IGN);
    }
    void TearDown() override
    {
        // The threads end before the data that they read goes.
        devices_reset();
        EXPECT_FALSE(odd_pause.exchange(false)) << "a retry pause other than 10 s";
        const std::string captured = tap_.text();
        tap_.restore();
        // The failure messages went to the captured output too.
        if (HasFailure())
            fprintf(stderr, "captured output:\n%s\n", captured.c_str());
        reset_program_state();
    }
    std::string device_path(const std::string& event) const { return prefix_ + event; }
    // Registers event and starts the watchers of every registered device.
    void watch(const std::string& event)
    {
        ASSERT_EQ(device_data_add(event.c_str()), 0);
        device_thread_create();
    }
    // Watches event7 at the display level; true once the watcher opened it.
    bool watch_event7(fake_device& device, int level)
    {
        settings.disp_level = level;
        watch("event7");
        return device.connect();
    }

    // Makes text the device listing, swapped in whole for watchers reading it.
    void list_devices(const std::string& text)
    {
        dir_.write("devices.new", text);
        ASSERT_EQ(rename((dir_.path + "/devices.new").c_str(), (dir_.path + "/devices").c_str()), 0);
    }

    temp_dir dir_;
    std::string prefix_, listing_;
    stdout_capture tap_;
};

struct level_case {
    int level;
    const char* printed;  // after the start line
    int disp_done;
};

void PrintTo(const level_case& c, std::ostream* os)
{
    *os << "level " << c.level;
}

class DeviceWatcherLevel : public DeviceWatcher, public ::testing::WithParamInterface<level_case> {};

TEST_P(DeviceWatcherLevel, ActivityLineEndsByDisplayLevel)
{
    fake_device remote(device_path("event7"));
    ASSERT_TRUE(watch_event7(remote, GetParam().level));
    remote.send_event(1);
    // The bit is set after the line is printed, and the flush follows it.
    ASSERT_TRUE(wait_until([] { return device_operation.load() != 0; }));
    EXPECT_TRUE(wait_for_output(tap_, std::string(start_line) + GetParam().printed));
    EXPECT_EQ(tap_.text(), std::string(start_line) + GetParam().printed);
    EXPECT_EQ(device_operation.load(), 1u);
    EXPECT_EQ(device_operation_disp_done.load(), GetParam().disp_done);
}

INSTANTIATE_TEST_SUITE_P(Levels, DeviceWatcherLevel,
                         ::testing::Values(level_case{0, "", 0}, level_case{-1, "", 0},
                                           level_case{1, "event7操作を検知! (1)\r", 1},
                                           level_case{2, "event7操作を検知! (1)\r", 1},
                                           level_case{3, "event7操作を検知! (1)\n", 1},
                                           level_case{4, "event7操作を検知! (1)\n", 1}));

// Each write waits for its own text, so that no two writes meet in one read.
struct read_step {
    std::string bytes;
    const char* printed;
};

struct read_case {
    const char* title;
    std::vector<read_step> steps;
    uint32_t mask;
};

void PrintTo(const read_case& c, std::ostream* os)
{
    *os << c.title;
}

class DeviceWatcherReads : public DeviceWatcher, public ::testing::WithParamInterface<read_case> {};

TEST_P(DeviceWatcherReads, WholeEventsCountAndPiecesAreReported)
{
    fake_device keyboard(device_path("event7"));
    ASSERT_TRUE(watch_event7(keyboard, 3));
    std::string expected = start_line;
    for (const read_step& step : GetParam().steps) {
        keyboard.send_bytes(step.bytes);
        expected += step.printed;
        ASSERT_TRUE(wait_until([&] { return tap_.text() == expected; })) << tap_.text();
    }
    EXPECT_EQ(device_operation.load(), GetParam().mask);
    EXPECT_EQ(pauses.load(), 0);
}

// A record 8 bytes short: what the other word size of userland would write.
const std::string half_event = event_record(2).substr(0, input_event_size - 8);
const std::string piece_line = "event読み込みエラー(event7) size:" + std::to_string(input_event_size - 8) + "\n";

// A key press as the kernel reports it: scan code, key, synchronisation.
INSTANTIATE_TEST_SUITE_P(
    Records, DeviceWatcherReads,
    ::testing::Values(
        read_case{"EachEventOfAKeyPress",
                  {{event_record(4), "event7操作を検知! (4)\n"},
                   {event_record(1), "event7操作を検知! (1)\n"},
                   {event_record(0), "event7操作を検知! (0)\n"}}, 1},
        read_case{"KeyPressInOneWrite",
                  {{event_record(4) + event_record(1) + event_record(0),
                    "event7操作を検知! (4)\nevent7操作を検知! (1)\nevent7操作を検知! (0)\n"}}, 1},
        read_case{"PartialRecord", {{half_event, piece_line.c_str()}}, 0},
        read_case{"PartialThenWhole",
                  {{half_event, piece_line.c_str()}, {event_record(2), "event7操作を検知! (2)\n"}}, 1}),
    [](const ::testing::TestParamInfo<read_case>& info) { return info.param.title; });

TEST_F(DeviceWatcher, EndOfFilePausesAndReopensInsteadOfSpinning)
{
    fake_device keyboard(device_path("event7"));
    ASSERT_TRUE(watch_event7(keyboard, 3));
    keyboard.send_event(1);
    ASSERT_TRUE(wait_for_output(tap_, "event7操作を検知! (1)\n"));
    keyboard.hang_up();
    ASSERT_TRUE(wait_for_output(tap_, failure_line)) << tap_.text();
    // Once the old descriptor is closed, the only reader that a new writer
    // can meet is the watcher's reopening.
    ASSERT_TRUE(wait_until([&] { return keyboard.readers().empty(); }));
    ASSERT_TRUE(keyboard.connect());
    keyboard.send_event(0);
    ASSERT_TRUE(wait_for_output(tap_, "event7操作を検知! (0)\n")) << tap_.text();
    EXPECT_EQ(tap_.text(), std::string(start_line) + "event7操作を検知! (1)\n" + failure_line +
                               "event7操作を検知! (0)\n");
    EXPECT_EQ(pauses.load(), 1);
}

TEST_F(DeviceWatcher, MissingDeviceIsRetriedUntilItAppears)
{
    settings.disp_level = 1;
    fake_device late(device_path("event7"), false);
    watch("event7");
    ASSERT_TRUE(wait_for_output(tap_, failure_line, 3)) << tap_.text();
    late.make();
    ASSERT_TRUE(late.connect());
    late.send_event(1);
    // The activity text and its ending are two prints: wait for both.
    ASSERT_TRUE(wait_for_output(tap_, "event7操作を検知! (1)\r"));
    const std::string out = tap_.text();
    EXPECT_EQ(occurrences(out, start_line), 1);
    EXPECT_EQ(out.find(start_line), 0u);
    const size_t failures = static_cast<size_t>(occurrences(out, failure_line));
    EXPECT_GE(failures, 3u);
    EXPECT_EQ(static_cast<size_t>(pauses.load()), failures);
    EXPECT_EQ(out.substr(out.size() - strlen("event7操作を検知! (1)\r")), "event7操作を検知! (1)\r");
}

TEST_F(DeviceWatcher, PathTooLongForTheSystemFailsLikeAMissingDevice)
{
    const std::string long_prefix = "/" + std::string(PATH_MAX, 'd') + "/";
    input_dir_prefix = long_prefix.c_str();
    watch("event7");
    ASSERT_TRUE(wait_for_output(tap_, failure_line, 2)) << tap_.text();
    devices_reset();
    EXPECT_EQ(tap_.text().find(start_line), 0u);
}

TEST_F(DeviceWatcher, EachDeviceSetsTheBitOfItsIndex)
{
    settings.disp_level = 0;
    fake_device first(device_path("event0")), second(device_path("event1")), third(device_path("event2"));
    ASSERT_EQ(device_data_add("event0"), 0);
    ASSERT_EQ(device_data_add("event1"), 0);
    watch("event2");
    ASSERT_TRUE(third.connect());
    third.send_event(1);
    ASSERT_TRUE(wait_until([] { return device_operation.load() == 4u; }));
    ASSERT_TRUE(first.connect());
    first.send_event(1);
    ASSERT_TRUE(wait_until([] { return device_operation.load() == 5u; }));
    EXPECT_EQ(device_operation_disp_done.load(), 0);
}

TEST_F(DeviceWatcher, ThirtyFourthDeviceSharesTheSecondDevicesBit)
{
    settings.disp_level = 0;
    for (int i = 0; i < 34; i++)
        ASSERT_EQ(device_data_add(("event" + std::to_string(100 + i)).c_str()), 0);
    device_entry* last = device_data;
    while (last->next != nullptr)
        last = last->next;
    ASSERT_EQ(last->index, 33);
    fake_device remote(device_path(last->event));
    ASSERT_EQ(pthread_create(&last->thread, nullptr, device_watch, last), 0);
    ASSERT_TRUE(remote.connect());
    remote.send_event(1);
    ASSERT_TRUE(wait_until([] { return device_operation.load() != 0; }));
    EXPECT_EQ(device_operation.load(), 2u);
}

TEST_F(DeviceWatcher, DeviceIsNotInheritedByCommands)
{
    fake_device keyboard(device_path("event7"));
    ASSERT_TRUE(watch_event7(keyboard, settings.disp_level));
    // The watcher's open() returns after the writer met it.
    std::vector<int> readers;
    ASSERT_TRUE(wait_until([&] { return (readers = keyboard.readers()).size() == 1; }));
    EXPECT_TRUE(fcntl(readers[0], F_GETFD) & FD_CLOEXEC);
}

TEST_F(DeviceWatcher, DeleteCancelsInEveryStateAndClearsEveryHandle)
{
    // event0 waits in open() for a writer, event1 blocks in read(),
    // event2 (missing) sits in the retry pause; event3 never got a thread.
    fake_device waiting(device_path("event0")), reading(device_path("event1"));
    for (const char* event : {"event0", "event1", "event2", "event3"})
        ASSERT_EQ(device_data_add(event), 0);
    for (device_entry* e = device_data; e->next != nullptr; e = e->next)
        ASSERT_EQ(pthread_create(&e->thread, nullptr, device_watch, e), 0);
    ASSERT_TRUE(reading.connect());
    ASSERT_TRUE(wait_for_output(tap_, "event読み込みエラー(event2 監視失敗)\n"));

    std::vector<pthread_t> started;
    for (device_entry* e = device_data; e != nullptr; e = e->next) {
        if (e->thread != 0)
            started.push_back(e->thread);
    }
    ASSERT_EQ(started.size(), 3u);
    device_thread_delete();
    for (device_entry* e = device_data; e != nullptr; e = e->next)
        EXPECT_EQ(e->thread, 0u);
    // Every cancelled watcher ends (a watcher that did not would hang here).
    for (pthread_t thread : started) {
        void* result = nullptr;
        EXPECT_EQ(pthread_join(thread, &result), 0);
        EXPECT_EQ(result, PTHREAD_CANCELED);
    }
}

TEST_F(DeviceWatcher, NamesFromOutsideArePrintedEscaped)
{
    const std::string event = "event7\x1b[2J";
    fake_device pad(device_path(event));
    settings.disp_level = 3;
    watch(event);
    ASSERT_TRUE(pad.connect());
    pad.send_event(1);
    ASSERT_TRUE(wait_for_output(tap_, "event7\\x1b[2J操作を検知! (1)\n")) << tap_.text();
    EXPECT_EQ(tap_.text(), "\tevent監視スレッド開始 (event7\\x1b[2J）\nevent7\\x1b[2J操作を検知! (1)\n");
    activity_check check;
    device_check(check);
    EXPECT_EQ(check.message, "(操作あり:event7\\x1b[2J)");
}

TEST_F(DeviceWatcher, AWatcherThatCannotStartIsNamedAndTheOthersRun)
{
    list_devices("");
    for (const char* event : {"event0", "event1", "event2"})
        ASSERT_EQ(device_data_add(event), 0);
    add_device_by_device_name("\"Later");
    watcher_thread_start = [](pthread_t* thread, void* (*body)(void*), void* arg) {
        const int index = static_cast<device_entry*>(arg)->index;
        return index % 2 == 1 ? EAGAIN : pthread_create(thread, nullptr, body, arg);
    };
    device_thread_create();
    EXPECT_NE(device_data->thread, 0u);
    EXPECT_EQ(device_data->next->thread, 0u);
    EXPECT_NE(device_data->next->next->thread, 0u);
    EXPECT_EQ(device_data->next->next->next->thread, 0u);
    // A device still waited for is named by the name it was asked for by;
    // the running watchers' lines may fall between.
    const std::string out = tap_.text();
    const size_t first = out.find("\tevent監視スレッド開始失敗 (event1)\n");
    EXPECT_EQ(out.find("デバイス \"Later の追加を保留 (接続待ち)\n"), 0u);
    EXPECT_NE(first, std::string::npos);
    const size_t later = out.find("\tevent監視スレッド開始失敗 (\"Later)\n");
    EXPECT_TRUE(later != std::string::npos && later > first) << out;
    EXPECT_EQ(occurrences(out, "開始失敗"), 2);
}

std::string pad_block(const std::string& name, const std::string& event)
{
    return "I: Bus=0003\nN: Name=\"" + name + "\"\nU: Uniq=\nH: Handlers=kbd " + event + " \n\n";
}

TEST_F(DeviceWatcher, NameListedLaterIsWatchedOnceItAppears)
{
    settings.disp_level = 3;
    list_devices(pad_block("Mouse", "event3"));
    add_device_by_device_name("\"Pad\"");
    device_thread_create();
    // Still absent after a few looks (half a minute with real pauses).
    ASSERT_TRUE(wait_until([] { return pauses.load() >= 3; }));
    fake_device pad(device_path("event12"));
    list_devices(pad_block("Mouse", "event3") + pad_block("Pad", "event12"));
    ASSERT_TRUE(pad.connect());
    pad.send_event(1);
    ASSERT_TRUE(wait_for_output(tap_, "event12操作を検知! (1)\n")) << tap_.text();
    EXPECT_EQ(tap_.text(), "デバイス \"Pad\" の追加を保留 (接続待ち)\n"
                           "デバイス \"Pad\" の追加に成功 (event12)\n"
                           "\tevent監視スレッド開始 (event12）\n"
                           "event12操作を検知! (1)\n");
    EXPECT_EQ(device_operation.load(), 1u);
}

TEST_F(DeviceWatcher, NamedDeviceIsFollowedToItsNewNumberNeverToItsOldOne)
{
    settings.disp_level = 3;
    fake_device old_node(device_path("event7")), new_node(device_path("event9"));
    list_devices(pad_block("Pad", "event7"));
    add_device_by_device_name("\"Pad\"");
    device_thread_create();
    ASSERT_TRUE(old_node.connect());
    old_node.send_event(1);
    ASSERT_TRUE(wait_for_output(tap_, "event7操作を検知! (1)\n"));
    // Unplugged: event7 now belongs to another device, and the pad is gone
    // for a while. A watcher that reopened event7 would block there.
    list_devices(pad_block("Mouse", "event7"));
    old_node.hang_up();
    ASSERT_TRUE(wait_for_output(tap_, failure_line, 3)) << tap_.text();
    list_devices(pad_block("Mouse", "event7") + pad_block("Pad", "event9"));
    ASSERT_TRUE(new_node.connect());
    new_node.send_event(2);
    ASSERT_TRUE(wait_for_output(tap_, "event9操作を検知! (2)\n")) << tap_.text();

    const std::string out = tap_.text();
    const std::string before = "デバイス \"Pad\" の追加に成功 (event7)\n" + std::string(start_line) +
                               "event7操作を検知! (1)\n" + failure_line;
    const std::string after = "デバイス \"Pad\" の監視先を変更 (event7 → event9)\nevent9操作を検知! (2)\n";
    EXPECT_EQ(out.substr(0, before.size()), before);
    EXPECT_EQ(out.substr(out.size() - after.size()), after);
    EXPECT_EQ(occurrences(out, failure_line), pauses.load());
    EXPECT_EQ(old_node.readers().size(), 0u);
}

}  // namespace
