// A hash index of counter records by name, kept beside the list so that
// recording a reading costs the same however many records there are. The
// list stays the owner and keeps the order of first sighting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

template <typename Entry>
struct name_index {
    std::vector<Entry*> slots;  // a power of two in size, or empty
    std::size_t count = 0;
};

inline std::size_t name_hash(std::string_view name)
{
    uint64_t h = 1469598103934665603ULL;  // FNV-1a
    for (const char c : name) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ULL;
    }
    return static_cast<std::size_t>(h ^ (h >> 29));
}

template <typename Entry>
Entry* index_find(const name_index<Entry>& index, std::string_view name)
{
    const std::size_t mask = index.slots.size() - 1;
    if (index.slots.empty())
        return nullptr;
    for (std::size_t i = name_hash(name) & mask;; i = (i + 1) & mask) {
        Entry* e = index.slots[i];
        if (e == nullptr || e->name == name)
            return e;
    }
}

template <typename Entry>
void index_place(std::vector<Entry*>& slots, Entry* entry)
{
    const std::size_t mask = slots.size() - 1;
    std::size_t i = name_hash(entry->name) & mask;
    while (slots[i] != nullptr)
        i = (i + 1) & mask;
    slots[i] = entry;
}

template <typename Entry>
void index_insert(name_index<Entry>& index, Entry* entry)
{
    // Kept at most three quarters full so that probes stay short and an
    // empty slot always ends them.
    if ((index.count + 1) * 4 > index.slots.size() * 3) {
        std::vector<Entry*> slots(index.slots.empty() ? 16 : index.slots.size() * 2, nullptr);
        for (Entry* e : index.slots) {
            if (e != nullptr)
                index_place(slots, e);
        }
        index.slots.swap(slots);
    }
    index_place(index.slots, entry);
    index.count++;
}
