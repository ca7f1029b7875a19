/* The yardstick of bench/resources: the least a program can do to follow
 * the same counters. Once a second it opens /proc/net/dev and
 * /proc/diskstats, reads every line, takes each interface's bytes received
 * and sent and each disk's sectors read and written, and closes the files.
 * It prints nothing and keeps nothing between passes.
 *
 * Usage: minimal_reader [seconds]   (default: run until killed)
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

/* Sum of what was read, so that no reading can be left out as unused. */
static volatile unsigned long long checksum;

static void read_net_dev(void)
{
    FILE *in = fopen("/proc/net/dev", "r");
    char line[512];
    if (in == NULL)
        return;
    while (fgets(line, sizeof line, in) != NULL) {
        char *colon = strchr(line, ':');
        unsigned long long v[9];
        if (colon == NULL)
            continue;
        if (sscanf(colon + 1, "%llu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2], &v[3],
                   &v[4], &v[5], &v[6], &v[7], &v[8]) == 9)
            checksum += v[0] + v[8];
    }
    fclose(in);
}

static void read_diskstats(void)
{
    FILE *in = fopen("/proc/diskstats", "r");
    char line[512];
    if (in == NULL)
        return;
    while (fgets(line, sizeof line, in) != NULL) {
        unsigned major, minor;
        char name[64];
        unsigned long long v[7];
        if (sscanf(line, "%u %u %63s %llu %llu %llu %llu %llu %llu %llu", &major, &minor, name, &v[0], &v[1],
                   &v[2], &v[3], &v[4], &v[5], &v[6]) == 10)
            checksum += v[2] + v[6];
    }
    fclose(in);
}

int main(int argc, char **argv)
{
    const long seconds = argc > 1 ? atol(argv[1]) : -1;
    struct timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (long pass = 0; seconds < 0 || pass < seconds; pass++) {
        read_net_dev();
        read_diskstats();
        next.tv_sec++;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, NULL) != 0) {
        }
    }
    return 0;
}
