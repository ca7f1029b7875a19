// Interfaces that no source records: settings.ignore_interfaces holds
// comma-separated shell-style patterns ("lo,veth*,docker*,br-*").
#pragma once

#include <string_view>

// True when name matches one of the patterns (never while there are none).
bool interface_ignored(std::string_view name);
