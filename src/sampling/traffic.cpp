#include "sampling/traffic.h"

#include <cstdlib>
#include <cstring>

#include "base/settings.h"
#include "base/progress.h"
#include "sampling/name_index.h"
#include "sampling/sources.h"

traffic_entry* traffic_data = nullptr;

namespace {

traffic_entry* traffic_tail = nullptr;
name_index<traffic_entry> traffic_index;

// One run of "ifconfig": what parse_ifconfig returns, 0 when it cannot start.
int run_ifconfig()
{
    pipe_stream out = open_sampler_command(ifconfig_command);
    if (!out)
        return 0;
    return parse_ifconfig(out.get());
}

// One reading of the kernel's counters: how many interfaces were recorded.
int read_kernel_traffic()
{
    file_stream in(fopen(proc_net_dev_path, "re"));
    if (!in)
        return 0;
    return parse_proc_net_dev(in.get());
}

}  // namespace

void get_traffic_data()
{
    if (settings.counter_source != counter_source_kernel && !traffic_sampler.on_kernel) {
        if (run_ifconfig() > 0)
            return;
        // Watching nothing in silence is worse than reading the same
        // counters from the kernel: switch for the rest of the run.
        traffic_sampler.on_kernel = true;
        const bool found = read_kernel_traffic() > 0;
        if (traffic_sampler.warned)
            return;
        traffic_sampler.warned = true;
        if (found)
            printf("警告：%s の出力からインターフェースを読み取れないため、以後はカーネルのカウンタ（%s）で監視します。\n",
                   ifconfig_command, proc_net_dev_path);
        else
            printf("警告：%s の出力からもカーネルのカウンタ（%s）からもインターフェースを読み取れません。ネットワークは監視されていません。\n",
                   ifconfig_command, proc_net_dev_path);
        return;
    }
    if (read_kernel_traffic() > 0 || traffic_sampler.warned)
        return;
    traffic_sampler.warned = true;
    printf("警告：カーネルのカウンタ（%s）からインターフェースを読み取れません。ネットワークは監視されていません。\n",
           proc_net_dev_path);
}

void traffic_data_add(const char* name, uint64_t rx, uint64_t tx)
{
    const std::size_t length = strnlen(name, interface_name_size);
    if (length >= interface_name_size)
        return;  // would not fit the record's name
    traffic_entry* e = index_find(traffic_index, traffic_data, name);
    if (e != nullptr) {
        e->rx_increased += counter_growth(e->rx_total, rx);
        e->rx_total = rx;
        e->tx_increased += counter_growth(e->tx_total, tx);
        e->tx_total = tx;
        return;
    }
    // The first sighting counts no growth. When memory runs out the reading
    // is dropped; the next run tries again.
    e = static_cast<traffic_entry*>(calloc(1, sizeof(traffic_entry)));
    if (e == nullptr)
        return;
    e->rx_total = rx;
    e->tx_total = tx;
    memcpy(e->name, name, length + 1);
    if (traffic_tail == nullptr)
        traffic_data = e;
    else
        traffic_tail->next = e;
    traffic_tail = e;
    index_insert(traffic_index, e);
}

void disp_traffic_data()
{
    if (settings.disp_level <= 0)
        return;
    (void)fputs(device_operation_disp_done.load() > 0 ? "\n\n" : "\n", stdout);
    const bool all = settings.disp_level >= 2;
    for (const traffic_entry* e = traffic_data; e != nullptr; e = e->next) {
        if (all)
            printf("%s : RX total bytes : %llu\n", e->name, (unsigned long long)e->rx_total);
        if (settings.rx_threshold != 0 || all)
            printf("%s : RX increased bytes : %llu\n", e->name, (unsigned long long)e->rx_increased);
        if (all)
            printf("%s : TX total bytes : %llu\n", e->name, (unsigned long long)e->tx_total);
        if (settings.tx_threshold != 0 || all)
            printf("%s : TX increased bytes : %llu\n", e->name, (unsigned long long)e->tx_increased);
    }
}

void traffic_data_check(activity_check& check)
{
    bool rx_named = false;
    bool tx_named = false;
    for (traffic_entry* e = traffic_data; e != nullptr; e = e->next) {
        if (settings.rx_threshold != 0 && e->rx_increased > settings.rx_threshold) {
            check.busy = true;
            if (!rx_named)
                check.message += "(受信トラフィック閾値以上)";
            rx_named = true;
        }
        if (settings.tx_threshold != 0 && e->tx_increased > settings.tx_threshold) {
            check.busy = true;
            if (!tx_named)
                check.message += "(送信トラフィック閾値以上)";
            tx_named = true;
        }
        e->rx_increased = 0;
        e->tx_increased = 0;
    }
}

void traffic_data_clear()
{
    while (traffic_data != nullptr) {
        traffic_entry* next = traffic_data->next;
        free(traffic_data);
        traffic_data = next;
    }
    traffic_tail = nullptr;
    index_clear(traffic_index);
}
