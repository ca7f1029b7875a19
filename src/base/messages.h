// The language of what the program prints. Japanese is its own voice and the
// default: every text is written in Japanese in the code, and tr() gives it
// back unchanged. Another language comes from a gettext catalog (a compiled
// .mo file) whose message ids are those Japanese texts; the choice is the
// MESSAGES= setting alone, never the locale.
#pragma once

#include <string>
#include <unordered_map>

// The catalogs' directory: DIR/LANG/LC_MESSAGES/lullwatcher.mo. The default
// is where the build installs them; when no catalog is found there, the
// "locale" directory beside the program's own executable (the build tree)
// is tried.
extern const char* messages_locale_dir;

// The text to print for japanese: its translation in the chosen language,
// else japanese itself. Safe beside the watcher threads once the language
// is chosen (at start-up, before they start). A format keeps its printf
// check: the compiler checks the arguments against the Japanese format.
__attribute__((format_arg(1))) const char* tr(const char* japanese);

// Marks a text kept in a table and translated with tr() where it is
// printed, so that the catalog tools find it.
__attribute__((format_arg(1))) constexpr const char* tr_later(const char* japanese)
{
    return japanese;
}

// A printf format (usually tr()'s) filled in as a string.
__attribute__((format(printf, 1, 2))) std::string text_format(const char* format, ...);

// Chooses the language: "ja" prints the texts as written; any other name
// loads its catalog. Returns false, keeping the language as it was, when
// the name is not a language name or its catalog cannot be read. The
// language already chosen is kept as it is.
bool messages_choose(const std::string& language);

// The language chosen ("ja" until another is).
const std::string& messages_language();

// Back to Japanese, the catalog dropped and the directory at its default.
void messages_reset();

// Translations by message id.
using message_table = std::unordered_map<std::string, std::string>;

// Reads a compiled catalog (the .mo format) from its bytes into table;
// entries whose translation is empty, or whose printf conversions differ
// from the id's, are left out (a wrong catalog must never make printf read
// what was not passed). False when the bytes are no catalog.
bool messages_parse(const std::string& bytes, message_table& table);

// Whether two printf formats take the same arguments: the same conversions
// in the same order ("%%" takes none).
bool formats_match(const char* a, const char* b);
