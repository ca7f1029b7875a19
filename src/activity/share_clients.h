// Clients holding a file open on a share as activity: SMB through
// smbstatus, NFSv4 through the kernel's client directories, each as
// settings.share_clients switches it on. One source, one health: a
// protocol that cannot answer makes the whole source fail.
#pragma once

#include "base/activity.h"
#include "base/source_table.h"

// Busy with "(共有ファイル使用中)" and "share:PROTOCOL:CLIENT" per client
// holding a file open; off while no protocol is switched on.
void share_check(activity_check& check);
extern source_health share_health;

// Puts both readers' seams back and forgets a failure.
void share_reset();
