#include "devices/watcher.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

#include "base/clock.h"
#include "base/journal.h"
#include "base/messages.h"
#include "base/progress.h"
#include "base/settings.h"
#include "base/text_escape.h"

std::atomic<uint32_t> device_operation{0};
std::atomic<uint32_t> device_failing{0};
source_health input_health;
const char* input_dir_prefix = "/dev/input/";

namespace {

constexpr unsigned retry_pause_seconds = 10;
// An event name with every byte escaped (\xNN) still fits.
constexpr std::size_t shown_event_size = event_name_max * 4 + 1;
// Events taken by one read; a key press is three or four.
constexpr std::size_t events_per_read = 64;

void real_retry_sleep(unsigned seconds)
{
    sleep(seconds);
}

int real_thread_start(pthread_t* thread, void* (*body)(void*), void* arg)
{
    return pthread_create(thread, nullptr, body, arg);
}

// A watcher's buffers. They live in the frame of device_watch itself: a
// cancelled watcher leaves the frames below it without their epilogues.
struct watcher_state {
    device_entry* entry;
    // The entry's event name as the watcher prints it. Kept here rather than
    // in a std::string: a cancelled watcher frees nothing.
    char shown[shown_event_size];
    char path[PATH_MAX];
    input_event events[events_per_read];
};

void show_event(const device_entry* entry, char* shown)
{
    (void)snprintf(shown, shown_event_size, "%s", text_escape(entry->event).c_str());
}

// The device's bit in the activity and failure masks.
uint32_t device_bit(const device_entry* entry)
{
    return 1u << (static_cast<unsigned>(entry->index) % 32);
}

// Forms the device path of event. Returns false when it does not fit.
bool device_path(const char* event, char* path, std::size_t path_size)
{
    const int len = snprintf(path, path_size, "%s%s", input_dir_prefix, event);
    return len >= 0 && static_cast<std::size_t>(len) < path_size;
}

// Looks a device asked for by name up again after a pause, so that a device
// that came back under another handler is followed there. Returns whether
// its node is worth opening: not when the name is listed nowhere, since the
// old number may belong to another device by now.
bool follow_device(watcher_state& w)
{
    const device_lookup found = device_entry_lookup(w.entry);
    if (found == device_lookup::moved)
        show_event(w.entry, w.shown);
    return found != device_lookup::absent;
}

// Opens the event device, retrying after each pause until it opens. A path
// that does not fit fails like a missing device.
int open_device(watcher_state& w, bool try_open)
{
    for (;;) {
        if (try_open && device_path(w.entry->event, w.path, sizeof w.path)) {
            // Close-on-exec: the commands that the main thread starts must
            // not inherit the device.
            const int fd = open(w.path, O_RDONLY | O_CLOEXEC);
            if (fd >= 0) {
                device_failing.fetch_and(~device_bit(w.entry));
                return fd;
            }
        }
        device_failing.fetch_or(device_bit(w.entry));
        printf(tr("%sevent読み込みエラー(%s 監視失敗)\n"), journal_prefix(journal_error), w.shown);
        watcher_retry_sleep(retry_pause_seconds);
        try_open = follow_device(w);
    }
}

// A device asked for by name that was not listed at start-up: looked for
// after every pause until it appears.
void wait_until_listed(device_entry* entry)
{
    do
        watcher_retry_sleep(retry_pause_seconds);
    while (device_entry_lookup(entry) != device_lookup::moved);
}

// One complete event: the activity line and the device's bit.
void report_event(const device_entry* entry, const char* shown, const input_event& event)
{
    const int level = settings.disp_level;
    if (level > 0) {
        printf(tr("%s操作を検知! (%d)"), shown, event.type);
        putchar(level >= 3 ? '\n' : '\r');
        device_operation_disp_done.store(1);
    }
    device_operation.fetch_or(device_bit(entry));
}

// Reads events, several at a time, until a read fails or meets the end of
// the file (a replaced node, a writer gone), then pauses; the caller closes
// and reopens. A read that is not a whole number of events counts none.
void read_events(int fd, watcher_state& w)
{
    for (;;) {
        const ssize_t got = read(fd, w.events, sizeof w.events);
        if (got <= 0) {
            device_failing.fetch_or(device_bit(w.entry));
            printf(tr("%sevent読み込みエラー(%s 監視失敗)\n"), journal_prefix(journal_error), w.shown);
            watcher_retry_sleep(retry_pause_seconds);
            return;
        }
        if (static_cast<std::size_t>(got) % input_event_size != 0) {
            printf(tr("%sevent読み込みエラー(%s) size:%d\n"),
                   journal_prefix(journal_error), w.shown, static_cast<int>(got));
            (void)fflush(stdout);
            continue;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(got) / input_event_size; i++)
            report_event(w.entry, w.shown, w.events[i]);
        (void)fflush(stdout);
    }
}

#if defined(__SANITIZE_ADDRESS__)
// Cancellation leaves the watcher's frames without their epilogues, so
// AddressSanitizer would take their stale guard bytes for overruns in the
// code that ends the thread. The thread's stack is dead from here on.
void forget_abandoned_frames()
{
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0)
        return;
    void* base = nullptr;
    std::size_t size = 0;
    if (pthread_attr_getstack(&attr, &base, &size) == 0)
        ASAN_UNPOISON_MEMORY_REGION(base, size);
    pthread_attr_destroy(&attr);
}
#else
void forget_abandoned_frames() {}
#endif

