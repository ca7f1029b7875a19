// Priority prefixes for the journal. When standard output is a journal
// stream, a line that starts with "<N>" is stored at priority N, so
// warnings and errors can be found by priority; anywhere else the output
// stays exactly as it is.
#pragma once

// Syslog priorities of the lines that carry a prefix.
enum journal_level : int {
    journal_error = 3,
    journal_warning = 4,
};

// "<3>" or "<4>" when standard output is the journal, else "". The decision
// is made at the first call (JOURNAL_STREAM against descriptor 1) and kept.
const char* journal_prefix(journal_level level);

// Forgets the decision, so that the next call looks again.
void journal_reset();
