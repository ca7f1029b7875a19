#include "sampling/kernel_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

struct kept_file {
    std::string path;
    int fd;
};

std::vector<kept_file> kept_files;

// Reads all of fd from offset 0 into content. false on a read error.
bool read_from_start(int fd, std::string& content)
{
    content.clear();
    for (;;) {
        const std::size_t old = content.size();
        content.resize(old + 16384);
        const ssize_t n = pread(fd, &content[old], 16384, static_cast<off_t>(old));
        if (n < 0 && errno == EINTR) {
            content.resize(old);
            continue;
        }
        content.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
        if (n <= 0)
            return n == 0;
    }
}

kept_file* find_kept(const char* path)
{
    for (kept_file& f : kept_files) {
        if (f.path == path)
            return &f;
    }
    kept_files.push_back({path, -1});
    return &kept_files.back();
}

}  // namespace

bool kernel_file_read(const char* path, std::string& content)
{
    kept_file* f = find_kept(path);
    if (f->fd >= 0 && read_from_start(f->fd, content) && !content.empty())
        return true;
    if (f->fd >= 0)
        close(f->fd);
    f->fd = open(path, O_RDONLY | O_CLOEXEC);
    if (f->fd >= 0 && read_from_start(f->fd, content) && !content.empty())
        return true;
    content.clear();
    return false;
}

void kernel_files_close()
{
    for (const kept_file& f : kept_files) {
        if (f.fd >= 0)
            close(f.fd);
    }
    kept_files.clear();
}
