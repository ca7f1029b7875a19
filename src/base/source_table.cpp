#include "base/source_table.h"

#include <cstring>

const source_row* source_find(const char* kind)
{
    for (std::size_t i = 0; i < source_table_size; i++) {
        if (strcmp(source_table[i].kind, kind) == 0)
            return &source_table[i];
    }
    return nullptr;
}

bool source_answering(const source_row& row)
{
    return row.health == nullptr || !row.health->failing;
}
