// Wake-on-LAN of a network interface, through the kernel's ethtool
// interface (SIOCETHTOOL with ETHTOOL_GWOL and ETHTOOL_SWOL): which wake
// modes the card supports and has on, and switching magic-packet wake on.
// Setting needs CAP_NET_ADMIN.
#pragma once

#include <cstdint>
#include <string>

struct ethtool_wolinfo;

// Runs wol.cmd (ETHTOOL_GWOL or ETHTOOL_SWOL) on the interface; 0, or the
// errno the kernel answered with. Tests put a fake card here.
extern int (*lan_wake_ioctl)(const char* interface, ethtool_wolinfo& wol);
int lan_wake_ioctl_kernel(const char* interface, ethtool_wolinfo& wol);

// An interface's wake modes as WAKE_* bits of linux/ethtool.h.
struct lan_wake_modes {
    // 0 when read; else the errno: ENODEV for no such interface (or a name
    // too long for one), EOPNOTSUPP for a card without any Wake-on-LAN.
    int error = 0;
    uint32_t supported = 0;
    uint32_t enabled = 0;
};

lan_wake_modes lan_wake_read(const char* interface);

// What switching magic-packet wake on came to.
enum lan_wake_fault {
    lan_wake_armed,       // on, as read back
    lan_wake_unreadable,  // the first reading failed (error says why)
    lan_wake_no_magic,    // the card does not support magic-packet wake
    lan_wake_refused,     // the kernel refused the setting (error says why)
    lan_wake_differs,     // read back without it, without a mode that was on, or not at all
};

struct lan_wake_result {
    lan_wake_fault fault = lan_wake_unreadable;
    int error = 0;
    lan_wake_modes modes;  // the latest reading
};

// Switches magic-packet wake on, keeping the modes already on, and reads
// it back. It is set even when already on: only a setting tells the kernel
// that the card must stay awake through the power-off.
lan_wake_result lan_wake_arm(const char* interface);

// The modes as ethtool prints them ("pumbagsf" order; "d" for none).
std::string lan_wake_letters(uint32_t modes);

// Puts lan_wake_ioctl back.
void lan_wake_reset();
