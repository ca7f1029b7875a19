#include "support/test_support.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <ftw.h>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/sources.h"
#include "base/child.h"
#include "base/messages.h"
#include "calibrate/calibration.h"
#include "action/command.h"
#include "base/settings.h"
#include "base/journal.h"
#include "base/progress.h"
#include "core/watch.h"
#include "devices/registry.h"
#include "devices/watcher.h"
#include "report/report.h"
#include "sampling/drive.h"
#include "sampling/sources.h"
#include "sampling/traffic.h"

extern char** environ;

void reset_program_state()
{
    // One call per module, putting back its state and seams. Devices first:
    // their watcher threads read the settings. The configuration reader
    // keeps nothing from one call to the next.
    devices_reset();
    settings_reset();
    device_operation_disp_done.store(0);
    sampling_reset();
    core_reset();
    calibrate_reset();
    report_reset();
    journal_reset();
    sources_reset();
    child_reset();
    messages_reset();
}

stdout_capture::stdout_capture()
{
    fflush(stdout);
    char name[] = "/tmp/lw-stdout-XXXXXX";
    fd_ = mkstemp(name);
    unlink(name);
    saved_ = dup(STDOUT_FILENO);
    dup2(fd_, STDOUT_FILENO);
}

std::string stdout_capture::text() const
{
    // stdio locks the stream, so this flush is safe beside printing threads.
    fflush(stdout);
    std::string out;
    char buf[4096];
    off_t at = 0;
    ssize_t n;
    while ((n = pread(fd_, buf, sizeof buf, at)) > 0) {
        out.append(buf, static_cast<size_t>(n));
        at += n;
    }
    return out;
}

void stdout_capture::restore()
{
    if (saved_ < 0)
        return;
    fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
    saved_ = -1;
}

stdout_capture::~stdout_capture()
{
    restore();
    close(fd_);
}

std::string capture_stdout(const std::function<void()>& body)
{
    stdout_capture capture;
    body();
    return capture.text();
}

FILE* open_text(const std::string& text)
{
    // fmemopen refuses an empty buffer; /dev/null is the empty stream.
    if (text.empty())
        return fopen("/dev/null", "r");
    // The stream reads the buffer in place, so it must outlive the stream.
    static std::vector<std::unique_ptr<std::string>> keep;
    keep.push_back(std::make_unique<std::string>(text));
    return fmemopen(keep.back()->data(), keep.back()->size(), "r");
}

std::string read_fixture(const std::string& name)
{
    std::ifstream in(std::string(LW_FIXTURES) + "/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

temp_dir::temp_dir()
{
    char tmpl[] = "/tmp/lw-test-XXXXXX";
    path = mkdtemp(tmpl);
}

temp_dir::~temp_dir()
{
    nftw(path.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); },
         16, FTW_DEPTH | FTW_PHYS);
}

std::string temp_dir::write(const std::string& name, const std::string& content, int mode) const
{
    const std::string file = path + "/" + name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    chmod(file.c_str(), static_cast<mode_t>(mode));
    return file;
}

std::string write_script(const temp_dir& dir, const std::string& name, const std::string& body)
{
    return dir.write(name, "#!/bin/sh\n" + body, 0755);
}

namespace {

// Stand-ins for the commands that must never run for real: every run of the
// binary finds them first on its PATH. Each prints what it was asked.
const std::string& guard_dir()
{
    static temp_dir dir;
    static bool made = false;
    if (!made) {
        for (const char* name : {"shutdown", "poweroff", "reboot", "halt", "sync"})
            write_script(dir, name, std::string("echo \"fake-") + name + ": $*\"\n");
        made = true;
    }
    return dir.path;
}

std::vector<std::string> build_environment(const run_options& options)
{
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; e++) {
        const char* eq = strchr(*e, '=');
        if (eq)
            env[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
    }
    env["PATH"] = options.path.empty() ? guard_dir() : guard_dir() + ":" + options.path;
    // The sanitizer runtime must not refuse the preloaded shim.
    env["ASAN_OPTIONS"] = "verify_asan_link_order=0:detect_leaks=0";
    if (options.fast_sleep)
        env["LD_PRELOAD"] = LW_FAST_SLEEP;
    for (const auto& kv : options.env)
        env[kv.first] = kv.second;
    std::vector<std::string> out;
    for (const auto& kv : env)
        out.push_back(kv.first + "=" + kv.second);
    return out;
}

}  // namespace

run_result run_lullwatcher(const run_options& options)
{
    std::vector<std::string> env = build_environment(options);
    std::vector<std::string> args{LW_BINARY};
    args.insert(args.end(), options.args.begin(), options.args.end());

    int pipefd[2];
    if (pipe2(pipefd, O_CLOEXEC) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipefd[1], STDOUT_FILENO);
        dup2(pipefd[1], STDERR_FILENO);
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0)
            _exit(126);
        setpgid(0, 0);
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(pipefd[1]);

    run_result result;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long>(options.timeout_seconds * 1000));
    bool stop = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            result.timed_out = true;
            stop = true;
            break;
        }
        pollfd pfd{pipefd[0], POLLIN, 0};
        if (poll(&pfd, 1, static_cast<int>(left)) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = read(pipefd[0], buf, sizeof buf);
        if (n <= 0)
            break;
        result.output.append(buf, static_cast<size_t>(n));
        if (options.on_output)
            options.on_output(result.output);
        if (!options.until.empty() && result.output.find(options.until) != std::string::npos) {
            stop = true;
            break;
        }
    }
    if (stop)
        kill(-pid, SIGKILL);
    close(pipefd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
