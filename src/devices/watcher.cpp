#include "devices/watcher.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "base/settings.h"
#include "base/progress.h"

std::atomic<uint32_t> device_operation{0};
const char* input_dir_prefix = "/dev/input/";

namespace {

constexpr unsigned retry_pause_seconds = 10;
// One Linux input event of a 64-bit system: two 8-byte timestamp fields,
// then type (2 bytes), code (2 bytes) and value (4 bytes).
constexpr std::size_t input_event_size = 24;
constexpr std::size_t event_type_offset = 16;

void real_retry_sleep(unsigned seconds)
{
    sleep(seconds);
}

// Forms the device path of event. Returns false when it does not fit.
bool device_path(const char* event, char* path, std::size_t path_size)
{
    const int len = snprintf(path, path_size, "%s%s", input_dir_prefix, event);
    return len >= 0 && static_cast<std::size_t>(len) < path_size;
}

// Opens the event device, retrying after each pause until it opens. A path
// that did not fit (nullptr) fails like a missing device.
int open_device(const device_entry* entry, const char* path)
{
    for (;;) {
        // Close-on-exec: the commands that the main thread starts must not
        // inherit the device.
        const int fd = path == nullptr ? -1 : open(path, O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
            return fd;
        printf("event読み込みエラー(%s 監視失敗)\n", entry->event);
        watcher_retry_sleep(retry_pause_seconds);
    }
}

// One complete event: the activity line, the device's bit, a flush.
void report_event(const device_entry* entry, const unsigned char* event)
{
    uint16_t type;
    memcpy(&type, event + event_type_offset, sizeof type);
    const int level = settings.disp_level;
    if (level > 0) {
        printf("%s操作を検知! (%d)", entry->event, type);
        putchar(level >= 3 ? '\n' : '\r');
        device_operation_disp_done.store(1);
    }
    device_operation.fetch_or(1u << (static_cast<unsigned>(entry->index) % 32));
    (void)fflush(stdout);
}

// Reads events until a read fails or meets the end of the file (a replaced
// node, a writer gone), then pauses; the caller closes and reopens.
void read_events(int fd, const device_entry* entry)
{
    unsigned char event[input_event_size];
    for (;;) {
        const ssize_t got = read(fd, event, sizeof event);
        if (got == static_cast<ssize_t>(sizeof event)) {
            report_event(entry, event);
        } else if (got <= 0) {
            printf("event読み込みエラー(%s 監視失敗)\n", entry->event);
            watcher_retry_sleep(retry_pause_seconds);
            return;
        } else {
            printf("event読み込みエラー(%s) size:%d\n", entry->event, static_cast<int>(got));
            (void)fflush(stdout);
        }
    }
}

// Closes the descriptor that a cancelled watcher held.
void close_held_descriptor(void* held)
{
    const int fd = *static_cast<int*>(held);
    if (fd >= 0)
        close(fd);
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

void* device_watch(void* arg)
{
    const auto* entry = static_cast<const device_entry*>(arg);
    usleep(500);
    char path[PATH_MAX];
    const bool path_fits = device_path(entry->event, path, sizeof path);
    printf("\tevent監視スレッド開始 (%s）\n", entry->event);
    // Read by the clean-up handler, hence volatile across its setjmp.
    volatile int fd = -1;
    pthread_cleanup_push(close_held_descriptor, const_cast<int*>(&fd));
    for (;;) {
        fd = open_device(entry, path_fits ? path : nullptr);
        read_events(fd, entry);
        // Forgotten before closing, so a cancellation inside close() can
        // never make the handler close the number a second time.
        const int done = fd;
        fd = -1;
        close(done);
    }
    pthread_cleanup_pop(0);
    return nullptr;
}

void device_thread_create()
{
    for (device_entry* entry = device_data; entry != nullptr; entry = entry->next) {
        if (pthread_create(&entry->thread, nullptr, device_watch, entry) != 0)
            entry->thread = 0;
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
    const uint32_t mask = device_operation.exchange(0);
    if (mask == 0)
        return;
    check.busy = true;
    if (settings.disp_level <= 0)
        return;
    if (settings.disp_level == 1) {
        activity_append_once(check, "(操作あり)");
        return;
    }
    // Bit k belongs to the k-th entry; the walk stops at the list's end or
    // when no higher bit is set.
    std::string text = "(操作あり:";
    bool first = true;
    unsigned bit = 0;
    for (const device_entry* entry = device_data; entry != nullptr && bit < 32 && (mask >> bit) != 0;
         entry = entry->next, bit++) {
        if ((mask & (1u << bit)) == 0)
            continue;
        if (!first)
            text += "/";
        text += entry->event;
        first = false;
    }
    text += ")";
    activity_append_once(check, text.c_str());
}

void devices_reset()
{
    // The watchers read the entries: they end before the entries go.
    device_thread_stop_and_wait();
    while (device_data != nullptr) {
        device_entry* next = device_data->next;
        free(device_data->event);
        free(device_data);
        device_data = next;
    }
    device_operation.store(0);
    device_listing_command = device_listing_default;
    input_dir_prefix = "/dev/input/";
    watcher_retry_sleep = real_retry_sleep;
}
