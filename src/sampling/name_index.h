// A hash index of sampler records by name, kept beside the list so that
// recording a reading costs the same however many records there are. The
// list stays the owner and keeps the order of first sighting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

template <typename Entry>
struct name_index {
    Entry** slots = nullptr;
    std::size_t capacity = 0;  // a power of two, or 0
    std::size_t count = 0;
    // false once a record could not be indexed (memory ran out): lookups
    // that miss then walk the list as well.
    bool complete = true;
};

inline std::size_t name_hash(const char* name)
{
    uint64_t h = 1469598103934665603ULL;  // FNV-1a
    for (; *name != '\0'; name++) {
        h ^= static_cast<unsigned char>(*name);
        h *= 1099511628211ULL;
    }
    return static_cast<std::size_t>(h ^ (h >> 29));
}

template <typename Entry>
Entry* index_find(const name_index<Entry>& index, Entry* list, const char* name)
{
    if (index.capacity != 0) {
        for (std::size_t i = name_hash(name) & (index.capacity - 1);; i = (i + 1) & (index.capacity - 1)) {
            Entry* e = index.slots[i];
            if (e == nullptr)
                break;
            if (strcmp(e->name, name) == 0)
                return e;
        }
    }
    if (!index.complete) {
        for (Entry* e = list; e != nullptr; e = e->next) {
            if (strcmp(e->name, name) == 0)
                return e;
        }
    }
    return nullptr;
}

template <typename Entry>
void index_place(Entry** slots, std::size_t capacity, Entry* entry)
{
    std::size_t i = name_hash(entry->name) & (capacity - 1);
    while (slots[i] != nullptr)
        i = (i + 1) & (capacity - 1);
    slots[i] = entry;
}

// Doubles the table; false when memory ran out (the old table stays).
template <typename Entry>
bool index_grow(name_index<Entry>& index)
{
    const std::size_t capacity = index.capacity == 0 ? 16 : index.capacity * 2;
    auto** slots = static_cast<Entry**>(calloc(capacity, sizeof(Entry*)));
    if (slots == nullptr)
        return false;
    for (std::size_t i = 0; i < index.capacity; i++) {
        if (index.slots[i] != nullptr)
            index_place(slots, capacity, index.slots[i]);
    }
    free(static_cast<void*>(index.slots));
    index.slots = slots;
    index.capacity = capacity;
    return true;
}

template <typename Entry>
void index_insert(name_index<Entry>& index, Entry* entry)
{
    // Kept at most three quarters full so that probes stay short and an
    // empty slot always ends them.
    if ((index.count + 1) * 4 > index.capacity * 3 && !index_grow(index)) {
        index.complete = false;
        return;
    }
    index_place(index.slots, index.capacity, entry);
    index.count++;
}

template <typename Entry>
void index_clear(name_index<Entry>& index)
{
    free(static_cast<void*>(index.slots));
    index = name_index<Entry>();
}
