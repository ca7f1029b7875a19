// SMART self-tests, which run inside the drive and move no bytes over the
// bus. An ATA drive is asked with `smartctl -n standby -c`: its "Self-test
// execution status" byte is 0xF0 + N (N tenths left) while a test runs, and
// a drive in standby is not woken (exit status 2, "Device is in STANDBY
// mode"). An NVMe drive (named nvme…) is asked with `-a`, the only view in
// which smartctl prints "Self-test status:"; smartctl before 7.4 prints no
// NVMe self-test state at all, so there such a drive is blind (noted, not
// counted). A device that smartctl cannot open or identify, such as a
// virtio disk, is noted and skipped; the same holds for one whose output
// has no self-test state (a SCSI disk, an NVMe disk behind a USB bridge).
#include <cstdlib>

#include "activity/storage.h"
#include "base/messages.h"

namespace {

bool contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

// The value of the first line of text that starts with key (blanks
// before it allowed); false when there is none.
bool keyed_value(std::string_view text, std::string_view key, std::string_view& value)
{
    while (!text.empty()) {
        const std::string_view line = storage_trim(storage_next_line(text));
        if (line.substr(0, key.size()) == key) {
            value = storage_trim(line.substr(key.size()));
            return true;
        }
    }
    return false;
}

// "( 242)\tSelf-test routine in progress..." holds the status byte.
smart_state ata_self_test(std::string_view value)
{
    if (value.empty() || value.front() != '(')
        return smart_unreadable;
    const std::string number(storage_trim(value.substr(1, value.find(')') - 1)));
    char* end = nullptr;
    const long byte = strtol(number.c_str(), &end, 10);
    if (number.empty() || *end != '\0' || byte < 0 || byte > 255)
        return smart_unreadable;
    return byte >> 4 == 0xF ? smart_selftest : smart_idle;
}

// "No self-test in progress" or "Extended self-test in progress (28%
// completed)" (Short, Extended, Vendor specific).
smart_state nvme_self_test(std::string_view value)
{
    if (value.substr(0, 12) == "No self-test")
        return smart_idle;
    return contains(value, "self-test in progress") ? smart_selftest : smart_unreadable;
}

}  // namespace

smart_state parse_smartctl(std::string_view text, int status)
{
    if (text.substr(0, 9) != "smartctl ")
        return smart_unreadable;
    // Exit status bit 0: the command line, or a device of unknown type;
    // bit 1: the device could not be opened, or sleeps (with -n standby).
    if ((status & 2) != 0 && contains(text, "\nDevice is in ") && contains(text, " mode"))
        return smart_standby;
    if (((status & 1) != 0 && contains(text, "Unable to detect device type")) ||
        ((status & 2) != 0 && contains(text, "Smartctl open device: ") && contains(text, " failed")))
        return smart_unidentified;
    if ((status & 3) != 0)
        return smart_unreadable;
    // The other bits tell of the drive's health, not of the output.
    std::string_view value;
    if (keyed_value(text, "Self-test execution status:", value))
        return ata_self_test(value);
    if (keyed_value(text, "Self-test status:", value))
        return nvme_self_test(value);
    return smart_blind;
}

namespace {

bool disk_name_valid(const std::string& disk)
{
    return !disk.empty() && disk != "." && disk != ".." && disk.find('/') == std::string::npos;
}

}  // namespace

void storage_read_smart(const std::vector<std::string>& disks, storage_reading& reading)
{
    if (disks.empty() || !storage_tool_present("smartctl"))
        return;
    for (const std::string& disk : disks) {
        if (reading.stopped)
            return;
        if (!disk_name_valid(disk)) {
            reading.unidentified.push_back(disk);
            continue;
        }
        const std::string device = "/dev/" + disk;
        const char* view = disk.compare(0, 4, "nvme") == 0 ? "-a" : "-c";
        std::string output;
        int status = 0;
        if (!storage_tool_run({"smartctl", "-n", "standby", view, device}, "smartctl " + device, output, status,
                              reading))
            continue;
        switch (parse_smartctl(output, status)) {
        case smart_idle:
            break;
        case smart_selftest:
            reading.jobs.push_back({disk, "selftest"});
            break;
        case smart_standby:
            reading.asleep.push_back(disk);
            break;
        case smart_unidentified:
            reading.unidentified.push_back(disk);
            break;
        case smart_blind:
            reading.blind.push_back(disk);
            break;
        case smart_unreadable:
            storage_fail(reading, text_format(tr("%s（終了ステータス %d、出力を読めません）"),
                                              ("smartctl " + device).c_str(), status));
            break;
        }
    }
}
