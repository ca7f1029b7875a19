// The metrics file: the Prometheus text format that node_exporter's
// textfile collector reads, rewritten whole after every check.
#pragma once

#include <string>
#include <string_view>

#include "report/report.h"

// A label value: text escaped as everywhere (control characters as \xNN),
// then backslash and double quote escaped as the format requires.
std::string metrics_label_value(std::string_view text);

// The file's content for state under the current settings.
std::string metrics_format(const report_state_record& state);

// Rewrites the file named by the settings, if any, with one warning line at
// the first failure (again only after a write succeeded).
void metrics_publish();
