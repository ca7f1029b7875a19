/* Preload shim for end-to-end runs: sleep(n) lasts n times LW_SLEEP_MS
 * milliseconds (default 2) instead of n seconds. */
#define _GNU_SOURCE
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

unsigned int sleep(unsigned int seconds)
{
    const char *env = getenv("LW_SLEEP_MS");
    long ms = env ? atol(env) : 2;
    long long total = (long long)seconds * ms;
    struct timespec ts = { (time_t)(total / 1000), (long)(total % 1000) * 1000000L };
    while (nanosleep(&ts, &ts) != 0) {
    }
    return 0;
}
