#include "sampling/ignored_interfaces.h"

#include "base/name_list.h"
#include "base/settings.h"

bool interface_ignored(std::string_view name)
{
    return settings.ignore_interfaces[0] != '\0' && name_matches_list(name, settings.ignore_interfaces);
}
