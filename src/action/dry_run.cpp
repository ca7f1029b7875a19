#include "action/dry_run.h"

#include <cstdio>

#include "base/messages.h"
#include "base/settings.h"

bool expiry_dry_run()
{
    if (settings.dry_run == 0)
        return false;
    const char* would_run = settings.command[0] != '\0' ? settings.command : default_expiry_text;
    printf(tr("ドライランのため実行しません：%s\n"), would_run);
    return true;
}
