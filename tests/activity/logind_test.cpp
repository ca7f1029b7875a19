// Sessions and inhibitor locks against a private system bus: a dbus-daemon
// of the test's own with python-dbusmock's logind template on it, found
// through DBUS_SYSTEM_BUS_ADDRESS as the program would find the real one.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <thread>
#include <unistd.h>

#include "activity/logind.h"
#include "base/settings.h"
#include "support/test_support.h"

namespace {

constexpr const char* login1 = "org.freedesktop.login1";
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

class Logind : public ::testing::Test {
protected:
    temp_dir dir;
    std::string address = "unix:path=" + dir.path + "/bus";
    pid_t daemon = -1, mock = -1;
    sd_bus* bus = nullptr;  // the test's own connection, for the mock's controls

    void SetUp() override
    {
        if (access("/usr/bin/dbus-daemon", X_OK) != 0 ||
            system("/usr/bin/python3 -c 'import dbusmock' 2>/dev/null") != 0)
            GTEST_SKIP() << "dbus-daemon or python3-dbusmock is not installed";
        reset_program_state();
        dir.write("bus.conf", "<busconfig><type>session</type><listen>" + address +
                                  "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow eavesdrop=\"true\"/>"
                                  "<allow send_destination=\"*\"/><allow own=\"*\"/></policy></busconfig>");
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
        bus_up();
    }
    void TearDown() override
    {
        bus_down();
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        reset_program_state();
    }
    void bus_up()
    {
        daemon = start({"/usr/bin/dbus-daemon", "--nofork", "--config-file=" + dir.path + "/bus.conf"}, address);
        mock = start({"/usr/bin/python3", "-m", "dbusmock", "--template", "logind"}, address);
        for (int i = 0; i < 200 && !logind_owned(); i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(logind_owned());
    }
    void bus_down()
    {
        bus = sd_bus_flush_close_unref(bus);
        stop(mock);
        stop(daemon);
        unlink((dir.path + "/bus").c_str());
    }
    bool logind_owned()
    {
        if (bus == nullptr && (sd_bus_new(&bus) < 0 || sd_bus_set_address(bus, address.c_str()) < 0 ||
                               sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0))
            bus = sd_bus_flush_close_unref(bus);
        sd_bus_message* reply = nullptr;
        int owned = 0;
        if (bus != nullptr && sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                 "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                                                 login1) >= 0)
            (void)sd_bus_message_read(reply, "b", &owned);
        sd_bus_message_unref(reply);
        return owned != 0;
    }
    void add_session(const char* id, const char* user)
    {
        ASSERT_GE(sd_bus_call_method(bus, login1, manager_path, "org.freedesktop.DBus.Mock", "AddSession",
                                     nullptr, nullptr, "ssusb", id, "seat0", 1000u, user, 1), 0);
    }
    template <typename T>
    void set_session(const char* id, const char* key, const char* type, T value)
    {
        const std::string path = std::string(manager_path) + "/session/" + id;
        ASSERT_GE(sd_bus_call_method(bus, login1, path.c_str(), "org.freedesktop.DBus.Properties", "Set",
                                     nullptr, nullptr, "ssv", "org.freedesktop.login1.Session", key, type,
                                     value), 0);
    }
    // Takes a lock; it holds until the returned descriptor is closed.
    int inhibit(const char* what, const char* who, const char* mode)
    {
        sd_bus_message* reply = nullptr;
        int fd = -1;
        if (sd_bus_call_method(bus, login1, manager_path, "org.freedesktop.login1.Manager", "Inhibit", nullptr,
                               &reply, "ssss", what, who, "test", mode) >= 0 &&
            sd_bus_message_read(reply, "h", &fd) >= 0)
            fd = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        sd_bus_message_unref(reply);
        return fd;
    }
};

struct checked {
    activity_check check;
    std::string output;
};

checked run(void (*source)(activity_check&))
{
    checked c;
    c.output = capture_stdout([&] { source(c.check); });
    return c;
}

TEST_F(Logind, SessionsOfClassUserCountAsTheModeSays)
{
    settings.user_sessions = user_sessions_any;
    EXPECT_FALSE(run(session_check).check.busy);
    add_session("c1", "alice");
    auto c = run(session_check);
    EXPECT_TRUE(c.check.busy);
    EXPECT_EQ(c.check.message, "(ログイン中)");
    EXPECT_EQ(c.check.reasons, std::vector<std::string>{"session:alice@seat0"});
    EXPECT_EQ(c.output, "");

    // Terminal, then remote host, named at level 2.
    settings.disp_level = 2;
    set_session("c1", "TTY", "s", "pts/3");
    EXPECT_EQ(run(session_check).check.message, "(ログイン中:alice@pts/3)");
    set_session("c1", "RemoteHost", "s", "192.0.2.7");
    EXPECT_EQ(run(session_check).check.reasons, std::vector<std::string>{"session:alice@192.0.2.7"});

    // An idle session counts only for "any"; a closing one and another
    // class never.
    set_session("c1", "IdleHint", "b", 1);
    EXPECT_TRUE(run(session_check).check.busy);
    settings.user_sessions = user_sessions_active;
    EXPECT_FALSE(run(session_check).check.busy);
    settings.user_sessions = user_sessions_any;
    set_session("c1", "State", "s", "closing");
    EXPECT_FALSE(run(session_check).check.busy);
    set_session("c1", "State", "s", "active");
    set_session("c1", "Class", "s", "greeter");
    EXPECT_FALSE(run(session_check).check.busy);
}

TEST_F(Logind, InhibitorLocksThatBlockPowerOff)
{
    settings.inhibitors = 1;
    const int delay = inhibit("sleep", "player", "delay");
    const int keys = inhibit("handle-power-key", "desktop", "block");
    EXPECT_FALSE(run(inhibitor_check).check.busy);
    const int backup = inhibit("shutdown:sleep", "backup", "block");
    ASSERT_GE(backup, 0);
    auto c = run(inhibitor_check);
    EXPECT_TRUE(c.check.busy);
    EXPECT_EQ(c.check.message, "(抑止ロック)");
    EXPECT_EQ(c.check.reasons, std::vector<std::string>{"inhibitor:backup:shutdown:sleep"});
    // Released: the mock drops it once it sees the descriptor closed.
    close(backup);
    bool busy = true;
    for (int i = 0; i < 100 && busy; i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        busy = run(inhibitor_check).check.busy;
    }
    EXPECT_FALSE(busy);
    close(delay);
    close(keys);
}

TEST_F(Logind, BusGoingAwayKeepsTheMachineOnWithOneWarning)
{
    settings.user_sessions = user_sessions_any;
    settings.inhibitors = 1;
    EXPECT_FALSE(run(session_check).check.busy);
    bus_down();
    for (int i = 0; i < 2; i++) {
        auto c = run(session_check);
        EXPECT_TRUE(c.check.busy);
        EXPECT_EQ(c.check.message, "(確認不可)");
        EXPECT_EQ(c.check.reasons, std::vector<std::string>{"session:error"});
        EXPECT_EQ(c.output, i == 0 ? "警告：ログインセッション（systemd-logind）を確認できません。確認できるまで使用中とみなします。\n" : "");
    }
    EXPECT_EQ(run(inhibitor_check).output,
              "警告：抑止ロック（systemd-logind）を確認できません。確認できるまで使用中とみなします。\n");

    bus_up();
    auto back = run(session_check);
    EXPECT_FALSE(back.check.busy);
    EXPECT_EQ(back.output, "回復：ログインセッション（systemd-logind）を再び確認できます。\n");
    add_session("c2", "bob");
    back = run(session_check);
    EXPECT_TRUE(back.check.busy);
    EXPECT_EQ(back.output, "");
}

}  // namespace
