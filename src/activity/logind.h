// Login sessions and inhibitor locks as activity, asked of systemd-logind
// on the system bus (activity/system_bus.h): each check's exchanges fit in
// one deadline, and a bus that went away and came back is followed.
#pragma once

#include "base/activity.h"
#include "base/source_table.h"

// settings.user_sessions any: busy while a session of class "user" exists
// (one that is closing, after its user logged out, does not count); active:
// only while such a session is not idle. "(ログイン中)" and
// "session:USER@WHERE", WHERE being the remote host, else the terminal,
// else the seat, else the session's id.
void session_check(activity_check& check);

// settings.inhibitors on: busy while an inhibitor lock in mode "block"
// holds shutdown, sleep or idle. "(抑止ロック)" and "inhibitor:WHO:WHAT".
void inhibitor_check(activity_check& check);

extern source_health session_health;
extern source_health inhibitor_health;

// Closes the connection and forgets failures.
void logind_reset();
