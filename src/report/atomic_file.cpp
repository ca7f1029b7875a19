#include "report/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/journal.h"
#include "base/messages.h"

namespace {

// Writes all of data; returns 0 or errno.
int write_all(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// Fills the temporary file; returns 0 or errno. The descriptor is closed.
int fill_temporary(int fd, std::string_view content, bool sync)
{
    int error = fchmod(fd, 0644) != 0 ? errno : 0;
    if (error == 0)
        error = write_all(fd, content);
    if (error == 0 && sync && fdatasync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

}  // namespace

int atomic_file_write(const char* path, std::string_view content, bool sync)
{
    // Same directory, so that the rename replaces path in one step.
    std::string temporary = std::string(path) + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = fill_temporary(fd, content, sync);
    if (error == 0 && rename(temporary.c_str(), path) != 0)
        error = errno;
    if (error != 0)
        (void)unlink(temporary.c_str());
    return error;
}

void atomic_file_publish(const char* path, std::string_view content, bool& failing, const char* what)
{
    const int error = atomic_file_write(path, content);
    if (error != 0 && !failing)
        printf(tr("%s警告：%sを書き込めません：%s（%s）\n"), journal_prefix(journal_warning), what, path, strerror(error));
    failing = error != 0;
}
