// The system bus within one deadline: connecting, authenticating and every
// call of a source's check wait together at most system_bus_deadline_ms,
// and a stop request ends any wait at once. The address is
// DBUS_SYSTEM_BUS_ADDRESS, else the default socket. One connection is kept
// between checks while it works; one that failed or timed out is closed
// and opened afresh at the next call.
//
// A call that fails because a stop was requested looks like any call that
// got no answer; callers tell the two apart with stop_requested() and do
// not report a stop as a source that cannot answer.
#pragma once

#include <cstdint>
#include <systemd/sd-bus.h>

#include "base/stop.h"

constexpr int system_bus_deadline_ms_default = 5000;
extern int system_bus_deadline_ms;

// The moment (CLOCK_MONOTONIC, microseconds) by which a source's exchanges
// with the bus must be done.
struct bus_deadline {
    uint64_t end_us = 0;
};

// A deadline system_bus_deadline_ms from now: one per source per check.
bus_deadline system_bus_deadline();

// Owns the answer of one call: the reply, or the error the service
// answered with.
struct bus_reply {
    sd_bus_message* message = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    bus_reply() = default;
    bus_reply(const bus_reply&) = delete;
    bus_reply& operator=(const bus_reply&) = delete;
    ~bus_reply();
};

// Calls a method with arguments as sd_bus_message_append takes them (types
// "" for none). True with reply.message set once the method returned. False
// with reply.error set when the service answered with an error; false with
// reply.error unset when no answer came in time (or a stop was requested).
// A kept connection that turns out broken is replaced once, within the
// same deadline.
bool system_bus_call(bus_reply& reply, const bus_deadline& deadline, const char* service, const char* path,
                     const char* interface, const char* method, const char* types, ...);

// Closes the connection and puts system_bus_deadline_ms back.
void system_bus_reset();
