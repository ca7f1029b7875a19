#include "support/private_bus.h"

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

bool private_logind::available()
{
    return access("/usr/bin/dbus-daemon", X_OK) == 0 &&
           system("/usr/bin/python3 -c 'import dbusmock' 2>/dev/null") == 0;
}

private_logind::private_logind() : address_("unix:path=" + dir_.path + "/bus")
{
    dir_.write("bus.conf", "<busconfig><type>session</type><listen>" + address_ +
                               "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow eavesdrop=\"true\"/>"
                               "<allow send_destination=\"*\"/><allow own=\"*\"/></policy></busconfig>");
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
}

private_logind::~private_logind()
{
    down();
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

bool private_logind::up()
{
    daemon_ = start({"/usr/bin/dbus-daemon", "--nofork", "--config-file=" + dir_.path + "/bus.conf"}, address_);
    mock_ = start({"/usr/bin/python3", "-m", "dbusmock", "--template", "logind"}, address_);
    for (int i = 0; i < 200 && !logind_owned(); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return logind_owned();
}

void private_logind::down()
{
    bus_ = sd_bus_flush_close_unref(bus_);
    stop(mock_);
    stop(daemon_);
    unlink((dir_.path + "/bus").c_str());
}

bool private_logind::logind_owned()
{
    if (bus_ == nullptr && (sd_bus_new(&bus_) < 0 || sd_bus_set_address(bus_, address_.c_str()) < 0 ||
                            sd_bus_set_bus_client(bus_, 1) < 0 || sd_bus_start(bus_) < 0))
        bus_ = sd_bus_flush_close_unref(bus_);
    sd_bus_message* reply = nullptr;
    int owned = 0;
    if (bus_ != nullptr && sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                              "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                                              login1) >= 0)
        (void)sd_bus_message_read(reply, "b", &owned);
    sd_bus_message_unref(reply);
    return owned != 0;
}

std::string private_logind::session_path(const char* id)
{
    return std::string(manager_path) + "/session/" + id;
}

bool private_logind::add_session(const char* id, const char* user)
{
    return sd_bus_call_method(bus_, login1, manager_path, "org.freedesktop.DBus.Mock", "AddSession", nullptr,
                              nullptr, "ssusb", id, "seat0", 1000u, user, 1) >= 0;
}

bool private_logind::remove_session(const char* id)
{
    return sd_bus_call_method(bus_, login1, manager_path, "org.freedesktop.DBus.Mock", "RemoveObject", nullptr,
                              nullptr, "s", session_path(id).c_str()) >= 0;
}

int private_logind::inhibit(const char* what, const char* who, const char* mode)
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
