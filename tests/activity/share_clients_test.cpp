// Clients holding a file open: Samba's smbstatus --json through fakes on
// PATH, and the kernel's NFSv4 client directories through a tree built like
// /proc/fs/nfsd.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "activity/nfs_clients.h"
#include "activity/share_clients.h"
#include "activity/smb_clients.h"
#include "base/settings.h"
#include "support/test_support.h"

namespace {

using strings = std::vector<std::string>;

#define SMB_FIXTURE(name) "exec /bin/cat " LW_FIXTURES "/smbstatus/smbstatus-json-4.17-" name ".json\n"

TEST(SmbClients, OnlyAnOpenFileCountsAndAnyFailureCannotAnswer)
{
    const struct {
        const char* script;  // nullptr: no smbstatus on PATH
        bool answered;
        strings names;
    } cases[] = {
        {SMB_FIXTURE("no-client"), true, {}},
        {SMB_FIXTURE("session-no-open-file"), true, {}},
        {SMB_FIXTURE("file-open-read"), true, {"127.0.0.1"}},
        {SMB_FIXTURE("file-open-write"), true, {"127.0.0.1"}},
        {"echo 'smbstatus: lock database not found'; echo '{\"open_files\":'\n", false, {}},
        {"echo '{\"sessions\": {}}'; exit 1\n", false, {}},
        {"exec /bin/sleep 30\n", false, {}},
        {nullptr, false, {}},
    };
    const std::string path = getenv("PATH");
    smbstatus_deadline_ms = 300;
    const auto start = std::chrono::steady_clock::now();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script != nullptr ? c.script : "no smbstatus");
        temp_dir bin;
        if (c.script != nullptr)
            write_script(bin, "smbstatus", c.script);
        setenv("PATH", bin.path.c_str(), 1);
        const source_scan scan = smb_clients_scan();
        setenv("PATH", path.c_str(), 1);
        EXPECT_EQ(scan.answered, c.answered);
        EXPECT_EQ(scan.failure.empty(), c.answered) << scan.failure;
        EXPECT_EQ(scan.names, c.names);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));  // the hang was cut short
    smb_clients_reset();
}

TEST(SmbClients, EachOpenNamesTheClientOfItsProcess)
{
    // Process 20 has a session (IPv6), 30 only a tree connect, 40 nothing;
    // 10's session holds no file. Values of unexpected types are passed by.
    const std::string listing = R"({"sessions": {
          "1": {"server_id": {"pid": "10", "unique_id": "5"}, "hostname": "ipv4:192.0.2.10:4000"},
          "2": {"server_id": {"pid": "20", "unique_id": "6"}, "hostname": "ipv6:2001:db8::20:445"},
          "3": {"server_id": {"pid": "30", "unique_id": "9"}, "hostname": 3, "remote_machine": "OLD"},
          "4": 7},
        "tcons": {"8": {"server_id": {"pid": "30", "unique_id": "7"}, "machine": "laptop"}},
        "open_files": {
          "/srv/a": {"opens": {"20/1": {"server_id": {"pid": "20", "unique_id": "6"}},
                               "30/2": {"server_id": {"pid": "30", "unique_id": "7"}}}},
          "/srv/b": {"opens": {"40/3": {"server_id": []}}},
          "/srv/c": {"opens": {"20/4": {}}}}})";
    const struct {
        std::string text;
        bool read;
        strings names;
    } cases[] = {
        {listing, true, {"2001:db8::20", "laptop", "unknown"}},
        {R"({"open_files": {"/srv/d": {}}, "sessions": []})", true, {"unknown"}},
        {R"({"open_files": []})", false, {}},
        {R"([{"open_files": {}}])", false, {}},
        {"", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        source_scan scan;
        EXPECT_EQ(parse_smbstatus_json(c.text, scan), c.read);
        EXPECT_EQ(scan.names, c.names);
    }
}

