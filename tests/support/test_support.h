// Shared helpers of the test suite.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

// The opening of a fake command's script: counts its runs in "$0.count"
// and leaves the count in $n.
#define FAKE_RUN_COUNT "n=0; [ -f \"$0.count\" ] && read n < \"$0.count\"; n=$((n + 1)); echo $n > \"$0.count\"\n"

// Puts every process-wide value of the program back to its start state:
// settings, lists, activity bits, idle time and the replaceable seams.
void reset_program_state();

// Runs body with standard output redirected and returns what it printed.
std::string capture_stdout(const std::function<void()>& body);

// Standard output redirected into a temporary file for the object's
// lifetime. text() may be called while other threads still print.
class stdout_capture {
public:
    stdout_capture();
    ~stdout_capture();
    stdout_capture(const stdout_capture&) = delete;
    stdout_capture& operator=(const stdout_capture&) = delete;
    // Everything printed so far, buffered text included.
    std::string text() const;
    // Puts standard output back; later text goes to the real output, and
    // text() still returns what was captured.
    void restore();

private:
    int fd_ = -1;
    int saved_ = -1;
};

// Opens text as a read-only stream (fmemopen); the caller fcloses it.
FILE* open_text(const std::string& text);

// Reads a fixture file of tests/fixtures.
std::string read_fixture(const std::string& name);

// A fresh temporary directory, removed with everything in it by the
// destructor.
struct temp_dir {
    std::string path;
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    // Writes a file below the directory and returns its path.
    std::string write(const std::string& name, const std::string& content, int mode = 0644) const;
};

// Result of one run of the built binary.
struct run_result {
    std::string output;  // standard output and standard error, interleaved
    int status = -1;     // exit status, or -1 when it was killed
    bool timed_out = false;
};

// Options of a run of the built binary.
struct run_options {
    std::vector<std::string> args;             // after the program name
    std::map<std::string, std::string> env;    // added to or replacing the environment
    std::string cwd;                           // empty: the test's own
    // PATH of the run. A directory of harmless stand-ins for shutdown,
    // poweroff, reboot, halt and sync always comes first; empty: only those.
    std::string path = "/usr/bin:/bin";
    bool fast_sleep = true;                    // preload the short-sleep shim
    double timeout_seconds = 20;
    // Stop the run as soon as the output contains this text (empty: wait for exit).
    std::string until;
    // Called with all the output so far each time more arrives, so that a
    // test can change the machine while the program watches it.
    std::function<void(const std::string& output)> on_output;
};

// Runs the built lullwatcher binary. Its sleeps are made short unless
// fast_sleep is false.
run_result run_lullwatcher(const run_options& options);

// Writes an executable shell script into dir.
std::string write_script(const temp_dir& dir, const std::string& name, const std::string& body);
