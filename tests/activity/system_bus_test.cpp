// A bus socket that accepts and never answers: a check ends at the
// deadline as a source that cannot answer, or at once on a stop request.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "activity/logind.h"
#include "activity/system_bus.h"
#include "base/settings.h"
#include "support/test_support.h"

TEST(SystemBus, AHungBusCostsOneDeadlineAndAStopEndsTheWait)
{
    reset_program_state();
    temp_dir dir;
    sockaddr_un address{AF_UNIX, {}};
    (dir.path + "/bus").copy(address.sun_path, sizeof address.sun_path - 1);
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 16), 0);  // connections wait in the backlog, unanswered
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + dir.path + "/bus").c_str(), 1);
    settings.user_sessions = user_sessions_any;
    const auto timed_check = [](activity_check& check) {
        const auto start = std::chrono::steady_clock::now();
        capture_stdout([&] { session_check(check); });
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    system_bus_deadline_ms = 300;
    for (int i = 0; i < 2; i++) {  // the second on a fresh connection
        activity_check check;
        const double seconds = timed_check(check);
        EXPECT_TRUE(seconds >= 0.25 && seconds < 1.5 && reason_tokens(check.reasons) == std::vector<std::string>{"session:error"})
            << seconds;
    }
    system_bus_deadline_ms = system_bus_deadline_ms_default;
    stop_wake_open();
    std::thread stopper([] { usleep(200000); stop_request(SIGTERM); });
    activity_check check;
    EXPECT_LT(timed_check(check), 1.0);
    EXPECT_TRUE(check.reasons.empty());  // a stop is no failure of the bus
    stopper.join();
    close(listener);
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    stop_reset();
    reset_program_state();
}
