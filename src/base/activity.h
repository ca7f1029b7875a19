// What one check found: the texts naming what made the period busy, the
// busy verdict, one structured reason per thing that kept the machine on,
// and the counters' growth in the period. Reasons become text only where
// they are printed or written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One thing that kept the machine on. As a token: "KIND:SUBJECT", then
// ":DETAIL" when there is a detail, then ":AMOUNT" for a counted reason
// ("net:eth0:rx:3565158", "session:alice@seat0", "port:22:192.0.2.7").
struct reason {
    const char* kind;     // the source: "input", "net", "session", ...
    std::string subject;  // what: a device, an interface, a user, a port, "error"
    std::string detail;   // more about it (a direction, a peer); may be empty
    uint64_t amount = 0;  // counted reasons: the growth, in the source's unit
    bool counted = false;

    reason(const char* kind_, std::string subject_, std::string detail_ = {})
        : kind(kind_), subject(std::move(subject_)), detail(std::move(detail_))
    {
    }
    // A counted reason: a counter's growth over its threshold.
    reason(const char* kind_, std::string subject_, std::string detail_, uint64_t amount_)
        : kind(kind_), subject(std::move(subject_)), detail(std::move(detail_)), amount(amount_), counted(true)
    {
    }
};

// One counter's growth in the check period, beside the threshold it is
// compared with (0: that direction is not watched).
struct growth_item {
    const char* kind;       // "net" or "disk"
    std::string_view name;  // interface or disk name, as read: the record's own, which lives as long as the record
    const char* direction;  // "rx", "tx", "read" or "write"
    const char* unit;       // "bytes" or "kilobytes"
    int side;               // 0: received or read, 1: sent or written
    uint64_t growth;
    uint64_t threshold;
};

// The next wake-up, as the alarm source planned it at a check: the earliest
// time that a timer, ALARM_AT= or the query names, and the moment the RTC
// alarm is set to, that long before it (ALARM_LEAD=).
struct wake_plan {
    bool made = false;     // planned at this check
    int64_t earliest = 0;  // Unix seconds; 0: no time
    int64_t moment = 0;    // earliest less the lead; 0: no time
    std::string source;    // the timer's name, "at" or "query"
};

struct activity_check {
    std::string message;
    bool busy = false;
    std::vector<reason> reasons;
    std::vector<growth_item> growth;
    bool growth_wanted = false;  // whether the counters add their growth (the metrics or calibration use it)
    wake_plan wake;
};

// Appends text to the message unless the message already holds it.
void activity_append_once(activity_check& check, const char* text);

// Records one reason (kept in the order the sources report them).
void activity_add_reason(activity_check& check, reason r);

// The reason as a token, unescaped.
std::string reason_token(const reason& r);
// Every reason of check as a token, in order.
std::vector<std::string> reason_tokens(const std::vector<reason>& reasons);