// Closes the descriptor that a cancelled watcher held.
void close_held_descriptor(void* held)
{
    const int fd = *static_cast<int*>(held);
    if (fd >= 0)
        close(fd);
    forget_abandoned_frames();
}

// Cancels every watcher and waits for it to end.
void device_thread_stop_and_wait()
{
    for (device_entry* entry = device_data; entry != nullptr; entry = entry->next) {
        if (entry->thread != 0)
            pthread_cancel(entry->thread);
    }
    for (device_entry* entry = device_data; entry != nullptr; entry = entry->next) {
        if (entry->thread != 0)
            pthread_join(entry->thread, nullptr);
        entry->thread = 0;
    }
}

}  // namespace

void (*watcher_retry_sleep)(unsigned seconds) = real_retry_sleep;
int (*watcher_thread_start)(pthread_t* thread, void* (*body)(void*), void* arg) = real_thread_start;

void* device_watch(void* arg)
{
    watcher_state w;
    w.entry = static_cast<device_entry*>(arg);
    // Read by the clean-up handler, hence volatile across its setjmp. The
    // handler covers every cancellation point of the watcher.
    volatile int fd = -1;
    pthread_cleanup_push(close_held_descriptor, const_cast<int*>(&fd));
    usleep(500);
    if (w.entry->event[0] == '\0')
        wait_until_listed(w.entry);
    show_event(w.entry, w.shown);
    printf(tr("\tevent監視スレッド開始 (%s）\n"), w.shown);
    bool try_open = true;
    for (;;) {
        fd = open_device(w, try_open);
        read_events(fd, w);
        // Forgotten before closing, so a cancellation inside close() can
        // never make the handler close the number a second time.
        const int done = fd;
        fd = -1;
        close(done);
        try_open = follow_device(w);
    }
    pthread_cleanup_pop(0);
    return nullptr;
}

void device_thread_create()
{
    for (device_entry* entry = device_data; entry != nullptr; entry = entry->next) {
        if (watcher_thread_start(&entry->thread, device_watch, entry) == 0)
            continue;
        entry->thread = 0;
        // No watcher runs for this entry, so its names stay as they are.
        const char* named = entry->event[0] != '\0' || entry->name == nullptr ? entry->event : entry->name;
        printf(tr("%s\tevent監視スレッド開始失敗 (%s)\n"), journal_prefix(journal_error), text_escape(named).c_str());
    }
}

void device_thread_delete()
{
    for (device_entry* entry = device_data; entry != nullptr; entry = entry->next) {
        if (entry->thread != 0)
            pthread_cancel(entry->thread);
        entry->thread = 0;
    }
}

void device_check(activity_check& check)
{
    if (device_failing.load() == 0) {
        input_health = {};
    } else if (!input_health.failing) {
        input_health.failing = true;  // its watcher has printed why
        input_health.since = static_cast<int64_t>(watch_unix_time());
    }
    const uint32_t mask = device_operation.exchange(0);
    if (mask == 0)
        return;
    check.busy = true;
    // Bit k belongs to the k-th entry; the walk stops at the list's end or
    // when no higher bit is set. Every device that was used gives a reason
    // token ("input:EVENTNAME"), at any display level.
    std::string names;
    bool first = true;
    unsigned bit = 0;
    for (const device_entry* entry = device_data; entry != nullptr && bit < 32 && (mask >> bit) != 0;
         entry = entry->next, bit++) {
        if ((mask & (1u << bit)) == 0)
            continue;
        char event[event_name_max + 1];
        device_event_read(entry, event);
        activity_add_reason(check, {"input", event});
        if (!first)
            names += "/";
        names += text_escape(event);
        first = false;
    }
    if (settings.disp_level <= 0)
        return;
    if (settings.disp_level == 1) {
        activity_append_once(check, tr("(操作あり)"));
        return;
    }
    activity_append_once(check, text_format(tr("(操作あり:%s)"), names.c_str()).c_str());
}

void devices_reset()
{
    // The watchers read the entries: they end before the entries go.
    device_thread_stop_and_wait();
    while (device_data != nullptr) {
        device_entry* next = device_data->next;
        free(device_data->name);
        free(device_data);
        device_data = next;
    }
    device_operation.store(0);
    device_failing.store(0);
    input_health = {};
    device_listing_command = device_listing_default;
    input_dir_prefix = "/dev/input/";
    watcher_retry_sleep = real_retry_sleep;
    watcher_thread_start = real_thread_start;
}
