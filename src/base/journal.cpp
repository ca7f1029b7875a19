#include "base/journal.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// -1 not decided yet, 0 not the journal, 1 the journal. Watcher threads may
// ask at the same time; both would reach the same answer.
std::atomic<int> journal_state{-1};

// Reads a decimal number that ends at stop; false unless digits fill it.
bool read_number(const char*& text, char stop, unsigned long long& value)
{
    if (*text < '0' || *text > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    value = strtoull(text, &end, 10);
    if (errno != 0 || *end != stop)
        return false;
    text = end;
    return true;
}

// Whether JOURNAL_STREAM ("DEVICE:INODE" in decimal) names descriptor 1.
bool stdout_is_journal()
{
    const char* stream = getenv("JOURNAL_STREAM");
    if (stream == nullptr)
        return false;
    unsigned long long dev = 0;
    unsigned long long ino = 0;
    if (!read_number(stream, ':', dev))
        return false;
    stream++;
    if (!read_number(stream, '\0', ino))
        return false;
    struct stat st;
    if (fstat(STDOUT_FILENO, &st) != 0)
        return false;
    return static_cast<unsigned long long>(st.st_dev) == dev &&
           static_cast<unsigned long long>(st.st_ino) == ino;
}

}  // namespace

const char* journal_prefix(journal_level level)
{
    int state = journal_state.load();
    if (state < 0) {
        state = stdout_is_journal() ? 1 : 0;
        journal_state.store(state);
    }
    if (state == 0)
        return "";
    return level == journal_error ? "<3>" : "<4>";
}

void journal_reset()
{
    journal_state.store(-1);
}
