// Storage maintenance that the byte counters do not show well and that a
// power-off would abort or restart: md arrays that sync, ZFS pools that
// scrub or resilver, btrfs filesystems that scrub, balance or run another
// exclusive operation, and drives that run a SMART self-test.
//
// Each kind is asked only where it exists: md where /sys/block has md
// devices, ZFS where zpool is on PATH and the zfs module is loaded, btrfs
// for each mounted btrfs (its scrub only where btrfs is on PATH), SMART for
// the disks the caller names where smartctl is on PATH. A tool that is
// there but fails, runs past its deadline or prints what cannot be read
// makes the reading unanswered.
//
// As a source it makes a check busy while any job runs: "(ストレージ処理中)",
// a reason "storage:NAME:JOB" per job; a reading that cannot answer is
// "storage:error".
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/activity.h"
#include "base/source_table.h"

// A job that runs: name is the array (md0), the pool, the mount point or
// the disk (sda); job is resync, recover, check, repair, reshape, scrub,
// resilver, balance, device-add, device-remove, device-replace, resize,
// swap-activate or selftest.
struct storage_job {
    std::string name;
    std::string job;
    bool operator==(const storage_job& other) const { return name == other.name && job == other.job; }
};

struct storage_reading {
    bool answered = true;
    bool stopped = false;  // a stop request cut a tool's run short: the reading says nothing
    std::string failure;  // when not answered: what failed, for the warning line
    std::vector<storage_job> jobs;
    std::vector<std::string> unidentified;  // disks smartctl cannot open or identify: not asked
    std::vector<std::string> asleep;        // disks in standby: not asked, so not woken
    std::vector<std::string> blind;         // disks whose self-test state this smartctl does not print
};

constexpr const char* storage_sys_root_default = "/sys";
constexpr const char* storage_mounts_path_default = "/proc/self/mounts";
constexpr int storage_deadline_ms_default = 10000;
constexpr std::size_t storage_output_cap = 1 << 20;
extern const char* storage_sys_root;     // block/md*/md/sync_action, fs/btrfs, module/zfs
extern const char* storage_mounts_path;  // the mount table, for btrfs
extern int storage_deadline_ms;          // for each run of a tool

// Everything at once; disks are whole-disk names such as "sda" or
// "nvme0n1".
storage_reading storage_read(const std::vector<std::string>& disks);

// One kind each, adding to reading.
void storage_read_md(storage_reading& reading);
void storage_read_zfs(storage_reading& reading);
void storage_read_btrfs(storage_reading& reading);
void storage_read_smart(const std::vector<std::string>& disks, storage_reading& reading);

// The source: reads everything (disks: the whole disks that the disk
// source watches) and reports the jobs found, or that it cannot answer.
// Nothing is reported when a stop request cut the reading short.
void storage_check(activity_check& check, const std::vector<std::string>& disks);
extern source_health storage_health;

// "-t", while switched on: "// " lines naming the disks that are not
// asked (not identified by smartctl, asleep, or whose self-test state this
// smartctl cannot show), and a reading that cannot answer.
void storage_describe(const std::vector<std::string>& disks);

// Puts the seams and the health back.
void storage_reset();

// --- below: the pieces, for the readers and their tests ---

// Marks reading unanswered, adding what failed to its failure text.
void storage_fail(storage_reading& reading, const std::string& what);

// Whether a program of that name is on PATH.
bool storage_tool_present(const char* name);

// Runs argv (argv[0] looked up on PATH, in the C locale) within
// storage_deadline_ms and storage_output_cap. True with its output and exit
// status when it exited. Otherwise false, with reading marked stopped (a
// stop request ended the wait) or failed with what went wrong, named by
// label ("zpool status").
bool storage_tool_run(const std::vector<std::string>& argv, const std::string& label, std::string& output,
                      int& status, storage_reading& reading);

// The first line of text, taken off it (without its newline).
std::string_view storage_next_line(std::string_view& text);

// text without the blanks (and a carriage return) around it.
std::string_view storage_trim(std::string_view text);

// The first 4 KiB of a file. False when it cannot be opened or read.
bool storage_file_read(const std::string& path, std::string& text);

// The job of an md sync_action text ("" for idle and frozen); false when
// the text holds no word.
bool parse_md_sync_action(std::string_view text, std::string& job);

// Adds (pool, scrub or resilver) for each pool of `zpool status` output
// whose scan line says one is in progress. False when the text shows no
// pool and does not say that there is none.
bool parse_zpool_status(std::string_view text, std::vector<storage_job>& jobs);

// The job of an exclusive_operation text ("" for none and a paused
// balance); false when the text holds no word.
bool parse_btrfs_exclusive_operation(std::string_view text, std::string& job);

// Whether `btrfs scrub status` output shows a scrub that runs; false when
// the text is not such output.
bool parse_btrfs_scrub_status(std::string_view text, bool& running);

struct btrfs_mount {
    std::string device;  // as the mount table names it
    std::string point;   // the mount point, unescaped
};

// The btrfs mounts of a mount table stream, in its order.
std::vector<btrfs_mount> parse_btrfs_mounts(FILE* in);

enum smart_state {
    smart_idle,          // no self-test runs
    smart_selftest,      // a self-test runs
    smart_standby,       // the drive sleeps; smartctl did not wake it
    smart_unidentified,  // smartctl cannot open or identify the device
    smart_blind,         // smartctl answered but prints no self-test state
    smart_unreadable,    // not smartctl's output, or a failure it does not explain
};

// The state shown by smartctl's output and exit status.
smart_state parse_smartctl(std::string_view text, int status);
