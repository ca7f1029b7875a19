#include "activity/share_clients.h"

#include <string>

#include "activity/nfs_clients.h"
#include "activity/smb_clients.h"
#include "activity/source_report.h"
#include "base/messages.h"
#include "base/settings.h"

source_health share_health;

namespace {

struct share_protocol {
    int32_t bit;
    const char* name;  // the reasons' subject
    source_scan (*scan)();
};

constexpr share_protocol share_protocols[] = {
    {share_clients_smb, "smb", smb_clients_scan},
    {share_clients_nfs, "nfs", nfs_clients_scan},
};

}  // namespace

void share_check(activity_check& check)
{
    std::string on;  // the protocols asked, for the recovery line
    source_findings found;
    for (const share_protocol& protocol : share_protocols) {
        if ((settings.share_clients & protocol.bit) == 0)
            continue;
        const source_scan scan = protocol.scan();
        if (scan.abandoned)
            return;
        if (!scan.answered) {
            // Busy already: the other protocol need not be asked.
            source_failed(check, share_health, "share", 
                          text_format(tr("共有ファイルの使用（%s）"), scan.failure.c_str()).c_str());
            return;
        }
        on += (on.empty() ? "" : ",") + std::string(protocol.name);
        for (const std::string& client : scan.names)
            findings_add(found, protocol.name, client);
    }
    if (on.empty())
        return;
    source_answered(share_health, text_format(tr("共有ファイルの使用（%s）"), on.c_str()).c_str());
    findings_report(check, found, tr("(共有ファイル使用中)"), "share");
}

void share_reset()
{
    smb_clients_reset();
    nfs_clients_reset();
    share_health = {};
}
