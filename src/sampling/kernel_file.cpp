#include "sampling/kernel_file.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

struct kept_file {
    std::string path;
    int fd;
};

std::vector<kept_file> kept_files;

// The least room left for each read.
constexpr std::size_t read_chunk = 16384;

// Reads all of fd from offset 0 into buffer; length is what was read. false
// on a read error.
bool read_from_start(int fd, std::vector<char>& buffer, std::size_t& length)
{
    length = 0;
    for (;;) {
        if (buffer.size() - length < read_chunk)
            buffer.resize(length + read_chunk);
        const ssize_t n = pread(fd, buffer.data() + length, buffer.size() - length, static_cast<off_t>(length));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        length += static_cast<std::size_t>(n);
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

std::size_t kernel_file_read(const char* path, std::vector<char>& buffer)
{
    kept_file* f = find_kept(path);
    std::size_t length = 0;
    if (f->fd >= 0 && read_from_start(f->fd, buffer, length) && length > 0)
        return length;
    if (f->fd >= 0)
        close(f->fd);
    f->fd = open(path, O_RDONLY | O_CLOEXEC);
    if (f->fd >= 0 && read_from_start(f->fd, buffer, length) && length > 0)
        return length;
    return 0;
}

void kernel_files_close()
{
    for (const kept_file& f : kept_files) {
        if (f.fd >= 0)
            close(f.fd);
    }
    kept_files.clear();
}
