#include "sampling/traffic.h"

#include <cstdio>

#include "base/messages.h"
#include "sampling/ignored_interfaces.h"
#include "base/clock.h"
#include "base/journal.h"
#include "base/progress.h"
#include "base/settings.h"
#include "sampling/sources.h"
#include "sampling/traffic_ifconfig.h"
#include "sampling/traffic_kernel.h"

counter_table<traffic_entry> traffic_table;
traffic_entry* const& traffic_data = traffic_table.head;

namespace {

counter_readings traffic_readings;

counter_sides<traffic_entry> traffic_sides()
{
    return {{{&traffic_entry::rx_total, &traffic_entry::rx_increased, "rx", settings.rx_threshold,
              "%s : RX total bytes : %llu\n", "%s : RX increased bytes : %llu\n", tr_later("(受信トラフィック閾値以上)")},
             {&traffic_entry::tx_total, &traffic_entry::tx_increased, "tx", settings.tx_threshold,
              "%s : TX total bytes : %llu\n", "%s : TX increased bytes : %llu\n", tr_later("(送信トラフィック閾値以上)")}}};
}

void warn_traffic(sampler_warning which)
{
    switch (which) {
    case warning_switched:
        printf(tr("%s警告：%s の出力からインターフェースを読み取れないため、以後はカーネルのカウンタ（%s）で監視します。\n"),
               journal_prefix(journal_warning), ifconfig_command, proc_net_dev_path);
        break;
    case warning_nothing_anywhere:
        printf(tr("%s警告：%s の出力からもカーネルのカウンタ（%s）からもインターフェースを読み取れません。ネットワークは監視されていません。\n"),
               journal_prefix(journal_warning), ifconfig_command, proc_net_dev_path);
        break;
    case warning_nothing_in_kernel:
        printf(tr("%s警告：カーネルのカウンタ（%s）からインターフェースを読み取れません。ネットワークは監視されていません。\n"),
               journal_prefix(journal_warning), proc_net_dev_path);
        break;
    }
}

}  // namespace

void get_traffic_data()
{
    const sampler_sources sources = {ifconfig_command, parse_ifconfig, proc_net_dev_path, parse_proc_net_dev,
                                     warn_traffic};
    const bool read = sampler_read(traffic_table.state, sources, settings.counter_source == counter_source_kernel,
                                   traffic_readings);
    counter_table_read(traffic_table, read, static_cast<int64_t>(watch_unix_time()));
    readings_record(traffic_readings, traffic_data_add);
}

void traffic_data_add(std::string_view name, uint64_t rx, uint64_t tx)
{
    // An ignored interface gets no record, whichever source read it, and so
    // is neither shown nor checked.
    if (interface_ignored(name))
        return;
    counter_table_add(traffic_table, traffic_sides(), name, rx, tx);
}

void disp_traffic_data()
{
    if (settings.disp_level <= 0)
        return;
    (void)fputs(device_operation_disp_done.load() > 0 ? "\n\n" : "\n", stdout);
    counter_table_disp(traffic_table, traffic_sides(), settings.disp_level >= 2);
}

void traffic_data_check(activity_check& check)
{
    counter_table_check(traffic_table, traffic_sides(), {"net", "bytes"}, check);
}

const char* traffic_origin()
{
    return sampler_origin(traffic_table.state, settings.counter_source == counter_source_kernel);
}

void traffic_data_clear()
{
    counter_table_reset(traffic_table);
}
