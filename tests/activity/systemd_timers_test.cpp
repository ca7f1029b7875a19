// Timer units' next elapse through a mock systemd on a private bus.
#include <gtest/gtest.h>

#include "activity/systemd_timers.h"
#include "support/private_bus.h"

TEST(SystemdTimers, MatchingTimersWithTheirNextElapse)
{
    if (!private_bus::available())
        GTEST_SKIP() << "dbus-daemon or python3-dbusmock is not installed";
    constexpr uint64_t backup_us = 1796783400000000;  // 2026-12-09 02:30 UTC
    {
        private_bus bus(mock_logind | mock_systemd);
        ASSERT_TRUE(bus.up() && bus.add_timer("backup.timer", backup_us) && bus.add_timer("apt-daily.timer", 1) &&
                    bus.add_timer("backup-offsite.timer", UINT64_MAX) && bus.add_timer("backup-boot.timer", 0));
        const timer_listing listing = systemd_timers_read("backup*.timer, fstrim.timer", system_bus_deadline());
        EXPECT_TRUE(listing.answered);
        ASSERT_EQ(listing.timers.size(), 3u);
        EXPECT_EQ(listing.timers[0].name + " " + listing.timers[1].name, "backup.timer backup-offsite.timer");
        EXPECT_EQ(listing.timers[0].next_us, backup_us);
        EXPECT_EQ(listing.timers[1].next_us + listing.timers[2].next_us, 0u);  // none
    }
    EXPECT_FALSE(systemd_timers_read("backup*.timer", system_bus_deadline()).answered);  // the bus gone
    system_bus_reset();
}
