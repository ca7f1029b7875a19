// Comma-separated lists of names or shell-style patterns, as settings hold
// them ("rsync,borg,apt*", "lo,veth*").
#pragma once

#include <string_view>

// Calls item(text) for every non-empty item of a comma-separated list, with
// the spaces around it removed.
template <typename F>
void for_each_list_item(std::string_view list, F item)
{
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string_view::npos)
            end = list.size();
        std::string_view text = list.substr(start, end - start);
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
        if (!text.empty())
            item(text);
        start = end + 1;
    }
}

// True when name matches one of the comma-separated shell-style patterns.
bool name_matches_list(std::string_view name, std::string_view patterns);
