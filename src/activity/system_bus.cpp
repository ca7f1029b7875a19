#include "activity/system_bus.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <ctime>
#include <poll.h>

int system_bus_deadline_ms = system_bus_deadline_ms_default;

namespace {

constexpr const char* system_bus_address_default = "unix:path=/run/dbus/system_bus_socket";
// sd-bus's own timeout of a call lies this far past the deadline, so that
// the deadline, checked here, is what ends a wait.
constexpr uint64_t call_timeout_margin_us = 1000000;

sd_bus* system_bus = nullptr;

uint64_t monotonic_us()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
}

// Closing without flushing: a flush waits for a connection that may never
// be ready, and nothing queued on a failed connection is worth sending.
void bus_close()
{
    system_bus = sd_bus_close_unref(system_bus);
}

// Waits once for the bus's descriptor, its next timeout, the deadline or a
// stop request. False when the deadline has passed or a stop was requested.
bool bus_wait(sd_bus* bus, const bus_deadline& deadline)
{
    const uint64_t now = monotonic_us();
    if (stop_requested() || now >= deadline.end_us)
        return false;
    uint64_t until = deadline.end_us;
    uint64_t bus_until = 0;
    if (sd_bus_get_timeout(bus, &bus_until) >= 0 && bus_until < until)
        until = bus_until;
    const int events = sd_bus_get_events(bus);
    const int fd = sd_bus_get_fd(bus);
    if (events < 0 || fd < 0)
        return false;
    pollfd fds[2] = {{fd, static_cast<short>(events), 0}, {stop_wake_fd(), POLLIN, 0}};
    const int wait_ms = until > now ? static_cast<int>((until - now + 999) / 1000) : 0;
    if (poll(fds, 2, wait_ms) < 0 && errno != EINTR)
        return false;
    return !stop_requested();
}

// Processes the connection until *done (or, without done, until it is
// authenticated and has its name). False when the connection broke, the
// deadline passed or a stop was requested first.
bool bus_run_until(sd_bus* bus, const bus_deadline& deadline, const bool* done)
{
    for (;;) {
        if (done != nullptr ? *done : sd_bus_is_ready(bus) > 0)
            return true;
        if (stop_requested() || monotonic_us() >= deadline.end_us)
            return false;
        const int r = sd_bus_process(bus, nullptr);
        if (r < 0)
            return false;
        if (r == 0 && !bus_wait(bus, deadline))
            return false;
    }
}

// Opens and authenticates a connection to the system bus.
bool bus_connect(const bus_deadline& deadline)
{
    const char* address = secure_getenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (address == nullptr || *address == '\0')
        address = system_bus_address_default;
    if (sd_bus_new(&system_bus) < 0) {
        system_bus = nullptr;
        return false;
    }
    if (sd_bus_set_address(system_bus, address) < 0 || sd_bus_set_bus_client(system_bus, 1) < 0 ||
        sd_bus_start(system_bus) < 0 || !bus_run_until(system_bus, deadline, nullptr)) {
        bus_close();
        return false;
    }
    return true;
}

enum call_outcome { call_returned, call_error, call_no_answer };

struct pending_call {
    bus_reply* reply;
    bool done = false;
    call_outcome outcome = call_no_answer;
};

// sd-bus answers NoReply itself for a call whose connection closed or
// whose time ran out: that is no answer of the service.
int call_finished(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    auto& call = *static_cast<pending_call*>(userdata);
    call.done = true;
    const sd_bus_error* error = sd_bus_message_get_error(m);
    if (error == nullptr) {
        call.reply->message = sd_bus_message_ref(m);
        call.outcome = call_returned;
    } else if (!sd_bus_error_has_name(error, SD_BUS_ERROR_NO_REPLY)) {
        (void)sd_bus_error_copy(&call.reply->error, error);
        call.outcome = call_error;
    }
    return 1;
}

call_outcome call_once(bus_reply& reply, const bus_deadline& deadline, const char* service, const char* path,
                       const char* interface, const char* method, const char* types, va_list arguments)
{
    sd_bus_message* m = nullptr;
    int r = sd_bus_message_new_method_call(system_bus, &m, service, path, interface, method);
    if (r >= 0)
        r = sd_bus_message_appendv(m, types, arguments);
    pending_call call{&reply};
    sd_bus_slot* slot = nullptr;
    const uint64_t now = monotonic_us();
    const uint64_t timeout_us = (deadline.end_us > now ? deadline.end_us - now : 0) + call_timeout_margin_us;
    if (r >= 0)
        r = sd_bus_call_async(system_bus, &slot, m, call_finished, &call, timeout_us);
    sd_bus_message_unref(m);
    if (r >= 0)
        (void)bus_run_until(system_bus, deadline, &call.done);
    sd_bus_slot_unref(slot);  // a late answer finds no callback
    return call.outcome;
}

}  // namespace

bus_reply::~bus_reply()
{
    sd_bus_message_unref(message);
    sd_bus_error_free(&error);
}

bus_deadline system_bus_deadline()
{
    const uint64_t span_ms = system_bus_deadline_ms > 0 ? static_cast<uint64_t>(system_bus_deadline_ms) : 0;
    return {monotonic_us() + span_ms * 1000};
}

bool system_bus_call(bus_reply& reply, const bus_deadline& deadline, const char* service, const char* path,
                     const char* interface, const char* method, const char* types, ...)
{
    for (int attempt = 0; attempt < 2; attempt++) {
        if (stop_requested() || monotonic_us() >= deadline.end_us)
            return false;
        if (system_bus != nullptr && sd_bus_is_open(system_bus) <= 0)
            bus_close();
        const bool kept = system_bus != nullptr;
        if (!kept && !bus_connect(deadline))
            return false;
        va_list arguments;
        va_start(arguments, types);
        const call_outcome outcome = call_once(reply, deadline, service, path, interface, method, types, arguments);
        va_end(arguments);
        if (outcome != call_no_answer)
            return outcome == call_returned;
        bus_close();
        if (!kept)
            return false;  // a fresh connection that failed would fail again
    }
    return false;
}

void system_bus_reset()
{
    bus_close();
    system_bus_deadline_ms = system_bus_deadline_ms_default;
}
