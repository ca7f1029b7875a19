// The kernel's process events (the netlink process connector): which
// processes forked, ran a new program, were renamed or ended since the
// last read. Only root in the first network namespace receives them.
#pragma once

#include <set>
#include <sys/types.h>

// A non-blocking socket that receives the events, or -1 when the kernel
// refuses them (not root, another namespace, no connector).
int process_events_open();

// Adds to touched every process (thread group) whose name or program may
// have changed, appeared or ended according to the events read from fd.
// 1: all events read; 0: the kernel dropped some (its queue was full), so
// any process may have changed; -1: the socket failed.
int process_events_read(int fd, std::set<pid_t>& touched);
