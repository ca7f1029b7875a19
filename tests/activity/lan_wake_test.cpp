// Wake-on-LAN: the kernel for interfaces that cannot answer, a fake card
// in place of the kernel call for switching on.
#include <gtest/gtest.h>

#include <cerrno>
#include <linux/ethtool.h>

#include "activity/lan_wake.h"

namespace {

TEST(LanWake, InterfacesThatCannotAnswer)
{
    EXPECT_EQ(lan_wake_arm("lo").fault, lan_wake_unreadable);  // no Wake-on-LAN at all
    EXPECT_EQ(lan_wake_arm("lw-none0").error, ENODEV);
    EXPECT_EQ(lan_wake_read("a-name-too-long-for-any-card").error, ENODEV);
}

struct {
    uint32_t supported, enabled;
    int set_error;  // the answer to ETHTOOL_SWOL
    bool applies;   // whether an accepted setting takes effect
} card;

int fake_ioctl(const char*, ethtool_wolinfo& wol)
{
    const bool get = wol.cmd == ETHTOOL_GWOL;
    if (get)
        wol.supported = card.supported, wol.wolopts = card.enabled;
    else if (card.set_error == 0 && card.applies)
        card.enabled = wol.wolopts;
    return get ? 0 : card.set_error;
}

TEST(LanWake, SwitchingMagicPacketWakeOnKeepsTheOtherModes)
{
    constexpr uint32_t pumbg = WAKE_PHY | WAKE_UCAST | WAKE_MCAST | WAKE_BCAST | WAKE_MAGIC;
    const struct {
        decltype(card) before;
        lan_wake_fault fault;
        const char* enabled_after;
    } cases[] = {{{pumbg, WAKE_PHY, 0, true}, lan_wake_armed, "pg"},  {{pumbg, WAKE_MAGIC, 0, true}, lan_wake_armed, "g"},
                 {{pumbg, 0, 0, false}, lan_wake_differs, "d"},       {{pumbg, WAKE_UCAST, EPERM, true}, lan_wake_refused, "u"},
                 {{WAKE_PHY, 0, 0, true}, lan_wake_no_magic, "d"}};
    lan_wake_ioctl = fake_ioctl;
    for (const auto& c : cases) {
        card = c.before;
        const lan_wake_result result = lan_wake_arm("eth0");
        EXPECT_EQ(result.fault, c.fault) << c.enabled_after;
        EXPECT_EQ(lan_wake_letters(result.modes.enabled), c.enabled_after);
    }
    lan_wake_reset();
}

}  // namespace
