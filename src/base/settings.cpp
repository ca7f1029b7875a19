#include "base/settings.h"

settings_record settings;

void settings_reset()
{
    settings = settings_record();
}

bool network_watched()
{
    return settings.rx_threshold != 0 || settings.tx_threshold != 0;
}

bool disk_watched()
{
    return settings.read_threshold != 0 || settings.write_threshold != 0;
}

bool alarm_settings_on()
{
    return settings.alarm_timers[0] != '\0' || settings.alarm_at[0] != '\0' || settings.alarm_query[0] != '\0';
}

bool wake_settings_on()
{
    return alarm_settings_on() || settings.lan_wake[0] != '\0';
}
