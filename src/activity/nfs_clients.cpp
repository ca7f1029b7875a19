#include "activity/nfs_clients.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <unistd.h>

#include "base/messages.h"
#include "base/streams.h"

const char* nfsd_path = nfsd_path_default;

namespace {

// Calls line(text) with the start of each line of in (at most 255 bytes,
// without its newline) until line returns false. The rest of a longer line
// is skipped: every field read here comes first on its line.
template <typename F>
void for_each_line_start(FILE* in, F line)
{
    char chunk[256];
    bool at_start = true;
    while (fgets(chunk, sizeof chunk, in) != nullptr) {
        const bool starts = at_start;
        at_start = strchr(chunk, '\n') != nullptr;
        if (starts && !line(std::string_view(chunk, strcspn(chunk, "\n"))))
            return;
    }
}

// "\"192.0.2.7:935\"" or "\"[2001:db8::7]:935\"" without quotes and port.
std::string address_without_port(std::string_view text)
{
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    if (!text.empty() && text.front() == '[') {
        const std::size_t end = text.find(']');
        return std::string(end == std::string_view::npos ? text.substr(1) : text.substr(1, end - 1));
    }
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos)
        text = text.substr(0, colon);  // one colon: IPv4 and its port
    return std::string(text);
}

}  // namespace

nfsd_client_info parse_nfsd_client_info(FILE* in)
{
    nfsd_client_info client;
    for_each_line_start(in, [&](std::string_view line) {
        if (line.rfind("address: ", 0) == 0)
            client.address = address_without_port(line.substr(9));
        else if (line == "status: courtesy" || line == "status: expirable")
            client.current = false;
        return true;
    });
    return client;
}

bool parse_nfsd_states_open(FILE* in)
{
    // "- 0x0100…: { type: open, access: r-, deny: --, … }"
    bool open = false;
    for_each_line_start(in, [&](std::string_view line) {
        const std::size_t type = line.find("{ type: ");
        if (type != std::string_view::npos) {
            const std::string_view word = line.substr(type + 8);
            open = word.substr(0, word.find_first_of(", }")) == "open";
        }
        return !open;
    });
    return open;
}

namespace {

// Opens the file name of the client directory client below dir.
file_stream client_file(int dir, const char* client, const char* name)
{
    char path[512];
    if (snprintf(path, sizeof path, "%s/%s", client, name) >= static_cast<int>(sizeof path)) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    const int fd = openat(dir, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    file_stream stream(fdopen(fd, "r"));
    if (!stream)
        (void)close(fd);
    return stream;
}

struct dir_closer {
    void operator()(DIR* d) const { (void)closedir(d); }
};

}  // namespace

source_scan nfs_clients_scan()
{
    source_scan scan;
    const std::string clients = std::string(nfsd_path) + "/clients";
    std::unique_ptr<DIR, dir_closer> dir(opendir(clients.c_str()));
    if (!dir) {
        const int error = errno;
        scan.failure = text_format(tr("%s（%s）"), clients.c_str(), strerror(error));
        return scan;
    }
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.')
            continue;
        errno = 0;
        file_stream states = client_file(dirfd(dir.get()), entry->d_name, "states");
        if (!states && errno != ENOENT) {
            const int error = errno;
            const std::string path = clients + "/" + entry->d_name + "/states";
            scan.failure = text_format(tr("%s（%s）"), path.c_str(), strerror(error));
            scan.names.clear();
            return scan;
        }
        if (!states || !parse_nfsd_states_open(states.get()))
            continue;  // gone since the listing, or nothing open
        file_stream info = client_file(dirfd(dir.get()), entry->d_name, "info");
        const nfsd_client_info client = info ? parse_nfsd_client_info(info.get()) : nfsd_client_info{};
        if (client.current)
            scan_add_name(scan, client.address.empty() ? "unknown" : client.address);
    }
    std::sort(scan.names.begin(), scan.names.end());
    scan.answered = true;
    return scan;
}

void nfs_clients_reset()
{
    nfsd_path = nfsd_path_default;
}
