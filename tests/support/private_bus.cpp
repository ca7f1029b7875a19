#include "support/private_bus.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* manager_path = "/org/freedesktop/login1";

pid_t start(const std::vector<std::string>& args, const std::string& address)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void stop(pid_t& pid)
{
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    pid = -1;
}

}  // namespace

bool private_bus::available()
{
    return access("/usr/bin/dbus-daemon", X_OK) == 0 &&
           system("/usr/bin/python3 -c 'import dbusmock' 2>/dev/null") == 0;
}

private_bus::private_bus(unsigned templates) : templates_(templates), address_("unix:path=" + dir_.path + "/bus")
{
    dir_.write("bus.conf", "<busconfig><type>session</type><listen>" + address_ +
                               "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow eavesdrop=\"true\"/>"
                               "<allow send_destination=\"*\"/><allow own=\"*\"/></policy></busconfig>");
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
}

private_bus::~private_bus()
{
    down();
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

bool private_bus::up()
{
    daemon_ = start({"/usr/bin/dbus-daemon", "--nofork", "--config-file=" + dir_.path + "/bus.conf"}, address_);
    if (templates_ & mock_logind)
        mocks_.push_back(start({"/usr/bin/python3", "-m", "dbusmock", "--template", "logind"}, address_));
    if (templates_ & mock_systemd)
        mocks_.push_back(start({"/usr/bin/python3", "-m", "dbusmock", "--template", "systemd"}, address_));
    const auto all_owned = [this] {
        return (!(templates_ & mock_logind) || owned(login1)) && (!(templates_ & mock_systemd) || owned(systemd1));
    };
    for (int i = 0; i < 200 && !all_owned(); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return all_owned();
}

void private_bus::down()
{
    bus_ = sd_bus_flush_close_unref(bus_);
    for (pid_t& mock : mocks_)
        stop(mock);
    mocks_.clear();
    stop(daemon_);
    unlink((dir_.path + "/bus").c_str());
}

bool private_bus::owned(const char* name)
{
    if (bus_ == nullptr && (sd_bus_new(&bus_) < 0 || sd_bus_set_address(bus_, address_.c_str()) < 0 ||
                            sd_bus_set_bus_client(bus_, 1) < 0 || sd_bus_start(bus_) < 0))
        bus_ = sd_bus_flush_close_unref(bus_);
    sd_bus_message* reply = nullptr;
    int owned = 0;
    if (bus_ != nullptr && sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                              "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                                              name) >= 0)
        (void)sd_bus_message_read(reply, "b", &owned);
    sd_bus_message_unref(reply);
    return owned != 0;
}

// The template lists no units: ListUnitsByPatterns lists every object with
// a Timer interface as a loaded unit named by its Id (a property that only
// this mock puts there), whatever the patterns.
bool private_bus::add_timer(const char* name, uint64_t next_realtime)
{
    static const char* listing = "ret = [(o.props[t]['Id'], '', 'loaded', 'active', 'waiting', '', p, 0, '', '/') "
                                 "for t in ['org.freedesktop.systemd1.Timer'] for p, o in objects.items() "
                                 "if t in o.props]";
    std::string path = std::string("/org/freedesktop/systemd1/unit/") + name;
    std::replace_if(path.begin(), path.end(), [](char c) { return c == '.' || c == '-'; }, '_');
    const char* manager = "/org/freedesktop/systemd1";
    return sd_bus_call_method(bus_, systemd1, manager, "org.freedesktop.DBus.Mock", "AddMethod", nullptr, nullptr,
                              "sssss", "org.freedesktop.systemd1.Manager", "ListUnitsByPatterns", "asas",
                              "a(ssssssouso)", listing) >= 0 &&
           sd_bus_call_method(bus_, systemd1, manager, "org.freedesktop.DBus.Mock", "AddObject", nullptr, nullptr,
                              "ssa{sv}a(ssss)", path.c_str(), "org.freedesktop.systemd1.Timer", 2, "Id", "s", name,
                              "NextElapseUSecRealtime", "t", next_realtime, 0) >= 0;
}

std::string private_bus::session_path(const char* id)
{
    return std::string(manager_path) + "/session/" + id;
}

bool private_bus::add_session(const char* id, const char* user)
{
    return sd_bus_call_method(bus_, login1, manager_path, "org.freedesktop.DBus.Mock", "AddSession", nullptr,
                              nullptr, "ssusb", id, "seat0", 1000u, user, 1) >= 0;
}

bool private_bus::remove_session(const char* id)
{
    return sd_bus_call_method(bus_, login1, manager_path, "org.freedesktop.DBus.Mock", "RemoveObject", nullptr,
                              nullptr, "s", session_path(id).c_str()) >= 0;
}

int private_bus::inhibit(const char* what, const char* who, const char* mode)
{
    sd_bus_message* reply = nullptr;
    int fd = -1;
    if (sd_bus_call_method(bus_, login1, manager_path, "org.freedesktop.login1.Manager", "Inhibit", nullptr, &reply,
                           "ssss", what, who, "test", mode) >= 0 &&
        sd_bus_message_read(reply, "h", &fd) >= 0)
        fd = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    sd_bus_message_unref(reply);
    return fd;
}