TEST(NfsClients, CurrentClientsWithAnOpenFileByAddress)
{
    const std::string confirmed = read_fixture("nfsd/clients-info-6.6-confirmed.txt");
    std::string over_ipv6 = confirmed;
    over_ipv6.replace(over_ipv6.find("\"192.168.93.218:752\""), 20, "\"[2001:db8::5]:800\"");
    const struct {
        std::string info;
        const char* states;
    } clients[] = {
        {read_fixture("nfsd/clients-info-5.3-with-open-files.txt"), "clients-states-5.3-open-deleg.txt"},
        {confirmed, "clients-states-empty.txt"},
        {confirmed, "clients-states-deleg-without-file.txt"},                                      // a delegation alone
        {read_fixture("nfsd/clients-info-courtesy-admin-revoked.txt"), "clients-states-5.3-open-deleg.txt"},  // gone
        {over_ipv6, "clients-states-5.3-open-deleg.txt"},
        {"clientid: 0x1\n", "clients-states-5.3-open-deleg.txt"},
    };
    temp_dir root;
    nfsd_path = root.path.c_str();
    source_scan scan = nfs_clients_scan();
    EXPECT_FALSE(scan.answered);  // no clients directory: no server to ask
    EXPECT_NE(scan.failure.find("/clients"), std::string::npos);
    ASSERT_EQ(mkdir((root.path + "/clients").c_str(), 0755), 0);
    scan = nfs_clients_scan();
    EXPECT_TRUE(scan.answered);
    EXPECT_TRUE(scan.names.empty());
    for (std::size_t i = 0; i < std::size(clients); i++) {
        const std::string dir = "clients/" + std::to_string(i + 1);
        ASSERT_EQ(mkdir((root.path + "/" + dir).c_str(), 0755), 0);
        root.write(dir + "/info", clients[i].info);
        root.write(dir + "/states", read_fixture(std::string("nfsd/") + clients[i].states));
    }
    scan = nfs_clients_scan();
    EXPECT_TRUE(scan.answered);
    EXPECT_EQ(scan.names, (strings{"192.168.122.36", "2001:db8::5", "unknown"}));
    nfs_clients_reset();
}

// The check over a run of checks: one warning per failure, one recovery line.
TEST(ShareCheck, OpenFilesByProtocolAndOneWarningPerFailure)
{
    reset_program_state();
    settings.disp_level = 2;
    temp_dir bin;
    const struct {
        int32_t protocols;
        const char* smbstatus;
        strings reasons;
        const char* message;
        std::string output;  // its start, or nothing
    } cases[] = {
        {share_clients_smb, SMB_FIXTURE("file-open-read"), {"share:smb:127.0.0.1"},
         "(共有ファイル使用中:smb:127.0.0.1)", ""},
        {share_clients_smb, "echo '{\"open_files\": {}}'; exit 1\n", {"share:error"}, "(確認不可:share)",
         "警告：共有ファイルの使用（smbstatus --json（終了ステータス 1））を確認できません。"},
        {share_clients_smb, "exit 1\n", {"share:error"}, "(確認不可:share)", ""},
        {share_clients_smb, SMB_FIXTURE("session-no-open-file"), {}, "",
         "回復：共有ファイルの使用（smb）を再び確認できます。\n"},
        {0, FAKE_RUN_COUNT, {}, "", ""},  // off: smbstatus is never run
    };
    const std::string path = getenv("PATH");
    setenv("PATH", bin.path.c_str(), 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.smbstatus);
        write_script(bin, "smbstatus", c.smbstatus);
        settings.share_clients = c.protocols;
        activity_check check;
        const std::string output = capture_stdout([&] { share_check(check); });
        EXPECT_EQ(reason_tokens(check.reasons), c.reasons);
        EXPECT_EQ(check.busy, !c.reasons.empty());
        EXPECT_EQ(check.message, c.message);
        EXPECT_TRUE(c.output.empty() ? output.empty() : output.rfind(c.output, 0) == 0) << output;
    }
    setenv("PATH", path.c_str(), 1);
    EXPECT_NE(access((bin.path + "/smbstatus.count").c_str(), F_OK), 0);
    reset_program_state();
}

}  // namespace
