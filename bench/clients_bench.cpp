// Cost of one look at each source of clients and hosts: smbstatus --json
// through a fake that prints a real listing (its own run apart, starting
// and awaiting it and reading its JSON), the listing's parse alone, a tree
// of NFSv4 client directories built like the kernel's, and a ping to this
// machine's loopback (answered at once) by address and by name.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "activity/nfs_clients.h"
#include "activity/ping_hosts.h"
#include "activity/smb_clients.h"

namespace {

const std::string smb_listing = LW_FIXTURES "/smbstatus/smbstatus-json-4.17-file-open-write.json";

std::string read_file(const std::string& path)
{
    std::string text;
    FILE* f = fopen(path.c_str(), "re");
    if (f == nullptr)
        return text;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;)
        text.append(buffer, n);
    (void)fclose(f);
    return text;
}

void write_file(const std::string& path, const std::string& text, mode_t mode = 0644)
{
    FILE* f = fopen(path.c_str(), "we");
    if (f == nullptr)
        return;
    (void)fwrite(text.data(), 1, text.size(), f);
    (void)fclose(f);
    (void)chmod(path.c_str(), mode);
}

void remove_tree(const std::string& root)
{
    (void)nftw(root.c_str(), [](const char* p, const struct stat*, int, FTW*) { return remove(p); }, 16,
               FTW_DEPTH | FTW_PHYS);
}

std::string temp_root()
{
    char tmpl[] = "/tmp/lw-bench-clients-XXXXXX";
    return mkdtemp(tmpl);
}

void BM_SmbClientsFake(benchmark::State& state)
{
    const std::string bin = temp_root();
    write_file(bin + "/smbstatus", "#!/bin/sh\nexec /bin/cat " + smb_listing + "\n", 0755);
    const std::string path = getenv("PATH");
    setenv("PATH", bin.c_str(), 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(smb_clients_scan().names.size());
    setenv("PATH", path.c_str(), 1);
    remove_tree(bin);
}
BENCHMARK(BM_SmbClientsFake)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

void BM_SmbstatusParse(benchmark::State& state)
{
    const std::string text = read_file(smb_listing);
    for (auto _ : state) {
        source_scan scan;
        benchmark::DoNotOptimize(parse_smbstatus_json(text, scan));
    }
}
BENCHMARK(BM_SmbstatusParse)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// state.range(0) clients, every fourth holding files open.
void BM_NfsClients(benchmark::State& state)
{
    const std::string root = temp_root();
    const std::string info = read_file(LW_FIXTURES "/nfsd/clients-info-6.6-confirmed.txt");
    const std::string open = read_file(LW_FIXTURES "/nfsd/clients-states-5.3-open-deleg.txt");
    mkdir((root + "/clients").c_str(), 0755);
    for (int i = 0; i < state.range(0); i++) {
        const std::string dir = root + "/clients/" + std::to_string(i + 1);
        mkdir(dir.c_str(), 0755);
        write_file(dir + "/info", info);
        write_file(dir + "/states", i % 4 == 0 ? open : std::string());
    }
    nfsd_path = root.c_str();
    for (auto _ : state)
        benchmark::DoNotOptimize(nfs_clients_scan().names.size());
    nfs_clients_reset();
    remove_tree(root);
}
BENCHMARK(BM_NfsClients)->Arg(4)->Arg(40)->ArgName("clients")->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// 0: 127.0.0.1, 1: 127.0.0.1 and ::1, 2: localhost (looked up in /etc/hosts).
void BM_PingLoopback(benchmark::State& state)
{
    const char* const lists[] = {"127.0.0.1", "127.0.0.1,::1", "localhost"};
    const char* list = lists[state.range(0)];
    for (auto _ : state) {
        const source_scan scan = ping_hosts_scan(list);
        if (!scan.answered || scan.names.empty()) {
            state.SkipWithError(("no answer: " + scan.failure).c_str());
            break;
        }
    }
    ping_hosts_reset();
}
BENCHMARK(BM_PingLoopback)->DenseRange(0, 2)->ArgName("hosts")->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

}  // namespace
