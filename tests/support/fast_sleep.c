/* Preload shim for end-to-end runs: time passes LW_SLEEP_MS milliseconds
 * (default 2) per simulated second.
 *
 * sleep(n) lasts n times LW_SLEEP_MS milliseconds. A ppoll() that times out
 * lasts that scaled time too, but moves the monotonic and boot-time clocks
 * seen through clock_gettime() on by its whole timeout, so that a program
 * counting time on those clocks sees the time it waited for as passed. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

/* Nanoseconds added to the monotonic and boot-time clocks. */
static long long skipped_ns;

static long ms_per_second(void)
{
    const char *env = getenv("LW_SLEEP_MS");
    return env ? atol(env) : 2;
}

static long long raw_ns(clockid_t id)
{
    struct timespec ts;
    syscall(SYS_clock_gettime, id, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

unsigned int sleep(unsigned int seconds)
{
    long long total = (long long)seconds * ms_per_second();
    struct timespec ts = { (time_t)(total / 1000), (long)(total % 1000) * 1000000L };
    while (nanosleep(&ts, &ts) != 0) {
    }
    return 0;
}

int clock_gettime(clockid_t id, struct timespec *ts)
{
    long long ns = raw_ns(id);
    if (id == CLOCK_MONOTONIC || id == CLOCK_BOOTTIME)
        ns += __atomic_load_n(&skipped_ns, __ATOMIC_SEQ_CST);
    ts->tv_sec = (time_t)(ns / 1000000000LL);
    ts->tv_nsec = (long)(ns % 1000000000LL);
    return 0;
}

int ppoll(struct pollfd *fds, nfds_t n, const struct timespec *timeout, const sigset_t *mask)
{
    static int (*real_ppoll)(struct pollfd *, nfds_t, const struct timespec *, const sigset_t *);
    if (real_ppoll == NULL)
        real_ppoll = (int (*)(struct pollfd *, nfds_t, const struct timespec *, const sigset_t *))dlsym(RTLD_NEXT, "ppoll");
    if (timeout == NULL)
        return real_ppoll(fds, n, timeout, mask);
    const long long want = (long long)timeout->tv_sec * 1000000000LL + timeout->tv_nsec;
    const long long scaled = want / 1000 * ms_per_second();
    const struct timespec short_wait = { (time_t)(scaled / 1000000000LL), (long)(scaled % 1000000000LL) };
    const long long start = raw_ns(CLOCK_MONOTONIC);
    const int ready = real_ppoll(fds, n, &short_wait, mask);
    if (ready == 0) {
        /* Timed out: the whole timeout has passed, real time included. */
        const long long waited = raw_ns(CLOCK_MONOTONIC) - start;
        if (want > waited)
            __atomic_add_fetch(&skipped_ns, want - waited, __ATOMIC_SEQ_CST);
    }
    return ready;
}
