// Whether processes that a test started are gone.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

// Whether pid is a live process (a zombie left to an init that does not
// reap is not).
inline bool process_running(const std::string& pid)
{
    std::ifstream stat("/proc/" + pid + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t end = text.rfind(')');
    return end != std::string::npos && end + 2 < text.size() && text[end + 2] != 'Z';
}

// Whether any process whose pid is listed in file still runs, after letting
// killed ones go for up to a second.
inline bool any_process_left(const std::string& file)
{
    for (int tries = 0; tries < 100; tries++) {
        std::ifstream in(file);
        bool left = false;
        for (std::string pid; in >> pid;)
            left |= process_running(pid);
        if (!left)
            return false;
        usleep(10000);
    }
    return true;
}
