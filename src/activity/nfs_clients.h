// Clients of the kernel's NFSv4 server holding a file open, from
// /proc/fs/nfsd/clients/ID/{info,states} (kernel 5.3 and later). NFSv3
// keeps no such state on the server.
#pragma once

#include <cstdio>
#include <string>

#include "activity/source_scan.h"

constexpr const char* nfsd_path_default = "/proc/fs/nfsd";
extern const char* nfsd_path;  // where the nfsd file system is mounted

// What a client's info file says of it.
struct nfsd_client_info {
    // The address it connects from, unquoted and without its port
    // ("192.0.2.7", "2001:db8::7"), which changes at every reconnection;
    // empty when the file gives none.
    std::string address;
    // False once its lease has run out ("status: courtesy" or
    // "expirable"): the server keeps the state of a client that has gone
    // away, possibly for a day, until another client needs its files.
    bool current = true;
};

// Reads an info stream.
nfsd_client_info parse_nfsd_client_info(FILE* in);

// Whether a states stream lists an open file ("type: open"). Delegations
// do not count: a client keeps one to cache a file long after it closed
// it, and while the file is open the server also holds its open. Locks and
// layouts come only with an open.
bool parse_nfsd_states_open(FILE* in);

// Names the current clients that hold a file open, sorted. Not answered
// when nfsd_path has no clients directory (no NFS server, or a kernel that
// does not list its clients) or a client's states cannot be read.
source_scan nfs_clients_scan();

// Puts nfsd_path back.
void nfs_clients_reset();
