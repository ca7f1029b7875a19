// Helpers of the device tests: the registered names, waiting for what
// watcher threads print, and FIFOs that stand in for event devices.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "devices/registry.h"
#include "devices/watcher.h"
#include "support/test_support.h"

// The event names registered so far, in list order.
inline std::vector<std::string> registered_events()
{
    std::vector<std::string> events;
    for (const device_entry* e = device_data; e != nullptr; e = e->next)
        events.emplace_back(e->event);
    return events;
}

// How often needle occurs in text.
inline int occurrences(const std::string& text, const std::string& needle)
{
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        n++;
    return n;
}

// Polls until done() holds; false after the timeout.
template <typename Condition>
bool wait_until(Condition done, int timeout_ms = 5000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Waits until the captured output holds needle count times.
inline bool wait_for_output(const stdout_capture& out, const std::string& needle, int count = 1)
{
    return wait_until([&] { return occurrences(out.text(), needle) >= count; });
}

// One input event of the given type, as the kernel of this platform writes
// it (sizeof(input_event) bytes).
inline std::string event_record(uint16_t type)
{
    input_event event{};
    event.input_event_sec = 1700000000;
    event.input_event_usec = 123456;
    event.type = type;
    event.code = 30;
    event.value = 1;
    return std::string(reinterpret_cast<const char*>(&event), sizeof event);
}

// The writing end of a FIFO that stands in for an event device.
class fake_device {
public:
    explicit fake_device(std::string path, bool create = true) : path_(std::move(path))
    {
        if (create)
            make();
    }
    ~fake_device() { hang_up(); }
    fake_device(const fake_device&) = delete;
    fake_device& operator=(const fake_device&) = delete;

    void make() { EXPECT_EQ(mkfifo(path_.c_str(), 0600), 0) << strerror(errno); }

    // Opens the writing end once a watcher has opened the reading end.
    bool connect(int timeout_ms = 5000)
    {
        return wait_until([&] {
            writer_ = open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            return writer_ >= 0;
        }, timeout_ms);
    }

    // Writes one input event of the given type.
    void send_event(uint16_t type) { send_bytes(event_record(type)); }
    void send_bytes(const std::string& bytes) { send_bytes(bytes.data(), bytes.size()); }

    void send_bytes(const void* data, size_t size)
    {
        EXPECT_EQ(write(writer_, data, size), static_cast<ssize_t>(size));
    }

    // Closes the writing end: the watcher reads the end of the file.
    void hang_up()
    {
        if (writer_ >= 0)
            close(writer_);
        writer_ = -1;
    }

    const std::string& path() const { return path_; }

    // The descriptors of this process that read the FIFO (the watcher's).
    std::vector<int> readers() const
    {
        std::vector<int> found;
        DIR* fds = opendir("/proc/self/fd");
        if (fds == nullptr)
            return found;
        while (const dirent* d = readdir(fds)) {
            char target[4096] = {};
            const std::string link = std::string("/proc/self/fd/") + d->d_name;
            const int fd = atoi(d->d_name);
            if (readlink(link.c_str(), target, sizeof target - 1) > 0 && path_ == target &&
                (fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY)
                found.push_back(fd);
        }
        closedir(fds);
        return found;
    }

private:
    std::string path_;
    int writer_ = -1;
};
