#include "base/stop.h"

#include <atomic>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Written by the signal handler.
std::atomic<int> stop_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "written by a signal handler");

// A stop request writes a byte here, so that a wait that had not yet begun
// when the signal came ends at once all the same.
int wake_pipe[2] = {-1, -1};

}  // namespace

int stop_signal_received()
{
    return stop_signal.load();
}

void stop_request(int signo)
{
    int none = 0;
    (void)stop_signal.compare_exchange_strong(none, signo);
    if (wake_pipe[1] >= 0 && write(wake_pipe[1], "", 1) < 0) {
        // Full: a wake-up is already waiting.
    }
}

int stop_wake_fd()
{
    return wake_pipe[0];
}

void stop_wake_open()
{
    if (wake_pipe[0] < 0 && pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        wake_pipe[0] = wake_pipe[1] = -1;
}

void stop_reset()
{
    stop_signal.store(0);
    char drained[64];
    while (wake_pipe[0] >= 0 && read(wake_pipe[0], drained, sizeof drained) > 0) {
    }
}
