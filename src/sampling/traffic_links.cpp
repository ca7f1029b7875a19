#include "sampling/traffic_links.h"

#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <string>
#include <utility>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_map>

namespace {

// The up state of each interface met, by name.
std::unordered_map<std::string, bool> link_up;

// A socket subscribed to link events, opened at first use; -1 without one,
// and then every interface is asked again each pass.
int link_events = -2;

int open_link_events()
{
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    sockaddr_nl addr{};
    addr.nl_family = AF_NETLINK;
    addr.nl_groups = RTMGRP_LINK;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Applies one link message's body (ifinfomsg and attributes).
void apply_link(uint16_t type, const char* body, std::size_t size)
{
    ifinfomsg info;
    if (size < sizeof info)
        return;
    memcpy(&info, body, sizeof info);
    for (std::size_t at = NLMSG_ALIGN(sizeof info); at < size && size - at >= sizeof(rtattr);) {
        rtattr attr;
        memcpy(&attr, body + at, sizeof attr);
        if (attr.rta_len < sizeof attr || attr.rta_len > size - at)
            return;
        if (attr.rta_type == IFLA_IFNAME) {
            std::string_view name(body + at + RTA_LENGTH(0), attr.rta_len - RTA_LENGTH(0));
            name = name.substr(0, name.find('\0'));
            if (type == RTM_DELLINK)
                link_up.erase(std::string(name));
            else
                link_up[std::string(name)] = (info.ifi_flags & IFF_UP) != 0;
            return;
        }
        at += RTA_ALIGN(attr.rta_len);
    }
}

}  // namespace

bool interface_flags_up(const char* name)
{
    // One datagram socket for the life of the process serves every query.
    static const int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    if (probe < 0 || strlen(name) >= sizeof request.ifr_name)
        return true;  // no way to ask: watching it is the safer side
    memcpy(request.ifr_name, name, strlen(name) + 1);
    if (ioctl(probe, SIOCGIFFLAGS, &request) != 0)
        return errno != ENODEV;  // gone since it was listed: not up
    return (request.ifr_flags & IFF_UP) != 0;
}

void link_events_apply(const char* data, std::size_t size)
{
    for (std::size_t at = 0; at < size && size - at >= sizeof(nlmsghdr);) {
        nlmsghdr header;
        memcpy(&header, data + at, sizeof header);
        if (header.nlmsg_len < sizeof header || header.nlmsg_len > size - at)
            return;
        if (header.nlmsg_type == RTM_NEWLINK || header.nlmsg_type == RTM_DELLINK)
            apply_link(header.nlmsg_type, data + at + NLMSG_HDRLEN, header.nlmsg_len - NLMSG_HDRLEN);
        at += NLMSG_ALIGN(header.nlmsg_len);
    }
}

void interface_links_refresh()
{
    if (link_events == -2)
        link_events = open_link_events();
    if (link_events < 0) {
        link_up.clear();
        return;
    }
    static char buffer[32768];
    for (;;) {
        const ssize_t n = recv(link_events, buffer, sizeof buffer, 0);
        if (n > 0) {
            link_events_apply(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // Events were lost when the queue overflowed: ask everything again.
            if (n < 0 && errno == ENOBUFS)
                link_up.clear();
            return;
        }
    }
}

bool interface_link_up(const char* name)
{
    std::string key(name);  // names are short: no allocation
    const auto known = link_up.find(key);
    if (known != link_up.end())
        return known->second;
    const bool up = interface_flags_up(name);
    link_up.emplace(std::move(key), up);
    return up;
}

void interface_links_forget()
{
    link_up.clear();
}

bool (*interface_is_up)(const char* name) = interface_link_up;
