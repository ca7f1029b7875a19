#include "activity/logind.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <systemd/sd-bus.h>

#include "activity/source_report.h"
#include "activity/system_bus.h"
#include "base/messages.h"
#include "base/settings.h"

source_health session_health;
source_health inhibitor_health;

namespace {

constexpr const char* logind_service = "org.freedesktop.login1";
constexpr const char* logind_path = "/org/freedesktop/login1";
constexpr const char* logind_manager = "org.freedesktop.login1.Manager";
constexpr const char* logind_session = "org.freedesktop.login1.Session";


// Calls a method of logind without arguments or with one string.
bool bus_call_method(bus_reply& call, const bus_deadline& deadline, const char* path, const char* interface,
                     const char* method, const char* argument)
{
    return argument == nullptr
               ? system_bus_call(call, deadline, logind_service, path, interface, method, "")
               : system_bus_call(call, deadline, logind_service, path, interface, method, "s", argument);
}

// What a check needs of one session.
struct session_facts {
    std::string kind;  // Class
    std::string state;
    std::string tty;
    std::string remote_host;
    int idle = 0;
};

// Reads one string or boolean property that matters; skips the others.
int read_session_property(sd_bus_message* m, std::string_view key, session_facts& facts)
{
    std::string* text = key == "Class"        ? &facts.kind
                        : key == "State"      ? &facts.state
                        : key == "TTY"        ? &facts.tty
                        : key == "RemoteHost" ? &facts.remote_host
                                              : nullptr;
    if (text != nullptr) {
        const char* value = nullptr;
        const int r = sd_bus_message_read(m, "v", "s", &value);
        if (r >= 0 && value != nullptr)
            *text = value;
        return r;
    }
    if (key == "IdleHint")
        return sd_bus_message_read(m, "v", "b", &facts.idle);
    return sd_bus_message_skip(m, "v");
}

// Parses the a{sv} answer of Properties.GetAll.
bool read_session_facts(sd_bus_message* m, session_facts& facts)
{
    if (sd_bus_message_enter_container(m, 'a', "{sv}") < 0)
        return false;
    int r;
    while ((r = sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
        const char* key = nullptr;
        if (sd_bus_message_read(m, "s", &key) < 0 || read_session_property(m, key, facts) < 0 ||
            sd_bus_message_exit_container(m) < 0)
            return false;
    }
    return r == 0 && sd_bus_message_exit_container(m) >= 0;
}

// 1: facts read, 0: the session ended since the listing, -1: no answer.
int session_get(const bus_deadline& deadline, const char* path, session_facts& facts)
{
    bus_reply call;
    if (bus_call_method(call, deadline, path, "org.freedesktop.DBus.Properties", "GetAll", logind_session))
        return read_session_facts(call.message, facts) ? 1 : -1;
    const bool gone = sd_bus_error_has_name(&call.error, "org.freedesktop.DBus.Error.UnknownObject") ||
                      sd_bus_error_has_name(&call.error, "org.freedesktop.DBus.Error.UnknownMethod");
    return gone ? 0 : -1;
}

bool session_counts(const session_facts& facts)
{
    if (facts.kind != "user" || facts.state == "closing")
        return false;
    return settings.user_sessions != user_sessions_active || !facts.idle;
}

// Walks the sessions of ListSessions. Returns false when logind did not answer.
bool sessions_read(const bus_deadline& deadline, source_findings& found)
{
    bus_reply call;
    if (!bus_call_method(call, deadline, logind_path, logind_manager, "ListSessions", nullptr) ||
        sd_bus_message_enter_container(call.message, 'a', "(susso)") < 0)
        return false;
    const char *id, *user, *seat, *path;
    uint32_t uid;
    int r;
    while ((r = sd_bus_message_read(call.message, "(susso)", &id, &uid, &user, &seat, &path)) > 0) {
        session_facts facts;
        const int got = session_get(deadline, path, facts);
        if (got < 0)
            return false;
        if (got == 0 || !session_counts(facts))
            continue;
        const std::string& where = !facts.remote_host.empty() ? facts.remote_host
                                   : !facts.tty.empty()       ? facts.tty
                                                              : std::string(*seat ? seat : id);
        findings_add(found, std::string(user) + "@" + where);
    }
    return r == 0;
}

// True when a colon-separated What list names shutdown, sleep or idle.
bool inhibits_power_off(std::string_view what)
{
    bool found = false;
    std::size_t start = 0;
    while (start <= what.size() && !found) {
        std::size_t end = what.find(':', start);
        if (end == std::string_view::npos)
            end = what.size();
        const std::string_view item = what.substr(start, end - start);
        found = item == "shutdown" || item == "sleep" || item == "idle";
        start = end + 1;
    }
    return found;
}

bool inhibitors_read(const bus_deadline& deadline, source_findings& found)
{
    bus_reply call;
    if (!bus_call_method(call, deadline, logind_path, logind_manager, "ListInhibitors", nullptr) ||
        sd_bus_message_enter_container(call.message, 'a', "(ssssuu)") < 0)
        return false;
    const char *what, *who, *why, *mode;
    uint32_t uid, pid;
    int r;
    while ((r = sd_bus_message_read(call.message, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid)) > 0) {
        if (strcmp(mode, "block") == 0 && inhibits_power_off(what))
            findings_add(found, who, what);
    }
    return r == 0;
}

}  // namespace

void session_check(activity_check& check)
{
    if (settings.user_sessions == user_sessions_off)
        return;
    source_findings found;
    const bool answered = sessions_read(system_bus_deadline(), found);
    source_report(check, session_health, answered, found, tr("ログインセッション（systemd-logind）"), tr("(ログイン中)"),
                  "session");
}

void inhibitor_check(activity_check& check)
{
    if (settings.inhibitors == 0)
        return;
    source_findings found;
    const bool answered = inhibitors_read(system_bus_deadline(), found);
    source_report(check, inhibitor_health, answered, found, tr("抑止ロック（systemd-logind）"), tr("(抑止ロック)"),
                  "inhibitor");
}

void logind_reset()
{
    system_bus_reset();
    session_health = {};
    inhibitor_health = {};
}
