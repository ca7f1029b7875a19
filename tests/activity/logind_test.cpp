// Sessions and inhibitor locks against a private system bus with a mock
// logind on it.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

#include "activity/logind.h"
#include "base/settings.h"
#include "support/private_bus.h"
#include "support/test_support.h"

namespace {

class Logind : public ::testing::Test {
protected:
    std::unique_ptr<private_bus> logind;

    void SetUp() override
    {
        if (!private_bus::available())
            GTEST_SKIP() << "dbus-daemon or python3-dbusmock is not installed";
        reset_program_state();
        logind = std::make_unique<private_bus>();
        bus_up();
    }
    void TearDown() override
    {
        logind.reset();
        reset_program_state();
    }
    void bus_up() { ASSERT_TRUE(logind->up()); }
    void bus_down() { logind->down(); }
    void add_session(const char* id, const char* user) { ASSERT_TRUE(logind->add_session(id, user)); }
    template <typename T>
    void set_session(const char* id, const char* key, const char* type, T value)
    {
        ASSERT_TRUE(logind->set_session(id, key, type, value));
    }
    int inhibit(const char* what, const char* who, const char* mode) { return logind->inhibit(what, who, mode); }
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
    EXPECT_EQ(reason_tokens(c.check.reasons), std::vector<std::string>{"session:alice@seat0"});
    EXPECT_EQ(c.output, "");

    // Terminal, then remote host, named at level 2.
    settings.disp_level = 2;
    set_session("c1", "TTY", "s", "pts/3");
    EXPECT_EQ(run(session_check).check.message, "(ログイン中:alice@pts/3)");
    set_session("c1", "RemoteHost", "s", "192.0.2.7");
    EXPECT_EQ(reason_tokens(run(session_check).check.reasons), std::vector<std::string>{"session:alice@192.0.2.7"});

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
    EXPECT_EQ(reason_tokens(c.check.reasons), std::vector<std::string>{"inhibitor:backup:shutdown:sleep"});
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
        EXPECT_EQ(reason_tokens(c.check.reasons), std::vector<std::string>{"session:error"});
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
