// The counter table that both samplers keep: one record per interface or
// disk with a pair of cumulative counters (received and sent bytes, or
// kilobytes read and written), the growth of each since the last check, the
// progress lines, the check against the thresholds, and the choice of where
// the readings come from (the command, then the kernel's counters).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/activity.h"
#include "base/messages.h"
#include "base/source_table.h"
#include "sampling/name_index.h"

// One interface's or disk's pair of readings.
struct counter_reading {
    std::string name;
    uint64_t first = 0;   // received bytes, or kilobytes read
    uint64_t second = 0;  // sent bytes, or kilobytes written
};

// The readings of one pass, in the order in which they are recorded. The
// storage is kept for the next pass.
struct counter_readings {
    std::vector<counter_reading> items;
    std::size_t count = 0;
    // The last sort that moved anything: the names in the order read, and
    // for each place the index (in that order) of the reading that went
    // there. The next pass that reads the same names in the same order
    // moves its readings alike without comparing them.
    std::vector<std::string> sorted_from;
    std::vector<std::size_t> sort_order;
};

void readings_push(counter_readings& readings, std::string_view name, uint64_t first, uint64_t second);
// Puts the readings in the order of less on their names. The names are
// compared where they stand and each reading moves at most once; a list
// already in order (the usual case) costs one comparison per reading, and
// the same names read in the same order as at the last sort are moved as
// then, without sorting.
void readings_sort(counter_readings& readings, bool (*less)(const std::string& a, const std::string& b));
// Hands every reading, in order, to add (a sampler's recording function).
void readings_record(const counter_readings& readings, void (*add)(std::string_view, uint64_t, uint64_t));

// Growth of a cumulative counter from total to reading: a reading below the
// previous one counts in full, as if the counter had started again from 0.
inline uint64_t counter_growth(uint64_t total, uint64_t reading)
{
    return reading < total ? reading : reading - total;
}

// One direction of a record (receive, send, read or write): its fields, its
// threshold and its texts.
template <typename Entry>
struct counter_side {
    uint64_t Entry::*total;
    uint64_t Entry::*increased;
    const char* direction;       // "rx", "tx", "read" or "write"
    uint64_t threshold;          // 0: the direction is not watched
    const char* total_line;      // printf format of name and total
    const char* increased_line;  // printf format of name and growth
    const char* busy_text;       // appended to the check's message once
};

template <typename Entry>
using counter_sides = std::array<counter_side<Entry>, 2>;

// Where a sampler is: reading its command, or switched to the kernel's
// counters for the rest of the run; and whether its one warning is out.
struct sampler_state {
    bool on_kernel = false;
    bool warned = false;
};

template <typename Entry>
struct counter_table {
    Entry* head = nullptr;  // records in the order of first sighting
    Entry* tail = nullptr;
    name_index<Entry> index;
    sampler_state state;
    uint64_t pass = 0;      // sampling runs that read anything; a record's seen is the last that listed it
    source_health health;   // failing while a run reads nothing
};

// What a table is as a source: its kind and the unit of its counters.
struct counter_kind {
    const char* kind;  // "net" or "disk"
    const char* unit;  // "bytes" or "kilobytes"
};

// Records a reading: updates the record of name, or appends a new one. The
// first sighting counts no growth.
template <typename Entry>
void counter_table_add(counter_table<Entry>& table, const counter_sides<Entry>& sides, std::string_view name,
                       uint64_t first, uint64_t second)
{
    const uint64_t readings[2] = {first, second};
    Entry* e = index_find(table.index, name);
    if (e == nullptr) {
        e = new Entry();
        e->name.assign(name.data(), name.size());
        (table.tail == nullptr ? table.head : table.tail->next) = e;
        table.tail = e;
        index_insert(table.index, e);
    } else {
        for (int i = 0; i < 2; i++)
            e->*sides[i].increased += counter_growth(e->*sides[i].total, readings[i]);
    }
    e->seen = table.pass;
    for (int i = 0; i < 2; i++)
        e->*sides[i].total = readings[i];
}

