#include "config/config_trust.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "base/journal.h"
#include "base/messages.h"

namespace {

bool owner_trusted(uid_t uid)
{
    return uid == 0 || uid == geteuid();
}

// Group write counts only when the group is not root's.
bool writable_by_others(const struct stat& st)
{
    return (st.st_mode & S_IWOTH) != 0 || ((st.st_mode & S_IWGRP) != 0 && st.st_gid != 0);
}

bool same_file(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// False while a file is only looked into (for the language of the
// messages): its refusal is printed when it is really read.
bool refusals_printed = true;

void refuse(const char* path, const char* reason)
{
    if (refusals_printed)
        printf(tr("%s設定ファイルを使用しません（%s）：%s\n"), journal_prefix(journal_error), reason, path);
}

bool file_trusted(const char* path, const struct stat& st)
{
    if (!S_ISREG(st.st_mode)) {
        refuse(path, tr("通常のファイルではありません"));
        return false;
    }
    if (writable_by_others(st)) {
        refuse(path, tr("他のユーザーが書き込み可能"));
        return false;
    }
    if (!owner_trusted(st.st_uid)) {
        refuse(path, tr("所有者が root でも実行ユーザーでもありません"));
        return false;
    }
    return true;
}

// Checks one directory that holds an entry owned by entry_uid.
bool directory_trusted(const char* path, const std::string& dir, const struct stat& st, uid_t entry_uid)
{
    if (!owner_trusted(st.st_uid)) {
        if (refusals_printed)
            printf(tr("%s設定ファイルを使用しません（ディレクトリ %s の所有者が root でも実行ユーザーでもありません）：%s\n"),
               journal_prefix(journal_error), dir.c_str(), path);
        return false;
    }
    // In a sticky directory only an entry's owner can replace it.
    const bool sticky_safe = (st.st_mode & S_ISVTX) != 0 && owner_trusted(entry_uid);
    if (writable_by_others(st) && !sticky_safe) {
        if (refusals_printed)
            printf(tr("%s設定ファイルを使用しません（ディレクトリ %s を他のユーザーが書き換え可能）：%s\n"),
               journal_prefix(journal_error), dir.c_str(), path);
        return false;
    }
    return true;
}

std::string parent_of(const std::string& dir)
{
    const size_t slash = dir.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? "/" : dir.substr(0, slash);
}

// Walks from the directory dir_fd (named dir) up to "/", each step through
// "..", so that every directory checked is one that really holds the last.
// Takes dir_fd over and closes it.
bool directories_trusted(const char* path, int dir_fd, std::string dir, uid_t entry_uid)
{
    for (;;) {
        struct stat st;
        if (fstat(dir_fd, &st) != 0) {
            refuse(path, tr("状態を取得できません"));
            close(dir_fd);
            return false;
        }
        if (!directory_trusted(path, dir, st, entry_uid)) {
            close(dir_fd);
            return false;
        }
        const int parent_fd = openat(dir_fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        close(dir_fd);
        struct stat parent;
        if (parent_fd < 0 || fstat(parent_fd, &parent) != 0) {
            if (parent_fd >= 0)
                close(parent_fd);
            refuse(path, tr("状態を取得できません"));
            return false;
        }
        if (same_file(parent, st)) {  // "/" is its own parent
            close(parent_fd);
            return true;
        }
        dir_fd = parent_fd;
        dir = parent_of(dir);
        entry_uid = st.st_uid;
    }
}

// The directory that holds the resolved file must still hold it as that
// name; then it and every directory above it are checked.
bool holders_trusted(const char* path, const std::string& real_path, const struct stat& st)
{
    const size_t slash = real_path.find_last_of('/');
    const std::string dir = parent_of(real_path);
    const int dir_fd = open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat entry;
    if (dir_fd < 0 || fstatat(dir_fd, real_path.c_str() + slash + 1, &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
        !same_file(entry, st)) {
        if (dir_fd >= 0)
            close(dir_fd);
        refuse(path, tr("確認中に置き換えられました"));
        return false;
    }
    return directories_trusted(path, dir_fd, dir, st.st_uid);
}

}  // namespace

namespace {

trust_outcome trusted_open(const char* path, file_stream* out, struct stat* st)
{
    // Looked at before it is opened, so that a FIFO or a device node is
    // never opened (opening some devices acts on them); the opened file is
    // checked again below.
    struct stat named;
    if (stat(path, &named) != 0 || S_ISDIR(named.st_mode))
        return trust_missing;
    if (!S_ISREG(named.st_mode)) {
        refuse(path, tr("通常のファイルではありません"));
        return trust_refused;
    }
    char* real = realpath(path, nullptr);
    if (real == nullptr)
        return trust_missing;
    const std::string real_path(real);
    free(real);
    // Whatever took the resolved name's place meanwhile: a link is not
    // followed and a FIFO does not block. Close-on-exec: the device lookups
    // a file asks for start commands.
    const int fd = open(real_path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return trust_missing;
    file_stream fp(fdopen(fd, "r"));
    if (!fp) {
        close(fd);
        return trust_missing;
    }
    if (fstat(fd, st) != 0) {
        refuse(path, tr("状態を取得できません"));
        return trust_refused;
    }
    // A directory is no file at all: like a missing one, it lets the next
    // candidate be read.
    if (S_ISDIR(st->st_mode))
        return trust_missing;
    if (!file_trusted(path, *st) || !holders_trusted(path, real_path, *st))
        return trust_refused;
    *out = std::move(fp);
    return trust_opened;
}

}  // namespace

trust_outcome config_trusted_open(const char* path, file_stream* out, struct stat* st, bool quiet)
{
    refusals_printed = !quiet;
    const trust_outcome outcome = trusted_open(path, out, st);
    refusals_printed = true;
    return outcome;
}
