#include "activity/host_lookup.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>
#include <memory>
#include <netdb.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "base/messages.h"
#include "base/stop.h"

namespace {

// One name looked up on a thread of its own, which shares it and may
// outlive the call that started it: the last owner frees it.
struct lookup {
    std::string name;
    addrinfo* result = nullptr;
    int error = 0;  // of getaddrinfo, set before done
    std::atomic<bool> done{false};
    ~lookup()
    {
        if (result != nullptr)
            freeaddrinfo(result);
    }
};

// Lookups that had not ended when their call returned. A name is not
// looked up again while its last lookup runs: the new call waits for that
// one, so a name server that does not answer costs one thread per name.
std::vector<std::shared_ptr<lookup>> running;

// The lookup threads write here when they end. Opened once and never
// closed: a thread that outlived its call may still write to it.
int lookup_wake_fd()
{
    static const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return fd;
}

void* lookup_run(void* arg)
{
    const std::unique_ptr<std::shared_ptr<lookup>> owner(static_cast<std::shared_ptr<lookup>*>(arg));
    lookup& l = **owner;
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;  // one entry per address
    l.error = getaddrinfo(l.name.c_str(), nullptr, &hints, &l.result);
    l.done.store(true, std::memory_order_release);
    const uint64_t one = 1;
    (void)!write(lookup_wake_fd(), &one, sizeof one);
    return nullptr;
}

// The running lookup of name, or a new one started on a detached thread
// with every signal blocked, so that stop signals still reach the loop.
// A thread that cannot be started leaves the lookup ended with EAI_AGAIN.
std::shared_ptr<lookup> lookup_start(const std::string& name)
{
    for (const std::shared_ptr<lookup>& l : running)
        if (l->name == name)
            return l;
    auto l = std::make_shared<lookup>();
    l->name = name;
    (void)lookup_wake_fd();  // opened before any thread may write to it
    sigset_t all, saved;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &saved);
    pthread_attr_t attr;
    pthread_t thread;
    auto* arg = new std::shared_ptr<lookup>(l);
    const bool started = pthread_attr_init(&attr) == 0 &&
                         pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED) == 0 &&
                         pthread_create(&thread, &attr, lookup_run, arg) == 0;
    (void)pthread_attr_destroy(&attr);
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    if (!started) {
        delete arg;
        l->error = EAI_AGAIN;
        l->done.store(true);
    }
    return l;
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
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0)
        return false;
    take_addresses(list, addresses);
    freeaddrinfo(list);
    return true;
}

bool lookups_running(const std::vector<std::shared_ptr<lookup>>& lookups)
{
    for (const std::shared_ptr<lookup>& l : lookups)
        if (l && !l->done.load(std::memory_order_acquire))
            return true;
    return false;
}

// Waits until the lookups have ended, deadline_ms have passed or a stop is
// requested.
void lookups_wait(const std::vector<std::shared_ptr<lookup>>& lookups, int deadline_ms)
{
    const long long deadline = now_ms() + deadline_ms;
    const int wake = lookup_wake_fd();
    while (lookups_running(lookups) && !stop_requested()) {
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

// Takes the addresses of one lookup, or sets failure (the first one only).
// A lookup still running is kept in running.
void lookup_finish(const std::shared_ptr<lookup>& l, std::vector<host_address>& addresses, std::string& failure)
{
    const bool done = l->done.load(std::memory_order_acquire);
    int error = done ? l->error : EAI_AGAIN;
    if (done && error == 0) {
        take_addresses(l->result, addresses);
        if (!addresses.empty())
            return;
        error = EAI_NONAME;  // only addresses of other families
    }
    if (!done && std::find(running.begin(), running.end(), l) == running.end())
        running.push_back(l);
    if (failure.empty() && !stop_requested())
        failure = !done ? text_format(tr("%s（名前解決が時間内に終わりません）"), l->name.c_str())
                        : text_format(tr("%s（名前を解決できません：%s）"), l->name.c_str(), gai_strerror(error));
}

}  // namespace

bool hosts_resolve(const std::vector<std::string>& names, int deadline_ms,
                   std::vector<std::vector<host_address>>& addresses, std::string& failure)
{
    host_lookups_forget();
    failure.clear();
    addresses.assign(names.size(), {});
    std::vector<std::shared_ptr<lookup>> lookups(names.size());
    for (std::size_t i = 0; i < names.size(); i++)
        if (!numeric_address(names[i], addresses[i]))
            lookups[i] = lookup_start(names[i]);
    lookups_wait(lookups, deadline_ms);
    for (std::size_t i = 0; i < names.size(); i++)
        if (lookups[i])
            lookup_finish(lookups[i], addresses[i], failure);
    return failure.empty();
}

void host_lookups_forget()
{
    for (std::size_t i = 0; i < running.size();) {
        if (running[i]->done.load(std::memory_order_acquire)) {
            running[i] = std::move(running.back());
            running.pop_back();
        } else {
            i++;
        }
    }
}
