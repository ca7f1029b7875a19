// What "-t" says of the registered devices: each as a "// NAME" line, from
// the device listing, followed by its "EVENT=" line.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "base/config_line.h"
#include "base/messages.h"
#include "base/streams.h"
#include "base/text_escape.h"
#include "base/text_scan.h"
#include "devices/registry.h"

namespace {

// Device names by event handler, from the device listing.
std::map<std::string, std::string> device_names()
{
    std::map<std::string, std::string> names;
    pipe_stream listing(popen(device_listing_command, "re"));
    if (!listing)
        return names;
    char line[listing_line_size];
    std::string name;
    while (fgets(line, sizeof line, listing.get()) != nullptr) {
        line[strcspn(line, "\n")] = '\0';
        const char* at = strstr(line, "Name=");
        if (strncmp(line, "N:", 2) == 0 && at != nullptr) {
            std::string_view text = at + strlen("Name=");
            if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
                text = text.substr(1, text.size() - 2);
            name = text;
        } else if (strncmp(line, "H:", 2) == 0) {
            std::size_t pos = 0;
            const std::string_view handlers = line;
            for (std::string_view t = next_token(handlers, pos); !t.empty(); t = next_token(handlers, pos)) {
                if (t.substr(0, 5) == "event" || t.substr(0, 14) == "Handlers=event")
                    names.emplace(std::string(t.substr(t.rfind('=') + 1)), name);
            }
        }
    }
    return names;
}

}  // namespace

void devices_describe()
{
    if (device_data == nullptr)
        return;
    const std::map<std::string, std::string> names = device_names();
    for (const device_entry* d = device_data; d != nullptr; d = d->next) {
        const auto it = names.find(d->event);
        printf("// %s\n", it == names.end() ? tr("名前不明") : text_escape(it->second, "\\").c_str());
        config_line_print("EVENT=", d->event);
    }
}
