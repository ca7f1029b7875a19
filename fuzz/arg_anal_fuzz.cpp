// Fuzzes the command-line parser: the input is the argument list, one
// argument per NUL-separated part.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "config/args.h"
#include "fuzz_config_setup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_config_setup();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // A value of "-f" (any argument may be one) must name a file of the
    // private directory.
    if (text.find('/') != std::string_view::npos)
        return 0;
    std::vector<std::string> args{"lullwatcher"};
    size_t start = 0;
    while (start <= text.size() && args.size() < 64) {
        const size_t end = text.find('\0', start);
        args.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    fuzz_config_reset();
    int result = 0;
    fuzz_in_own_dir([&] { result = arg_anal(static_cast<int>(args.size()), argv.data()); });
    // -st and --version end the start with their own status; nothing else may.
    if (result != 0 && result != -1 && result != arg_finished)
        abort();
    if (!fuzz_settings_terminated())
        abort();
    return 0;
}
