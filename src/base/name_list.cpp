#include "base/name_list.h"

#include <fnmatch.h>

namespace {

// Names and patterns are compared as C strings; longer ones never match.
constexpr std::size_t match_text_size = 256;

bool copy_text(std::string_view text, char (&out)[match_text_size])
{
    if (text.size() >= match_text_size)
        return false;
    text.copy(out, text.size());
    out[text.size()] = '\0';
    return true;
}

}  // namespace

bool name_matches_list(std::string_view name, std::string_view patterns)
{
    char subject[match_text_size];
    if (!copy_text(name, subject))
        return false;
    bool found = false;
    for_each_list_item(patterns, [&](std::string_view item) {
        char pattern[match_text_size];
        if (!found && copy_text(item, pattern))
            found = fnmatch(pattern, subject, 0) == 0;
    });
    return found;
}
