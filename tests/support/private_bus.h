// A private system bus for tests: a dbus-daemon of the test's own with
// python-dbusmock's logind template, systemd template or both on it, found
// through DBUS_SYSTEM_BUS_ADDRESS as the program would find the real one.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>
#include <systemd/sd-bus.h>

#include "support/test_support.h"

// The mocks a private bus carries.
enum mock_templates : unsigned { mock_logind = 1, mock_systemd = 2 };

class private_bus {
public:
    // False when dbus-daemon or python3-dbusmock is not installed.
    static bool available();

    // Writes the bus configuration and sets DBUS_SYSTEM_BUS_ADDRESS.
    explicit private_bus(unsigned templates = mock_logind);
    // Stops everything and unsets DBUS_SYSTEM_BUS_ADDRESS.
    ~private_bus();
    private_bus(const private_bus&) = delete;
    private_bus& operator=(const private_bus&) = delete;

    // Starts the bus and the mocks; true once each mock's name is owned.
    bool up();
    // Stops the mocks and the bus.
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

    // A loaded timer unit (systemd) whose Timer interface gives next_realtime
    // as NextElapseUSecRealtime.
    bool add_timer(const char* name, uint64_t next_realtime);

    const std::string& address() const { return address_; }

private:
    static constexpr const char* login1 = "org.freedesktop.login1";
    static constexpr const char* systemd1 = "org.freedesktop.systemd1";
    static std::string session_path(const char* id);
    bool owned(const char* name);

    temp_dir dir_;
    unsigned templates_;
    std::string address_;
    pid_t daemon_ = -1;
    std::vector<pid_t> mocks_;
    sd_bus* bus_ = nullptr;  // the test's own connection, for the mock's controls
};
