#include "activity/systemd_timers.h"

#include <cstring>

#include "base/name_list.h"

namespace {

constexpr const char* systemd_service = "org.freedesktop.systemd1";
constexpr const char* systemd_path = "/org/freedesktop/systemd1";
constexpr const char* timer_interface = "org.freedesktop.systemd1.Timer";
// systemd says "no next elapse" with the largest value, its manual with 0.
constexpr uint64_t elapse_none = UINT64_MAX;

struct timer_unit {
    std::string name;
    std::string path;
};

bool is_timer_name(const char* name)
{
    const std::size_t length = strlen(name);
    return length > 6 && strcmp(name + length - 6, ".timer") == 0;
}

// The loaded timer units that match, from ListUnitsByPatterns. False when
// systemd did not answer.
bool timer_units_list(std::string_view patterns, const bus_deadline& deadline, std::vector<timer_unit>& units)
{
    bus_reply call;
    if (!system_bus_call(call, deadline, systemd_service, systemd_path, "org.freedesktop.systemd1.Manager",
                         "ListUnitsByPatterns", "asas", 0u, 1u, "*.timer") ||
        sd_bus_message_enter_container(call.message, 'a', "(ssssssouso)") < 0)
        return false;
    const char *name, *description, *load_state, *active_state, *sub_state, *following, *path, *job_type,
        *job_path;
    uint32_t job_id;
    int r;
    while ((r = sd_bus_message_read(call.message, "(ssssssouso)", &name, &description, &load_state, &active_state,
                                    &sub_state, &following, &path, &job_id, &job_type, &job_path)) > 0) {
        if (strcmp(load_state, "loaded") == 0 && is_timer_name(name) && name_matches_list(name, patterns))
            units.push_back({name, path});
    }
    return r == 0;
}

// 1: read (0 for none), 0: the unit went away since the listing, -1: no answer.
int timer_next_elapse(const timer_unit& unit, const bus_deadline& deadline, uint64_t& next_us)
{
    bus_reply call;
    if (!system_bus_call(call, deadline, systemd_service, unit.path.c_str(), "org.freedesktop.DBus.Properties", "Get",
                         "ss", timer_interface, "NextElapseUSecRealtime"))
        return sd_bus_error_has_name(&call.error, "org.freedesktop.DBus.Error.UnknownObject") ? 0 : -1;
    if (sd_bus_message_read(call.message, "v", "t", &next_us) < 0)
        return -1;
    if (next_us == elapse_none)
        next_us = 0;
    return 1;
}

}  // namespace

// A timer that counts only from boot or from its unit's activation
// (OnBootSec=, OnUnitActiveSec=, ...) has no realtime elapse: it reads as
// none here and so never sets a wake-up time, as it could not survive a
// power-off anyway.
timer_listing systemd_timers_read(std::string_view patterns, const bus_deadline& deadline)
{
    timer_listing listing;
    bool any_pattern = false;
    for_each_list_item(patterns, [&](std::string_view) { any_pattern = true; });
    std::vector<timer_unit> units;
    if (any_pattern && !timer_units_list(patterns, deadline, units))
        return listing;
    for (const timer_unit& unit : units) {
        uint64_t next_us = 0;
        const int got = timer_next_elapse(unit, deadline, next_us);
        if (got < 0) {
            listing.timers.clear();
            return listing;
        }
        if (got > 0)
            listing.timers.push_back({unit.name, next_us});
    }
    listing.answered = true;
    return listing;
}
