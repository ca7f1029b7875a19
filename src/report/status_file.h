// The status file: one key=value per line, rewritten whole after every
// check, for people (lullwatcher --status) and for scripts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "report/report.h"

// Where the counters come from: "command", "kernel", or "none" while that
// kind of sampling is off.
const char* network_source_name();
const char* disk_source_name();

// The command that an expiry runs, with the default sequence spelled out.
std::string expiry_action_text();

// At most this many bytes of busy_reasons ("…" included), so that the file
// stays small whatever the tokens hold.
constexpr std::size_t status_reasons_max = 4096;

// The file's content for record under the current settings.
std::string status_format(const status_record& record);

// Rewrites the file named by the settings, if any. The first failure prints
// one warning line; the next is printed only after a write succeeded again.
void status_publish();

// amount in bytes for a person: "512 B", "3.4 KB", "3.4 MB", "1.2 GB".
std::string format_amount(uint64_t bytes);
