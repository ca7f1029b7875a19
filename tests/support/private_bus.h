// A private system bus for tests: a dbus-daemon of the test's own with
// python-dbusmock's logind template on it, found through
// DBUS_SYSTEM_BUS_ADDRESS as the program would find the real one.
#pragma once

#include <string>
#include <sys/types.h>
#include <systemd/sd-bus.h>

#include "support/test_support.h"

class private_logind {
public:
    // False when dbus-daemon or python3-dbusmock is not installed.
    static bool available();

    // Writes the bus configuration and sets DBUS_SYSTEM_BUS_ADDRESS.
    private_logind();
    // Stops both and unsets DBUS_SYSTEM_BUS_ADDRESS.
    ~private_logind();
    private_logind(const private_logind&) = delete;
    private_logind& operator=(const private_logind&) = delete;

    // Starts the bus and the mock; true once logind's name is owned.
    bool up();
    // Stops the mock and the bus.
    void down();

    // A session of class "user" on seat0 (uid 1000), removed again by
    // remove_session; properties set by name ("TTY", "IdleHint", ...).
    bool add_session(const char* id, const char* user);
    bool remove_session(const char* id);
    template <typename T>
    bool set_session(const char* id, const char* key, const char* type, T value)
    {
        const std::string path = session_path(id);
        return sd_bus_call_method(bus_, login1, path.c_str(), "org.freedesktop.DBus.Properties", "Set", nullptr,
                                  nullptr, "ssv", "org.freedesktop.login1.Session", key, type, value) >= 0;
    }
    // Takes a lock; it holds until the returned descriptor is closed.
    int inhibit(const char* what, const char* who, const char* mode);

    const std::string& address() const { return address_; }

private:
    static constexpr const char* login1 = "org.freedesktop.login1";
    static std::string session_path(const char* id);
    bool logind_owned();

    temp_dir dir_;
    std::string address_;
    pid_t daemon_ = -1;
    pid_t mock_ = -1;
    sd_bus* bus_ = nullptr;  // the test's own connection, for the mock's controls
};
