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
