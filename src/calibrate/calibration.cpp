#include "calibrate/calibration.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>


namespace {

std::vector<calibration_series> recorded;
int checks_closed = 0;

// Growth above these floors may look like real use: the default receive and
// disk thresholds, which call such a period busy out of the box.
constexpr uint64_t interface_use_floor = 1048576;  // bytes
constexpr uint64_t disk_use_floor = 1024;           // KB
// A period "far above the others" is more than this many times their median.
constexpr uint64_t use_factor = 10;
// Below a kilobyte per period a network threshold would trip on a single
// stray packet, however quiet the calibration was.
constexpr uint64_t interface_least_threshold = 1024;

uint64_t saturating_add(uint64_t a, uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

uint64_t saturating_mul(uint64_t a, uint64_t b)
{
    return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b;
}

uint64_t use_floor(calibration_kind kind)
{
    if (kind == calibration_interface)
        return interface_use_floor;
    if (kind == calibration_disk)
        return disk_use_floor;
    return UINT64_MAX;  // events and verdicts are counted, never "far above"
}

// Periods that look like real use in any series: left out of the proposals.
std::vector<bool> used_anywhere()
{
    std::vector<bool> used(static_cast<std::size_t>(checks_closed), false);
    for (const auto& series : recorded) {
        const std::vector<bool> own = calibration_used_periods(series);
        for (std::size_t p = 0; p < own.size(); p++)
            used[p] = used[p] || own[p];
    }
    return used;
}

const char* threshold_key(calibration_kind kind, calibration_direction direction)
{
    if (kind == calibration_interface)
        return direction == calibration_in ? "RX_THRESHOLD" : "TX_THRESHOLD";
    return direction == calibration_in ? "READ_THRESHOLD" : "WRITE_THRESHOLD";
}

}  // namespace

std::vector<uint64_t> calibration_values(const calibration_series& series)
{
    std::vector<uint64_t> values = series.growth;
    values.resize(static_cast<std::size_t>(checks_closed), 0);
    return values;
}

// The median of the others is read from the sorted values with this
// period's value taken out, so a long run stays cheap.
std::vector<bool> calibration_used_periods(const calibration_series& series)
{
    const std::vector<uint64_t> values = calibration_values(series);
    std::vector<bool> used(values.size(), false);
    if (values.size() < 2)
        return used;
    std::vector<uint64_t> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const uint64_t floor = use_floor(series.kind);
    const std::size_t middle = (sorted.size() - 2) / 2;  // lower median of n - 1
    for (std::size_t p = 0; p < values.size(); p++) {
        if (values[p] <= floor)
            continue;
        const std::size_t taken =
            static_cast<std::size_t>(std::upper_bound(sorted.begin(), sorted.end(), values[p]) -
                                     sorted.begin()) - 1;
        const uint64_t median = middle < taken ? sorted[middle] : sorted[middle + 1];
        used[p] = values[p] > saturating_mul(median, use_factor);
    }
    return used;
}

void calibration_feed(const char* name, calibration_kind kind, calibration_direction direction,
                      uint64_t growth)
{
    const bool counted = kind == calibration_input || kind == calibration_source;
    if (counted)
        direction = calibration_none;
    else if (direction == calibration_none)
        return;  // a counter without a direction has no threshold to inform
    auto it = std::find_if(recorded.begin(), recorded.end(), [&](const calibration_series& s) {
        return s.kind == kind && s.direction == direction && s.name == name;
    });
    if (it == recorded.end()) {
        recorded.push_back({name, kind, direction, {}});
        it = recorded.end() - 1;
    }
    it->growth.resize(static_cast<std::size_t>(checks_closed) + 1, 0);
    it->growth.back() = saturating_add(it->growth.back(), growth);
}

void calibration_check_done()
{
    for (auto& series : recorded)
        series.growth.resize(static_cast<std::size_t>(checks_closed) + 1, 0);
    checks_closed++;
}

int calibration_checks()
{
    return checks_closed;
}

const std::vector<calibration_series>& calibration_recorded()
{
    return recorded;
}

uint64_t nearest_rank_percentile(std::vector<uint64_t> values, int percent)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    std::size_t rank = (n * static_cast<std::size_t>(percent) + 99) / 100;
    rank = std::min(std::max(rank, static_cast<std::size_t>(1)), n);
    return values[rank - 1];
}

uint64_t round_threshold_up(uint64_t value)
{
    for (uint64_t power = 1;; power *= 10) {
        for (uint64_t mantissa : {1, 2, 5}) {
            if (power > UINT64_MAX / mantissa)
                return UINT64_MAX;
            if (mantissa * power >= value)
                return mantissa * power;
        }
        if (power > UINT64_MAX / 10)
            return UINT64_MAX;
    }
}

calibration_suggestion calibration_suggest(calibration_kind kind, calibration_direction direction)
{
    calibration_suggestion out;
    if (kind != calibration_interface && kind != calibration_disk)
        return out;
    const std::vector<bool> used = used_anywhere();
    bool seen = false;
    uint64_t largest = 0;
    for (const auto& series : recorded) {
        if (series.kind != kind || series.direction != direction)
            continue;
        seen = true;
        const std::vector<uint64_t> values = calibration_values(series);
        for (std::size_t p = 0; p < values.size(); p++)
            if (!used[p])
                largest = std::max(largest, values[p]);
    }
    if (!seen)
        return out;
    uint64_t need = saturating_mul(largest, 2);
    // Units from the smallest up: the first that gives a value under 1000
    // reads best; the network's smallest is KB, the disks' is KB already.
    const bool network = kind == calibration_interface;
    const struct { const char* suffix; uint64_t factor; } units[2] = {
        {network ? "_KB=" : "=", network ? 1024u : 1u},
        {"_MB=", uint64_t{1024} * (network ? 1024u : 1u)},
    };
    if (network)
        need = std::max(need, interface_least_threshold);
    for (const auto& unit : units) {
        const uint64_t in_unit = need / unit.factor + (need % unit.factor != 0 ? 1 : 0);
        out.key = std::string(threshold_key(kind, direction)) + unit.suffix;
        out.value = round_threshold_up(std::max<uint64_t>(in_unit, 1));
        out.threshold = saturating_mul(out.value, unit.factor);
        if (out.value < 1000)
            break;
    }
    return out;
}

int calibration_idle_periods()
{
    uint64_t limits[2][2];  // [interface, disk][in, out]
    for (int kind = 0; kind < 2; kind++)
        for (int dir = 0; dir < 2; dir++)
            limits[kind][dir] = calibration_suggest(static_cast<calibration_kind>(kind),
                                                    static_cast<calibration_direction>(dir))
                                    .threshold;
    int idle = 0;
    for (int p = 0; p < checks_closed; p++) {
        bool busy = false;
        for (const auto& series : recorded) {
            const uint64_t v = series.growth[static_cast<std::size_t>(p)];
            if (series.kind == calibration_input || series.kind == calibration_source)
                busy = busy || v != 0;
            else
                busy = busy || v > limits[series.kind][series.direction];
        }
        idle += busy ? 0 : 1;
    }
    return idle;
}

void calibrate_reset()
{
    recorded.clear();
    checks_closed = 0;
}
