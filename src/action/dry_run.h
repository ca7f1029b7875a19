// The dry run: at expiry, say which command would run instead of running it.
#pragma once

// Called by the expiry action after its first line. With dry_run set, prints
// one line naming the command that would run (the configured one or the
// default sequence) and returns true: the caller runs nothing. Without it
// prints nothing and returns false.
bool expiry_dry_run();
