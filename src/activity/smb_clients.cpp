#include "activity/smb_clients.h"

#include <nlohmann/json.hpp>
#include <string>
#include <sys/wait.h>

#include "base/child.h"
#include "base/messages.h"

int smbstatus_deadline_ms = smbstatus_deadline_ms_default;

namespace {

using json = nlohmann::json;

// The member key of object as text (a number in its decimal form), or
// empty when there is none or it is something else.
std::string member_text(const json& object, const char* key)
{
    const auto it = object.find(key);  // end() also when object is no object
    if (it == object.end())
        return {};
    if (it->is_string())
        return it->get<std::string>();
    return it->is_number_integer() ? it->dump() : std::string();
}

// Whether two server ids name the same smbd process: the same pid, and the
// same cluster node and process instance wherever both give them.
bool same_server(const json& a, const json& b)
{
    const std::string pid = member_text(a, "pid");
    if (pid.empty() || pid != member_text(b, "pid"))
        return false;
    for (const char* key : {"vnn", "unique_id"}) {
        const std::string x = member_text(a, key);
        const std::string y = member_text(b, key);
        if (!x.empty() && !y.empty() && x != y)
            return false;
    }
    return true;
}

// The address in a session's hostname, "ipv4:192.0.2.7:50412" or
// "ipv6:2001:db8::7:50412" (the port last), or empty for any other form.
std::string hostname_address(const std::string& hostname)
{
    const std::size_t colon = hostname.find(':');
    const std::size_t port = hostname.rfind(':');
    const std::string kind = hostname.substr(0, colon == std::string::npos ? 0 : colon);
    if ((kind != "ipv4" && kind != "ipv6" && kind != "ip") || port <= colon + 1)
        return {};
    return hostname.substr(colon + 1, port - colon - 1);
}

// Adds the name of every entry of status[table] that belongs to server:
// the address in its hostname, else its member name_key. Returns whether
// one was named.
bool add_entries_of(const json& status, const char* table, const char* name_key, const json& server,
                    source_scan& scan)
{
    const auto entries = status.find(table);
    if (entries == status.end() || !entries->is_object())
        return false;
    bool found = false;
    for (const auto& entry : entries->items()) {
        const auto id = entry.value().find("server_id");
        if (id == entry.value().end() || !same_server(*id, server))
            continue;
        std::string name = hostname_address(member_text(entry.value(), "hostname"));
        if (name.empty())
            name = member_text(entry.value(), name_key);
        if (!name.empty()) {
            scan_add_name(scan, std::move(name));
            found = true;
        }
    }
    return found;
}

// The smbd process that holds an open: its server id, else the pid in the
// open's key "PID/FILE_ID".
json open_server(const std::string& key, const json& open)
{
    const auto id = open.find("server_id");
    if (id != open.end() && id->is_object())
        return *id;
    return json{{"pid", key.substr(0, key.find('/'))}};
}

}  // namespace

bool parse_smbstatus_json(std::string_view text, source_scan& scan)
{
    const json status = json::parse(text.begin(), text.end(), nullptr, false);
    if (status.is_discarded() || !status.is_object())
        return false;
    const auto files = status.find("open_files");
    if (files == status.end() || !files->is_object())
        return false;
    for (const auto& file : files->items()) {
        const auto opens = file.value().find("opens");
        const bool listed = opens != file.value().end() && opens->is_object() && !opens->empty();
        if (!listed) {
            scan_add_name(scan, "unknown");  // a file without its opens still counts
            continue;
        }
        for (const auto& open : opens->items()) {
            const json server = open_server(open.key(), open.value());
            if (!add_entries_of(status, "sessions", "remote_machine", server, scan) &&
                !add_entries_of(status, "tcons", "machine", server, scan))
                scan_add_name(scan, "unknown");
        }
    }
    return true;
}

namespace {

// What failed when smbstatus did not end well, or empty when it did.
std::string smbstatus_failure(const child_outcome& outcome)
{
    const char* const name = "smbstatus --json";
    switch (outcome.result) {
    case child_not_started:
        return text_format(tr("%s（起動できません）"), name);
    case child_timed_out:
        return text_format(tr("%s（%d秒以内に終わりません）"), name, smbstatus_deadline_ms / 1000);
    case child_too_much:
        return text_format(tr("%s（出力が大きすぎます）"), name);
    case child_stopped:
    case child_done:
        break;
    }
    if (WIFSIGNALED(outcome.status))
        return text_format(tr("%s（シグナル %d で終了）"), name, WTERMSIG(outcome.status));
    if (!WIFEXITED(outcome.status) || WEXITSTATUS(outcome.status) != 0)
        return text_format(tr("%s（終了ステータス %d）"), name, WEXITSTATUS(outcome.status));
    return {};
}

}  // namespace

source_scan smb_clients_scan()
{
    static const char* const argv[] = {"smbstatus", "--json", nullptr};
    child_spec job;
    job.argv = argv;
    job.deadline_ms = smbstatus_deadline_ms;
    job.output_cap = smbstatus_output_cap;
    std::string output;
    const child_outcome outcome = child_run(job, &output);
    source_scan scan;
    scan.abandoned = outcome.result == child_stopped;
    scan.failure = smbstatus_failure(outcome);
    // A listing printed before a failure may be cut short: only a
    // successful run answers.
    if (scan.abandoned || !scan.failure.empty())
        return scan;
    scan.answered = parse_smbstatus_json(output, scan);
    if (!scan.answered) {
        scan.names.clear();
        scan.failure = text_format(tr("%s（出力を読めません）"), "smbstatus --json");
    }
    return scan;
}

void smb_clients_reset()
{
    smbstatus_deadline_ms = smbstatus_deadline_ms_default;
}
