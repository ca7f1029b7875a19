#include "devices/registry.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "base/journal.h"
#include "base/messages.h"
#include "base/streams.h"
#include "base/text_escape.h"

device_entry* device_data = nullptr;
const char* device_listing_command = device_listing_default;

namespace {

// Guards the event names once the watchers run: a watcher that follows its
// device to another handler writes its entry's name while other threads
// read theirs and others'.
std::mutex event_names;

constexpr char name_prefix[] = "N: Name=";

// Copies an event name into a buffer of event_name_max + 1 bytes.
void event_copy(char* to, const char* from)
{
    (void)snprintf(to, event_name_max + 1, "%s", from);
}
constexpr char handlers_prefix[] = "H: Handlers=";

// One piece of the listing and what kind of line it starts.
struct listing_piece {
    char text[listing_line_size];
    const char* name = nullptr;      // value of a name line
    char* handlers = nullptr;        // value of a handler line
};

// Reads the next piece. Only a piece that starts a line can be a name or a
// handler line, so text deep inside another field (a device's own serial
// number) is never taken for one. Returns false at the end of the listing.
bool listing_next(FILE* listing, listing_piece& piece, bool& at_line_start)
{
    if (fgets(piece.text, sizeof piece.text, listing) == nullptr)
        return false;
    const bool starts = at_line_start;
    at_line_start = strchr(piece.text, '\n') != nullptr;
    piece.name = nullptr;
    piece.handlers = nullptr;
    if (!starts)
        return true;
    if (strncmp(piece.text, name_prefix, strlen(name_prefix)) == 0)
        piece.name = piece.text + strlen(name_prefix);
    else if (strncmp(piece.text, handlers_prefix, strlen(handlers_prefix)) == 0)
        piece.handlers = piece.text + strlen(handlers_prefix);
    return true;
}

// Returns the event handler token of a handler line, cut in place at the
// first space or line end, or nullptr when the line names no event handler.
const char* event_token(char* handlers)
{
    char* token = strstr(handlers, "event");
    if (token == nullptr)
        return nullptr;
    token[strcspn(token, " \n")] = '\0';
    return token;
}

// Calls take(token) for the event token of every handler line in a block
// whose name begins with name, until take returns true. Returns whether one
// did. Whether a block matches is decided afresh at every name line.
template <typename Take>
bool scan_named_handlers(FILE* listing, const char* name, Take take)
{
    const std::size_t name_len = strlen(name);
    listing_piece piece;
    bool at_line_start = true;
    bool matched = false;
    while (listing_next(listing, piece, at_line_start)) {
        if (piece.name != nullptr) {
            matched = strncmp(piece.name, name, name_len) == 0;
            continue;
        }
        if (!matched || piece.handlers == nullptr)
            continue;
        const char* token = event_token(piece.handlers);
        if (token != nullptr && take(token))
            return true;
    }
    return false;
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

// The last entry of the list, or nullptr.
device_entry* last_entry()
{
    device_entry* entry = device_data;
    while (entry != nullptr && entry->next != nullptr)
        entry = entry->next;
    return entry;
}

// Appends an entry with event and name (either may be empty/nullptr).
// Returns it, or nullptr when memory ran out.
device_entry* entry_append(const char* event, const char* name)
{
    auto* entry = static_cast<device_entry*>(calloc(1, sizeof(device_entry)));
    if (entry == nullptr)
        return nullptr;
    if (name != nullptr && (entry->name = strdup(name)) == nullptr) {
        free(entry);
        return nullptr;
    }
    event_copy(entry->event, event);
    device_entry* tail = last_entry();
    entry->index = tail == nullptr ? 0 : tail->index + 1;
    (tail == nullptr ? device_data : tail->next) = entry;
    return entry;
}

// Gives token to entry unless another entry holds it. Returns whether the
// entry holds token now.
bool event_claim(device_entry* entry, const char* token)
{
    if (strlen(token) > event_name_max)
        return false;
    const std::lock_guard<std::mutex> hold(event_names);
    for (const device_entry* other = device_data; other != nullptr; other = other->next) {
        if (other != entry && strcmp(other->event, token) == 0)
            return false;
    }
    event_copy(entry->event, token);
    return true;
}

// The line of a device asked for by name that is now listed under a new
// handler: its first appearance, or a move from the handler before.
void report_move(const device_entry* entry, const char* before)
{
    const std::string name = text_escape(entry->name);
    const std::string now = text_escape(entry->event);
    if (before[0] == '\0')
        printf(tr("デバイス %s の追加に成功 (%s)\n"), name.c_str(), now.c_str());
    else
        printf(tr("デバイス %s の監視先を変更 (%s → %s)\n"), name.c_str(), text_escape(before).c_str(), now.c_str());
}

// A listing name always begins with its double quote, so a given name that
// does not (and is not empty) can never match, now or later.
bool may_be_listed(const char* name)
{
    return name[0] == '\0' || name[0] == '"';
}

}  // namespace

int device_data_add(const char* event)
{
    int position = 1;
    for (const device_entry* entry = device_data; entry != nullptr; entry = entry->next, position++) {
        if (strcmp(entry->event, event) == 0 && entry->event[0] != '\0')
            return position;
    }
    // An empty name would make the device path the directory itself; a long
    // one does not fit the path.
    const std::size_t len = strnlen(event, event_name_max + 1);
    if (len == 0 || len > event_name_max)
        return -1;
    return entry_append(event, nullptr) == nullptr ? -1 : 0;
}

const device_entry* device_listing_add_by_name(FILE* listing, const char* name)
{
    const bool added = scan_named_handlers(listing, name, [](const char* token) { return device_data_add(token) == 0; });
    if (!added)
        return nullptr;
    device_entry* entry = last_entry();
    // Without its name the entry is still watched, only not followed.
    entry->name = strdup(name);
    return entry;
}

const device_entry* device_listing_add_by_event(FILE* listing, const char* event,
                                                char* name, std::size_t name_size)
{
    listing_piece piece;
    bool at_line_start = true;
    name[0] = '\0';
    while (listing_next(listing, piece, at_line_start)) {
        if (piece.name != nullptr) {
            remember_name(piece.name, name, name_size);
            continue;
        }
        if (piece.handlers == nullptr)
            continue;
        const char* token = event_token(piece.handlers);
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
    const std::string shown = text_escape(name);
    const device_entry* added = device_listing_add_by_name(listing.get(), name);
    if (added != nullptr) {
        printf(tr("デバイス %s の追加に成功 (%s)\n"), shown.c_str(), text_escape(added->event).c_str());
        return;
    }
    // Not connected yet (a keyboard that pairs later): its watcher looks
    // for it at every retry.
    if (may_be_listed(name) && entry_append("", name) != nullptr)
        printf(tr("デバイス %s の追加を保留 (接続待ち)\n"), shown.c_str());
    else
        printf(tr("%sデバイス %s の追加に失敗\n"), journal_prefix(journal_warning), shown.c_str());
}

void add_device_by_event_name(const char* event)
{
    const pipe_stream listing(popen(device_listing_command, "re"));
    if (!listing)
        return;
    char name[device_name_size];
    const device_entry* added = device_listing_add_by_event(listing.get(), event, name, sizeof name);
    const std::string shown_event = text_escape(event);
    // A failure names what was asked for, not whichever device came last.
    if (added != nullptr)
        printf(tr("デバイス %s の追加に成功 (%s)\n"), text_escape(name).c_str(), shown_event.c_str());
    else
        printf(tr("%sデバイス %s の追加に失敗\n"), journal_prefix(journal_warning), shown_event.c_str());
}

device_lookup device_entry_lookup(device_entry* entry)
{
    if (entry->name == nullptr)
        return device_lookup::same;
    // A watcher cancelled halfway would leave the pipe and its child behind.
    int old_state;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &old_state);
    device_lookup result = device_lookup::unknown;
    {
        const pipe_stream listing(popen(device_listing_command, "re"));
        if (listing) {
            char before[event_name_max + 1];
            event_copy(before, entry->event);
            const bool found = scan_named_handlers(listing.get(), entry->name,
                                                   [&](const char* token) { return event_claim(entry, token); });
            result = !found ? device_lookup::absent
                            : strcmp(before, entry->event) == 0 ? device_lookup::same : device_lookup::moved;
            if (result == device_lookup::moved)
                report_move(entry, before);
        }
    }
    pthread_setcancelstate(old_state, nullptr);
    return result;
}

void device_event_read(const device_entry* entry, char* out)
{
    const std::lock_guard<std::mutex> hold(event_names);
    event_copy(out, entry->event);
}
