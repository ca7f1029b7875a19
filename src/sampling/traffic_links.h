// Which interfaces are up. Each is asked of the kernel once, when first met
// (SIOCGIFFLAGS); from then on its changes come as rtnetlink link events,
// read without blocking once per pass. Neither way takes the kernel's
// network configuration lock, which a stuck driver may hold.
#pragma once

#include <cstddef>

// Whether the interface is up (IFF_UP in its flags, asked with one ioctl).
// Without a way to ask it counts as up; an interface that no longer exists
// is not up.
bool interface_flags_up(const char* name);

// Reads the link events that came since the last pass. Call once per pass,
// before interface_link_up.
void interface_links_refresh();
// Whether the interface is up, as last learnt.
bool interface_link_up(const char* name);
// Applies rtnetlink messages (new or deleted links) to what is known.
void link_events_apply(const char* data, std::size_t size);
// Forgets every interface's state (part of the sampling reset).
void interface_links_forget();

// The up test that the /proc/net/dev reader uses; tests replace it.
extern bool (*interface_is_up)(const char* name);
