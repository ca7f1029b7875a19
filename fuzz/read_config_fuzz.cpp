// Fuzzes the configuration file reader: the input is the content of the file.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "config/config_file.h"
#include "fuzz_config_setup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_config_setup();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (fuzz_names_other_files(text))
        return 0;
    fuzz_config_reset();
    int result = 0;
    fuzz_in_own_dir([&] {
        fuzz_write_file("fuzz.conf", text, 0644);
        result = read_config("fuzz.conf");
    });
    if (result != 1 && result != -1 && result != config_read_refused)
        abort();
    if (!fuzz_settings_terminated())
        abort();
    return 0;
}
