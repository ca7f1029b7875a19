#include "activity/host_lookup.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "base/stop.h"

namespace {

// A lookup handed to the resolver's threads. It lives on the heap: one that
// has not ended when its call returns, and can no longer be cancelled, is
// kept until it has ended, since the resolver still writes into it.
struct lookup {
    std::string name;
    addrinfo hints{};
    gaicb request{};
};

std::vector<std::unique_ptr<lookup>> lingering;

// The resolver's threads write here once the lookups of a call have ended.
// Opened once and never closed: a lingering lookup may still write to it.
int lookup_wake_fd()
{
    static const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return fd;
}

void lookups_ended(sigval)
{
    const uint64_t one = 1;
    (void)!write(lookup_wake_fd(), &one, sizeof one);
}

long long now_ms()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Adds the IPv4 and IPv6 addresses of list to addresses, each once.
void take_addresses(const addrinfo* list, std::vector<host_address>& addresses)
{
    for (const addrinfo* a = list; a != nullptr && addresses.size() < host_addresses_max; a = a->ai_next) {
        if ((a->ai_family != AF_INET && a->ai_family != AF_INET6) || a->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        host_address address{};
        memcpy(&address.address, a->ai_addr, a->ai_addrlen);
        address.length = a->ai_addrlen;
        bool known = false;
        for (const host_address& k : addresses)
            known = known || (k.length == address.length && memcmp(&k.address, &address.address, k.length) == 0);
        if (!known)
            addresses.push_back(address);
    }
}

// A numeric address needs no name server: taken at once.
bool numeric_address(const std::string& name, std::vector<host_address>& addresses)
{
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_socktype = SOCK_DGRAM;  // one entry per address
    addrinfo* list = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0)
        return false;
    take_addresses(list, addresses);
    freeaddrinfo(list);
    return true;
}

// Whether any lookup of list has not ended.
bool lookups_running(const std::vector<gaicb*>& list)
{
    for (gaicb* request : list)
        if (gai_error(request) == EAI_INPROGRESS)
            return true;
    return false;
}

// Waits until the lookups of list have ended, deadline_ms have passed or a
// stop is requested.
void lookups_wait(const std::vector<gaicb*>& list, int deadline_ms)
{
    const long long deadline = now_ms() + deadline_ms;
    const int wake = lookup_wake_fd();
    while (lookups_running(list) && !stop_requested()) {
        const long long left = deadline - now_ms();
        if (left <= 0)
            return;
        pollfd fds[2] = {{wake, POLLIN, 0}, {stop_wake_fd(), POLLIN, 0}};
        // Without the wake-up descriptor the lookups are looked at every 10 ms.
        (void)poll(fds, 2, static_cast<int>(wake < 0 && left > 10 ? 10 : left));
        uint64_t count = 0;
        (void)!read(wake, &count, sizeof count);
    }
}

// Takes the result of one lookup, or sets failure. A lookup still running
// is cancelled, or kept in lingering when that is too late.
void lookup_finish(std::unique_ptr<lookup>& l, std::vector<host_address>& addresses, std::string& failure)
{
    const std::string name = l->name;
    int error = gai_error(&l->request);
    if (error == EAI_INPROGRESS) {
        const int cancelled = gai_cancel(&l->request);
        if (cancelled == EAI_ALLDONE)
            error = gai_error(&l->request);
        else if (cancelled == EAI_NOTCANCELED)
            lingering.push_back(std::move(l));
    }
    if (error == 0) {
        take_addresses(l->request.ar_result, addresses);
        freeaddrinfo(l->request.ar_result);
        if (!addresses.empty())
            return;
        error = EAI_NONAME;  // only addresses of other families
    }
    if (!failure.empty() || stop_requested())
        return;
    failure = name + (error == EAI_INPROGRESS ? std::string("（名前解決が時間内に終わりません）")
                                               : std::string("（名前を解決できません：") + gai_strerror(error) + "）");
}

}  // namespace

bool hosts_resolve(const std::vector<std::string>& names, int deadline_ms,
                   std::vector<std::vector<host_address>>& addresses, std::string& failure)
{
    host_lookups_forget();
    failure.clear();
    addresses.assign(names.size(), {});
    std::vector<std::unique_ptr<lookup>> lookups(names.size());
    std::vector<gaicb*> list;
    for (std::size_t i = 0; i < names.size(); i++) {
        if (numeric_address(names[i], addresses[i]))
            continue;
        lookups[i] = std::make_unique<lookup>();
        lookups[i]->name = names[i];
        lookups[i]->hints.ai_socktype = SOCK_DGRAM;
        lookups[i]->request.ar_name = lookups[i]->name.c_str();
        lookups[i]->request.ar_request = &lookups[i]->hints;
        list.push_back(&lookups[i]->request);
    }
    if (!list.empty()) {
        sigevent ended{};
        ended.sigev_notify = SIGEV_THREAD;
        ended.sigev_notify_function = lookups_ended;
        (void)lookup_wake_fd();  // before any resolver thread may want it
        if (getaddrinfo_a(GAI_NOWAIT, list.data(), static_cast<int>(list.size()), &ended) == 0)
            lookups_wait(list, deadline_ms);
    }
    for (std::size_t i = 0; i < names.size(); i++)
        if (lookups[i])
            lookup_finish(lookups[i], addresses[i], failure);
    return failure.empty();
}

void host_lookups_forget()
{
    for (std::size_t i = 0; i < lingering.size();) {
        if (gai_error(&lingering[i]->request) == EAI_INPROGRESS) {
            i++;
            continue;
        }
        if (gai_error(&lingering[i]->request) == 0)
            freeaddrinfo(lingering[i]->request.ar_result);
        lingering[i] = std::move(lingering.back());
        lingering.pop_back();
    }
}
