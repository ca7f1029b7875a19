#include "devices/registry.h"

#include <cstdlib>
#include <cstring>

#include "base/streams.h"

device_entry* device_data = nullptr;
const char* device_listing_command = device_listing_default;

namespace {

// Returns the event handler token of a handler line, cut in place at the
// first space or line end, or nullptr when the line names no event handler.
const char* event_token(char* line)
{
    char* token = strstr(line, "event");
    if (token == nullptr)
        return nullptr;
    token[strcspn(token, " \n")] = '\0';
    return token;
}

// The text after "Name=" of a name line, or nullptr for other lines.
const char* listed_name(const char* line)
{
    const char* at = strstr(line, "Name=");
    return at == nullptr ? nullptr : at + strlen("Name=");
}

// Copies the name value up to its line end into name, cut to fit at a UTF-8
// character boundary so that no half character is ever printed.
void remember_name(const char* value, char* name, std::size_t name_size)
{
    std::size_t len = strcspn(value, "\n");
    if (len >= name_size) {
        len = name_size - 1;
        while (len > 0 && (static_cast<unsigned char>(value[len]) & 0xC0) == 0x80)
            len--;
    }
    memcpy(name, value, len);
    name[len] = '\0';
}

// The entry that device_data_add appended last.
const device_entry* last_entry()
{
    const device_entry* entry = device_data;
    while (entry != nullptr && entry->next != nullptr)
        entry = entry->next;
    return entry;
}

}  // namespace

int device_data_add(const char* event)
{
    int position = 1;
    device_entry** link = &device_data;
    for (; *link != nullptr; link = &(*link)->next, position++) {
        if (strcmp((*link)->event, event) == 0)
            return position;
    }
    // The watchers' device path has room for no more.
    if (strnlen(event, event_name_max + 1) > event_name_max)
        return -1;
    auto* entry = static_cast<device_entry*>(calloc(1, sizeof(device_entry)));
    if (entry == nullptr)
        return -1;
    entry->event = strdup(event);
    if (entry->event == nullptr) {
        free(entry);
        return -1;
    }
    entry->index = position - 1;
    *link = entry;
    return 0;
}

const device_entry* device_listing_add_by_name(FILE* listing, const char* name)
{
    const std::size_t name_len = strlen(name);
    char line[listing_line_size];
    // Whether the block being read is one of the named device's. Decided
    // afresh at every name line, so that a handler line is only ever taken
    // from a block whose own name matches.
    bool matched = false;
    while (fgets(line, sizeof line, listing) != nullptr) {
        const char* value = listed_name(line);
        if (value != nullptr) {
            matched = strncmp(value, name, name_len) == 0;
            continue;
        }
        if (!matched || strstr(line, "Handlers=") == nullptr)
            continue;
        const char* token = event_token(line);
        if (token != nullptr && device_data_add(token) == 0)
            return last_entry();
    }
    return nullptr;
}

const device_entry* device_listing_add_by_event(FILE* listing, const char* event,
                                                char* name, std::size_t name_size)
{
    char line[listing_line_size];
    name[0] = '\0';
    while (fgets(line, sizeof line, listing) != nullptr) {
        const char* value = listed_name(line);
        if (value != nullptr) {
            remember_name(value, name, name_size);
            continue;
        }
        if (strstr(line, "Handlers=") == nullptr)
            continue;
        const char* token = event_token(line);
        if (token != nullptr && strcmp(token, event) == 0 && device_data_add(event) == 0)
            return last_entry();
    }
    return nullptr;
}

void add_device_by_device_name(const char* name)
{
    const pipe_stream listing(popen(device_listing_command, "re"));
    if (!listing)
        return;
    const device_entry* added = device_listing_add_by_name(listing.get(), name);
    if (added != nullptr)
        printf("デバイス %s の追加に成功 (%s)\n", name, added->event);
    else
        printf("デバイス %s の追加に失敗\n", name);
}

void add_device_by_event_name(const char* event)
{
    const pipe_stream listing(popen(device_listing_command, "re"));
    if (!listing)
        return;
    char name[device_name_size];
    const device_entry* added = device_listing_add_by_event(listing.get(), event, name, sizeof name);
    // A failure names what was asked for, not whichever device came last.
    if (added != nullptr)
        printf("デバイス %s の追加に成功 (%s)\n", name, event);
    else
        printf("デバイス %s の追加に失敗\n", event);
}
