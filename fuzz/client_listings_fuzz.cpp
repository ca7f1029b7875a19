// Fuzzes the readers of client listings: the same input as the JSON of
// smbstatus and as an nfsd client's info and states files.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "activity/nfs_clients.h"
#include "activity/smb_clients.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    source_scan scan;
    if (parse_smbstatus_json(std::string_view(reinterpret_cast<const char*>(data), size), scan) &&
        scan.names.empty() && size < 2)
        abort();  // no listing is that short
    for (std::size_t i = 0; i < scan.names.size(); i++)
        if (scan.names[i].empty())
            abort();
    FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (in == nullptr)
        return 0;
    (void)parse_nfsd_client_info(in);
    rewind(in);
    (void)parse_nfsd_states_open(in);
    fclose(in);
    return 0;
}
