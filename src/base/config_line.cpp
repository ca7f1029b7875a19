#include "base/config_line.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/messages.h"
#include "base/text_escape.h"

namespace {

// The file reads lines of at most 255 bytes, line feed included.
constexpr std::size_t config_line_max = 254;

}  // namespace

void config_line_print(const char* key, std::string_view value)
{
    const std::string shown = text_escape(value, "\\");
    if (value.find("//") != std::string_view::npos || shown != value || strlen(key) + value.size() > config_line_max)
        printf(tr("// 注意：次の値は設定ファイルでは同じに読めません\n"));
    printf("%s%s\n", key, shown.c_str());
}
