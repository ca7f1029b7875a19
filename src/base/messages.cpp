#include "base/messages.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "base/streams.h"

#ifndef LW_LOCALEDIR
#define LW_LOCALEDIR "/usr/share/locale"
#endif

const char* messages_locale_dir = LW_LOCALEDIR;

namespace {

// A catalog larger than this is no catalog of this program's few hundred texts.
constexpr std::size_t catalog_size_max = 4 << 20;

std::string language = "ja";
message_table translations;

uint32_t word_at(const std::string& bytes, std::size_t at, bool swapped)
{
    uint32_t w = 0;
    memcpy(&w, bytes.data() + at, sizeof w);
    return swapped ? __builtin_bswap32(w) : w;
}

// The string of table entry i (length, offset) when it lies within bytes
// and ends with its NUL.
bool string_at(const std::string& bytes, uint32_t table, uint32_t i, bool swapped, const char** out)
{
    const uint64_t entry = static_cast<uint64_t>(table) + static_cast<uint64_t>(i) * 8;
    if (entry + 8 > bytes.size())
        return false;
    const uint32_t length = word_at(bytes, entry, swapped);
    const uint32_t offset = word_at(bytes, entry + 4, swapped);
    if (static_cast<uint64_t>(offset) + length >= bytes.size() || bytes[offset + length] != '\0')
        return false;
    *out = bytes.data() + offset;
    return true;
}

// Moves p past the characters of p that set holds.
void skip_all(const char*& p, const char* set)
{
    while (*p != '\0' && strchr(set, *p) != nullptr)
        p++;
}

// The next conversion of a printf format from p on, as printf reads it: its
// flags, width, precision, length and letter without the '%'; empty at the
// end. A '%' that no conversion letter ends (a percent sign in a text that
// is no format) is a broken conversion "?" after what was read: printf
// prints it as it stands, and it only matches the same one.
std::string next_conversion(const char*& p)
{
    for (; *p != '\0'; p++) {
        if (*p != '%')
            continue;
        if (p[1] == '%') {
            p++;
            continue;
        }
        const char* start = ++p;
        skip_all(p, "-+ #0'I");
        skip_all(p, *p == '*' ? "*" : "0123456789");
        if (*p == '.') {
            p++;
            skip_all(p, *p == '*' ? "*" : "0123456789");
        }
        skip_all(p, "hlLqjzZt");
        const std::size_t read = static_cast<std::size_t>(p - start);
        if (*p == '\0' || strchr("diouxXeEfFgGaAbBcCsSpnm", *p) == nullptr)
            return std::string(start, read) + "?";
        return std::string(start, read + 1);
    }
    return {};
}

bool read_catalog(const std::string& path, std::string& bytes)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    file_stream in(fdopen(fd, "r"));
    if (!in) {
        (void)close(fd);
        return false;
    }
    bytes.resize(catalog_size_max + 1);
    bytes.resize(fread(&bytes[0], 1, bytes.size(), in.get()));
    return !ferror(in.get()) && bytes.size() <= catalog_size_max;
}

// Where the build tree keeps its catalogs: beside the executable.
std::string beside_executable()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    const std::string exe(path, static_cast<std::size_t>(n));
    return exe.substr(0, exe.rfind('/')) + "/locale";
}

bool language_name(const std::string& name)
{
    if (name.empty() || name.size() > 16)
        return false;
    for (const char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'))
            return false;
    }
    return true;
}

}  // namespace

bool formats_match(const char* a, const char* b)
{
    for (;;) {
        const std::string x = next_conversion(a);
        const std::string y = next_conversion(b);
        if (x != y)
            return false;
        if (x.empty())
            return true;
    }
}

bool messages_parse(const std::string& bytes, message_table& table)
{
    if (bytes.size() < 28)
        return false;
    const uint32_t magic = word_at(bytes, 0, false);
    const bool swapped = magic == 0xde120495;
    if (magic != 0x950412de && !swapped)
        return false;
    const uint32_t count = word_at(bytes, 8, swapped);
    const uint32_t ids = word_at(bytes, 12, swapped);
    const uint32_t texts = word_at(bytes, 16, swapped);
    for (uint32_t i = 0; i < count; i++) {
        const char* id = nullptr;
        const char* text = nullptr;
        if (!string_at(bytes, ids, i, swapped, &id) || !string_at(bytes, texts, i, swapped, &text))
            return false;
        if (*id != '\0' && *text != '\0' && formats_match(id, text))
            table[id] = text;
    }
    return true;
}

const char* tr(const char* japanese)
{
    if (translations.empty())
        return japanese;
    const auto it = translations.find(japanese);
    return it == translations.end() ? japanese : it->second.c_str();
}

std::string text_format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    char small[256];
    const int n = vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0)
        return {};
    if (static_cast<std::size_t>(n) < sizeof small)
        return std::string(small, static_cast<std::size_t>(n));
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    va_start(args, format);
    (void)vsnprintf(&text[0], text.size(), format, args);
    va_end(args);
    text.resize(static_cast<std::size_t>(n));
    return text;
}

bool messages_choose(const std::string& name)
{
    // Chosen early and again when the setting is read: the texts handed out
    // in between must stay valid.
    if (name == language)
        return true;
    if (name == "ja") {
        translations.clear();
        language = name;
        return true;
    }
    if (!language_name(name))
        return false;
    const std::string file = "/" + name + "/LC_MESSAGES/lullwatcher.mo";
    std::string bytes;
    if (!read_catalog(messages_locale_dir + file, bytes) && !read_catalog(beside_executable() + file, bytes))
        return false;
    message_table table;
    if (!messages_parse(bytes, table) || table.empty())
        return false;
    translations = std::move(table);
    language = name;
    return true;
}

const std::string& messages_language()
{
    return language;
}

void messages_reset()
{
    translations.clear();
    language = "ja";
    messages_locale_dir = LW_LOCALEDIR;
}