// printf(format, name, value) for a progress line. The formats all have the
// shape "%s<text>%llu<text>": such a line is put together here and written
// with one call, without the format being interpreted again for every
// line. A format of any other shape goes to printf.
void print_counter_line(const char* format, const char* name, unsigned long long value);

// Prints each record's lines: the totals when all, the growth of a watched
// direction (or of every direction when all).
template <typename Entry>
void counter_table_disp(const counter_table<Entry>& table, const counter_sides<Entry>& sides, bool all)
{
    for (const Entry* e = table.head; e != nullptr; e = e->next) {
        for (const counter_side<Entry>& s : sides) {
            if (all)
                print_counter_line(s.total_line, e->name.c_str(), e->*s.total);
            if (s.threshold != 0 || all)
                print_counter_line(s.increased_line, e->name.c_str(), e->*s.increased);
        }
    }
}

// The check, the one place of the threshold rule: a record whose growth in a
// watched direction is over its threshold makes the period busy, names the
// direction once and gives a reason "KIND:NAME:DIRECTION:GROWTH". The growth
// of every record listed by the latest run goes into the check beside its
// threshold; then every growth returns to 0.
template <typename Entry>
void counter_table_check(counter_table<Entry>& table, const counter_sides<Entry>& sides, counter_kind what,
                         activity_check& check)
{
    bool named[2] = {false, false};
    for (Entry* e = table.head; e != nullptr; e = e->next) {
        for (int i = 0; i < 2; i++) {
            const counter_side<Entry>& s = sides[i];
            const uint64_t growth = e->*s.increased;
            if (check.growth_wanted && e->seen == table.pass)
                check.growth.push_back({what.kind, e->name, s.direction, what.unit, i, growth, s.threshold});
            if (s.threshold != 0 && growth > s.threshold) {
                check.busy = true;
                if (!named[i])
                    check.message += tr(s.busy_text);
                named[i] = true;
                check.reasons.emplace_back(what.kind, e->name, s.direction, growth);
            }
            e->*s.increased = 0;
        }
    }
}

// Where a sampler's readings came from, for the status file.
inline const char* sampler_origin(const sampler_state& state, bool kernel_only)
{
    return kernel_only || state.on_kernel ? "kernel" : "command";
}

// Notes whether a sampling run read anything: a run that did counts as the
// latest pass; one that did not leaves the table failing until one does.
template <typename Entry>
void counter_table_read(counter_table<Entry>& table, bool read, int64_t now)
{
    if (read) {
        table.pass++;
        table.health = {};
    } else if (!table.health.failing) {
        table.health = {true, now};
    }
}

// Frees every record and forgets the sampler's state.
template <typename Entry>
void counter_table_reset(counter_table<Entry>& table)
{
    while (table.head != nullptr) {
        Entry* next = table.head->next;
        delete table.head;
        table.head = next;
    }
    table = counter_table<Entry>();
}

// A sampler's two sources: each parses what it reads into readings and
// returns how many it found.
using counter_parser = int (*)(FILE* in, counter_readings& readings);

enum sampler_warning {
    warning_switched,           // the command yielded nothing, the kernel did
    warning_nothing_anywhere,   // neither yielded anything
    warning_nothing_in_kernel,  // the kernel source alone, and it yielded nothing
};

struct sampler_sources {
    const char* command;
    counter_parser parse_command;
    const char* kernel_path;
    counter_parser parse_kernel;
    void (*warn)(sampler_warning which);  // prints the sampler's warning
};

// One sampling run's readings: from the command until a run of it yields
// nothing usable, from then on (or with kernel_only) from the kernel's
// counters. The sampler's one warning is printed at the switch, or when the
// kernel yields nothing. Returns false when nothing was read.
bool sampler_read(sampler_state& state, const sampler_sources& sources, bool kernel_only,
                  counter_readings& readings);
