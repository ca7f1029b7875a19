#include "activity/process_events.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <linux/cn_proc.h>
#include <linux/connector.h>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Room for the events of a busy minute between checks (each takes about
// 1 KiB of queue); a fuller queue drops events and costs one whole read of
// /proc.
constexpr int queue_bytes = 8 << 20;

// One event as the kernel sends it, copied out of the message (its place
// there is not aligned for the event's 64-bit field). The event's size
// grows with kernel versions: size tells how much of it was sent.
bool event_of(const nlmsghdr* h, proc_event& event, std::size_t& size)
{
    if (h->nlmsg_len < NLMSG_LENGTH(sizeof(cn_msg)))
        return false;
    const auto* msg = static_cast<const cn_msg*>(NLMSG_DATA(h));
    size = msg->len;
    if (msg->id.idx != CN_IDX_PROC || msg->id.val != CN_VAL_PROC || h->nlmsg_len < NLMSG_LENGTH(sizeof(cn_msg) + size) ||
        size < offsetof(proc_event, event_data))
        return false;
    event = {};
    memcpy(&event, msg->data, std::min(size, sizeof event));
    return true;
}

constexpr std::size_t event_size(std::size_t data_size)
{
    return offsetof(proc_event, event_data) + data_size;
}

void note_event(const nlmsghdr* h, std::set<pid_t>& touched)
{
    proc_event e;
    std::size_t size = 0;
    if (!event_of(h, e, size))
        return;
    const auto& data = e.event_data;
    switch (e.what) {
    case proc_event::PROC_EVENT_FORK:
        // A new thread changes nothing; a new process is read.
        if (size >= event_size(sizeof data.fork) && data.fork.child_pid == data.fork.child_tgid)
            touched.insert(data.fork.child_tgid);
        break;
    case proc_event::PROC_EVENT_EXEC:
        if (size >= event_size(sizeof data.exec))
            touched.insert(data.exec.process_tgid);
        break;
    case proc_event::PROC_EVENT_COMM:
        // A thread's own name is not the process's name.
        if (size >= event_size(sizeof data.comm) && data.comm.process_pid == data.comm.process_tgid)
            touched.insert(data.comm.process_tgid);
        break;
    case proc_event::PROC_EVENT_EXIT:
        // Any thread: the last one to end may not be the first.
        if (size >= event_size(sizeof data.exit))
            touched.insert(data.exit.process_tgid);
        break;
    default:
        break;
    }
}

// Asks for every event and reads the kernel's answer, which it queues
// before send() returns. Events ahead of it are older than any later read
// of /proc and are dropped.
bool subscribe(int fd)
{
    const proc_cn_mcast_op op = PROC_CN_MCAST_LISTEN;
    cn_msg msg{};
    msg.id = {CN_IDX_PROC, CN_VAL_PROC};
    msg.len = sizeof op;
    nlmsghdr header{};
    header.nlmsg_len = NLMSG_LENGTH(sizeof msg + sizeof op);
    header.nlmsg_type = NLMSG_DONE;
    alignas(nlmsghdr) char request[NLMSG_LENGTH(sizeof msg + sizeof op)] = {};
    memcpy(request, &header, sizeof header);
    memcpy(request + NLMSG_HDRLEN, &msg, sizeof msg);
    memcpy(request + NLMSG_HDRLEN + sizeof msg, &op, sizeof op);
    if (send(fd, request, sizeof request, 0) != static_cast<ssize_t>(sizeof request))
        return false;
    alignas(nlmsghdr) char buffer[1024];
    for (;;) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == ENOBUFS)
            continue;
        if (n <= 0)
            return false;  // no answer: nothing will come
        const auto* h = reinterpret_cast<const nlmsghdr*>(buffer);
        proc_event e;
        std::size_t size = 0;
        if (!NLMSG_OK(h, n) || !event_of(h, e, size) || size < event_size(sizeof e.event_data.ack))
            continue;
        if (e.what == proc_event::PROC_EVENT_NONE)
            return e.event_data.ack.err == 0;
    }
}

}  // namespace

int process_events_open()
{
    const int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_CONNECTOR);
    if (fd < 0)
        return -1;
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &queue_bytes, sizeof queue_bytes) != 0)
        (void)setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &queue_bytes, sizeof queue_bytes);
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = CN_IDX_PROC;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || !subscribe(fd)) {
        (void)close(fd);
        return -1;
    }
    return fd;
}

int process_events_read(int fd, std::set<pid_t>& touched)
{
    int result = 1;
    alignas(nlmsghdr) char buffer[4096];
    for (;;) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == ENOBUFS) {
            result = 0;  // the queue overflowed; what is queued still counts
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return result;
        if (n <= 0)
            return -1;
        for (auto* h = reinterpret_cast<const nlmsghdr*>(buffer); NLMSG_OK(h, n); h = NLMSG_NEXT(h, n))
            note_event(h, touched);
    }
}
