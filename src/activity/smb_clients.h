// Clients holding a file open on an SMB share, as Samba's `smbstatus
// --json` (Samba 4.16 and later) lists them. Only an open file counts: a
// session or a tree connect alone does not, since clients keep those for
// hours after their last file was closed.
#pragma once

#include <cstddef>
#include <string_view>

#include "activity/source_scan.h"

constexpr int smbstatus_deadline_ms_default = 10000;
extern int smbstatus_deadline_ms;
// A busy server's listing is some 1.5 KB per open file; more than this
// much output is no listing.
constexpr std::size_t smbstatus_output_cap = 16 << 20;

// Reads the text of `smbstatus --json` and adds to scan.names the client of
// every open file: the address of the session that owns the open (matched
// by the smbd process both name), else its remote machine name, else the
// machine of that process's tree connect, else "unknown". Returns false
// when the text is not such a listing.
bool parse_smbstatus_json(std::string_view text, source_scan& scan);

// Runs `smbstatus --json` and names the clients holding a file open. Not
// answered when smbstatus is not on PATH, ends with a status other than 0
// or by a signal, overruns its deadline or its output cap, or prints what
// cannot be read; abandoned when a stop request ended the wait.
source_scan smb_clients_scan();

// Puts the deadline back.
void smb_clients_reset();
