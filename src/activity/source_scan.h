// What one look at a source outside the program gave: whether it could
// answer at all (or was cut short by a stop request), and the names of
// what it found (clients holding a file open, hosts that answered). The
// caller turns these into its verdict.
#pragma once

#include <string>
#include <vector>

struct source_scan {
    bool answered = false;
    bool abandoned = false;          // a stop request cut it short: nothing to report
    std::string failure;             // when not answered: what failed, for the warning line
    std::vector<std::string> names;  // each once, in the order found
};

// Adds name unless the scan already holds it.
inline void scan_add_name(source_scan& scan, std::string name)
{
    for (const std::string& known : scan.names)
        if (known == name)
            return;
    scan.names.push_back(std::move(name));
}
