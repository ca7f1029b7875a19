#include "activity/logind.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <systemd/sd-bus.h>

#include "activity/source_report.h"
#include "base/settings.h"

source_health session_health;
source_health inhibitor_health;

namespace {

constexpr const char* logind_service = "org.freedesktop.login1";
constexpr const char* logind_path = "/org/freedesktop/login1";
constexpr const char* logind_manager = "org.freedesktop.login1.Manager";
constexpr const char* logind_session = "org.freedesktop.login1.Session";
// A check waits at most this long for one answer of logind.
constexpr uint64_t logind_timeout_us = 5000000;

sd_bus* logind_bus = nullptr;

void bus_close()
{
    logind_bus = sd_bus_flush_close_unref(logind_bus);
}

bool bus_open()
{
    if (logind_bus != nullptr && sd_bus_is_open(logind_bus) > 0)
        return true;
    bus_close();
    if (sd_bus_open_system(&logind_bus) < 0) {
        logind_bus = nullptr;
        return false;
    }
    (void)sd_bus_set_method_call_timeout(logind_bus, logind_timeout_us);
    return true;
}

// Owns one message and one error of a call.
struct bus_call {
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    bus_call() = default;
    bus_call(const bus_call&) = delete;
    bus_call& operator=(const bus_call&) = delete;
    ~bus_call()
    {
        sd_bus_message_unref(reply);
        sd_bus_error_free(&error);
    }
};

// Calls a method without arguments or with one string. A connection that
// has broken since the last check is opened again once.
bool bus_call_method(bus_call& call, const char* path, const char* interface, const char* method,
                     const char* argument)
{
    for (int attempt = 0; attempt < 2; attempt++) {
        if (!bus_open())
            return false;
        sd_bus_error_free(&call.error);
        call.reply = sd_bus_message_unref(call.reply);
        const int r = argument == nullptr
            ? sd_bus_call_method(logind_bus, logind_service, path, interface, method, &call.error,
                                 &call.reply, "")
            : sd_bus_call_method(logind_bus, logind_service, path, interface, method, &call.error,
                                 &call.reply, "s", argument);
        if (r >= 0)
            return true;
        if (sd_bus_is_open(logind_bus) > 0)
            return false;  // an answer, only not the one asked for
        bus_close();
    }
    return false;
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
int session_get(const char* path, session_facts& facts)
{
    bus_call call;
    if (bus_call_method(call, path, "org.freedesktop.DBus.Properties", "GetAll", logind_session))
        return read_session_facts(call.reply, facts) ? 1 : -1;
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
bool sessions_read(source_findings& found)
{
    bus_call call;
    if (!bus_call_method(call, logind_path, logind_manager, "ListSessions", nullptr) ||
        sd_bus_message_enter_container(call.reply, 'a', "(susso)") < 0)
        return false;
    const char *id, *user, *seat, *path;
    uint32_t uid;
    int r;
    while ((r = sd_bus_message_read(call.reply, "(susso)", &id, &uid, &user, &seat, &path)) > 0) {
        session_facts facts;
        const int got = session_get(path, facts);
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

bool inhibitors_read(source_findings& found)
{
    bus_call call;
    if (!bus_call_method(call, logind_path, logind_manager, "ListInhibitors", nullptr) ||
        sd_bus_message_enter_container(call.reply, 'a', "(ssssuu)") < 0)
        return false;
    const char *what, *who, *why, *mode;
    uint32_t uid, pid;
    int r;
    while ((r = sd_bus_message_read(call.reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid)) > 0) {
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
    const bool answered = sessions_read(found);
    source_report(check, session_health, answered, found, "ログインセッション（systemd-logind）", "(ログイン中)",
                  "session");
}

void inhibitor_check(activity_check& check)
{
    if (settings.inhibitors == 0)
        return;
    source_findings found;
    const bool answered = inhibitors_read(found);
    source_report(check, inhibitor_health, answered, found, "抑止ロック（systemd-logind）", "(抑止ロック)", "inhibitor");
}

void logind_reset()
{
    bus_close();
    session_health = {};
    inhibitor_health = {};
}
