// Storage maintenance: md through a temporary sysfs tree, zpool, btrfs and
// smartctl as fakes on PATH that print real captures.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <sys/stat.h>

#include "activity/storage.h"
#include "base/settings.h"
#include "base/stop.h"
#include "support/test_support.h"

namespace {

using jobs = std::vector<storage_job>;
using strings = std::vector<std::string>;

class Storage : public ::testing::Test {
protected:
    void SetUp() override
    {
        old_path = getenv("PATH");
        setenv("PATH", tools.path.c_str(), 1);
        storage_sys_root = sys.path.c_str();
    }
    void TearDown() override
    {
        setenv("PATH", old_path.c_str(), 1);
        reset_program_state();
    }
    // A fake tool on PATH: it records its arguments in NAME.args and prints
    // NAME.KEY, KEY being the last part of its last argument, then exits
    // with the status in NAME.KEY.rc (0 without one).
    void fake(const std::string& name) const
    {
        write_script(tools, name,
                     "for a; do key=${a##*/}; done; echo \"$*\" >> \"$0.args\"; rc=0\n"
                     "[ -f \"$0.$key.rc\" ] && read rc < \"$0.$key.rc\"; exec < \"$0.$key\"\n"
                     "while IFS= read -r l || [ -n \"$l\" ]; do printf '%s\\n' \"$l\"; done; exit $rc\n");
    }
    // What the fake prints and returns for one key.
    void answer(const std::string& tool, const std::string& key, const std::string& text, int rc = 0) const
    {
        tools.write(tool + "." + key, text);
        tools.write(tool + "." + key + ".rc", std::to_string(rc) + "\n");
    }
    // A file below the fake sysfs root, with its directories.
    void sys_write(const std::string& name, const std::string& text) const
    {
        for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
            mkdir((sys.path + "/" + name.substr(0, slash)).c_str(), 0755);
        sys.write(name, text);
    }
    std::string args(const std::string& tool) const
    {
        std::string text;
        return storage_file_read(tools.path + "/" + tool + ".args", text) ? text : "";
    }
    temp_dir tools;
    temp_dir sys;
    std::string old_path;
};

TEST_F(Storage, MdArraysBusyUnlessIdleOrFrozen)
{
    const strings words = {"check", "frozen", "idle", "recover", "repair", "reshape", "resync"};
    for (std::size_t i = 0; i < words.size(); i++)
        sys_write("block/md" + std::to_string(i) + "/md/sync_action", read_fixture("md/sync_action/" + words[i]));
    sys_write("block/md9/dev", "9:9\n");  // no array behind it: not asked
    sys_write("block/sda/md/sync_action", "resync\n");
    storage_reading reading;
    storage_read_md(reading);
    EXPECT_TRUE(reading.answered);
    EXPECT_EQ(reading.jobs, (jobs{{"md0", "check"}, {"md3", "recover"}, {"md4", "repair"}, {"md5", "reshape"},
                                  {"md6", "resync"}}));
    sys_write("block/md7/md/sync_action", "\n");
    storage_read_md(reading);
    EXPECT_FALSE(reading.answered);
    EXPECT_NE(reading.failure.find("md7/md/sync_action"), std::string::npos);
}

TEST_F(Storage, ZpoolScansInBothLayouts)
{
    const struct {
        const char* fixture;
        jobs found;
    } cases[] = {
        {"zpool/zpool-status-2.1-scrub-in-progress.txt", {{"ztest", "scrub"}}},
        {"zpool/zpool-status-2.1-resilver-in-progress.txt", {{"<YOUR POOL NAME>", "resilver"}}},
        {"zpool/zpool-status-2.1-scrub-finished.txt", {}},
        {"zpool/zpool-status-2.2plus-resilvered-degraded-unavail.txt", {}},
        {"zpool/zpool-status-2.2plus-scrub-finished-resilver-in-progress.txt", {{"vm-pool", "resilver"}}},
    };
    for (const auto& c : cases) {
        jobs found;
        EXPECT_TRUE(parse_zpool_status(read_fixture(c.fixture), found)) << c.fixture;
        EXPECT_EQ(found, c.found) << c.fixture;
    }
    jobs found;
    EXPECT_TRUE(parse_zpool_status("no pools available\n", found));
    EXPECT_FALSE(parse_zpool_status("internal error: out of memory\n", found));
    EXPECT_TRUE(parse_zpool_status("  pool: tank\n  scan: scrub paused since Mon Aug 29\n", found));
    EXPECT_TRUE(found.empty());
}

TEST_F(Storage, ZpoolAskedOnlyWithTheModuleAndCountedOnlyWhenItAnswers)
{
    fake("zpool");
    answer("zpool", "status", read_fixture("zpool/zpool-status-2.1-scrub-in-progress.txt"));
    storage_reading reading;
    storage_read_zfs(reading);
    EXPECT_EQ(args("zpool"), "");  // no zfs module
    sys_write("module/zfs/refcnt", "0\n");
    storage_read_zfs(reading);
    EXPECT_EQ(reading.jobs, (jobs{{"ztest", "scrub"}}));
    const struct {
        std::string script;
        const char* failure;
    } failures[] = {
        {"echo 'The ZFS modules cannot be auto-loaded.'; exit 1\n", "zpool status（終了ステータス 1）"},
        {"echo 'no pool here'\n", "zpool status（出力を読めません）"},
        {"exec /bin/sleep 5\n", "zpool status（1秒以内に終わりません）"},
    };
    storage_deadline_ms = 300;
    for (const auto& f : failures) {
        write_script(tools, "zpool", f.script);
        reading = {};
        storage_read_zfs(reading);
        EXPECT_FALSE(reading.answered);
        EXPECT_EQ(reading.failure, f.failure);
    }
}

TEST_F(Storage, BtrfsScrubAndExclusiveOperations)
{
    // The state, and whether it is a running scrub.
    for (const auto& [state, scrub] : std::map<std::string, bool>{{"never-run", false}, {"just-started", true},
             {"running", true}, {"finished", false}, {"aborted", false}}) {
        bool running = !scrub;
        const std::string capture = read_fixture("btrfs/btrfs-progs-6.2-scrub-status-" + state + ".txt");
        EXPECT_TRUE(parse_btrfs_scrub_status(capture, running));
        EXPECT_EQ(running, scrub) << state;
    }
    bool running = false;
    EXPECT_FALSE(parse_btrfs_scrub_status("ERROR: not a btrfs filesystem\n", running));
    // The file's word (file name), and the job it is.
    for (const auto& [word, job] : std::map<std::string, std::string>{
             {"none", ""}, {"balance", "balance"}, {"balance-paused", ""}, {"device-add", "device-add"},
             {"device-replace", "device-replace"}, {"resize", "resize"}, {"swap-activate", "swap-activate"}}) {
        std::string found = "?";
        const std::string capture = read_fixture("btrfs/exclusive_operation-linux-6.18/" + word);
        EXPECT_TRUE(parse_btrfs_exclusive_operation(capture, found));
        EXPECT_EQ(found, job) << word;
    }
}

TEST_F(Storage, BtrfsEachFilesystemOnce)
{
    const std::string table = tools.write("mounts", "/dev/vda / ext4 rw 0 0\n"
                                                    "/dev/lwt0 /srv/a\\040b btrfs rw,subvol=/ 0 0\n"
                                                    "/dev/lwt0 /home btrfs rw,subvol=/home 0 0\n"
                                                    "/dev/lwt1 /srv/second btrfs rw 0 0\n"
                                                    "/dev/lwt2 /data btrfs rw 0 0\n");
    storage_mounts_path = table.c_str();
    sys_write("fs/btrfs/0e1d/devices/lwt0", "");
    sys_write("fs/btrfs/0e1d/devices/lwt1", "");  // a second device of the same filesystem
    sys_write("fs/btrfs/0e1d/exclusive_operation", "balance\n");
    sys_write("fs/btrfs/77aa/devices/lwt2", "");
    sys_write("fs/btrfs/77aa/exclusive_operation", "none\n");
    fake("btrfs");
    answer("btrfs", "a b", read_fixture("btrfs/btrfs-progs-6.2-scrub-status-finished.txt"));
    answer("btrfs", "data", read_fixture("btrfs/btrfs-progs-6.2-scrub-status-just-started.txt"));
    storage_reading reading;
    storage_read_btrfs(reading);
    EXPECT_TRUE(reading.answered) << reading.failure;
    EXPECT_EQ(reading.jobs, (jobs{{"/srv/a b", "balance"}, {"/data", "scrub"}}));
    EXPECT_EQ(args("btrfs"), "scrub status /srv/a b\nscrub status /data\n");
    answer("btrfs", "data", "ERROR: permission denied\n", 1);
    reading = {};
    storage_read_btrfs(reading);
    EXPECT_EQ(reading.failure, "btrfs scrub status /data（終了ステータス 1）");
}

TEST_F(Storage, SmartSelfTestsWithoutWakingOrWarning)
{
    // The disk, the capture that smartctl prints for it and its exit status.
    const std::vector<std::tuple<std::string, std::string, int>> disks = {
        {"sda", "smartctl-7.3-c-ata-idle.txt", 0},
        {"sdb", "smartctl-7.2-c-ata-selftest-in-progress.txt", 0},
        {"sdc", "smartctl-7.3-n-standby-ata-in-standby.txt", 2},
        {"vda", "smartctl-7.3-c-virtio-vda.txt", 1},
        {"vdb", "smartctl-7.3-d-sat-n-standby-c-virtio-vda.txt", 2},
        {"nvme0n1", "smartctl-7.4-a-nvme-no-selftest.txt", 0},
        {"nvme1n1", "smartctl-pre7.4-a-nvme-selftest-in-progress.txt", 64},  // error log bit: still read
        {"nvme2n1", "smartctl-7.3-a-nvme.txt", 0},
    };
    fake("smartctl");
    strings names;
    for (const auto& [disk, fixture, rc] : disks) {
        answer("smartctl", disk, read_fixture("smartctl/" + fixture), rc);
        names.push_back(disk);
    }
    names.push_back("../sda");
    storage_reading reading;
    storage_read_smart(names, reading);
    EXPECT_TRUE(reading.answered) << reading.failure;
    EXPECT_EQ(reading.jobs, (jobs{{"sdb", "selftest"}, {"nvme1n1", "selftest"}}));
    EXPECT_EQ(reading.asleep, strings{"sdc"});
    EXPECT_EQ(reading.unidentified, (strings{"vda", "vdb", "../sda"}));
    EXPECT_EQ(reading.blind, strings{"nvme2n1"});
    EXPECT_NE(args("smartctl").find("-n standby -c /dev/sda\n"), std::string::npos);
    EXPECT_NE(args("smartctl").find("-n standby -a /dev/nvme0n1\n"), std::string::npos);
    answer("smartctl", "sda", "smartctl 7.3 2022-02-28 r5338\n\n=======> UNRECOGNIZED OPTION: n\n", 1);
    reading = {};
    storage_read_smart({"sda"}, reading);
    EXPECT_EQ(reading.failure, "smartctl /dev/sda（終了ステータス 1、出力を読めません）");
}

TEST_F(Storage, SourceNamesJobsWarnsOnceAndSaysWhenItAnswersAgain)
{
    sys_write("block/md0/md/sync_action", "resync\n");
    sys_write("module/zfs/refcnt", "0\n");
    fake("zpool");
    fake("smartctl");
    answer("smartctl", "sdb", read_fixture("smartctl/smartctl-7.2-c-ata-selftest-in-progress.txt"));
    answer("zpool", "status", "The ZFS modules cannot be auto-loaded.\n", 1);
    activity_check check;
    storage_check(check, {"sdb"});
    EXPECT_EQ(args("smartctl") + args("zpool"), "");  // off: nothing asked
    settings.storage_jobs = 1;
    stop_request(SIGTERM);  // the check is abandoned: nothing said
    EXPECT_EQ(capture_stdout([&] { storage_check(check, {"sdb"}); }), "");
    stop_reset();
    for (int i = 0; i < 3; i++) {  // failing twice, then answering
        if (i == 2)
            answer("zpool", "status", read_fixture("zpool/zpool-status-2.1-scrub-finished.txt"));
        check = {};
        const std::string printed = capture_stdout([&] { storage_check(check, {"sdb"}); });
        EXPECT_EQ(printed.find("警告：ストレージ処理（zpool status（終了ステータス 1））") != std::string::npos, i == 0);
        EXPECT_EQ(printed == "回復：ストレージ処理を再び確認できます。\n", i == 2) << printed;
        EXPECT_EQ(reason_tokens(check.reasons).back(), i < 2 ? "storage:error" : "storage:sdb:selftest");
    }
    EXPECT_EQ(reason_tokens(check.reasons), (strings{"storage:md0:resync", "storage:sdb:selftest"}));
    EXPECT_EQ(check.message, "(ストレージ処理中)");
}

}  // namespace
