// The help text of the command line.
#include <cstdio>
#include <initializer_list>

#include "base/messages.h"
#include "config/args.h"
#include "config/setting_table.h"

namespace {

// The items before the options, one per line of output.
const char* const help_head[] = {
    tr_later("名前"),
    tr_later("\tlullwatcher -  オートシャットダウン"),
    tr_later("書式"),
    tr_later("\tlullwatcher [オプション] [event]..."),
    tr_later("説明"),
    tr_later("\tネットワークトラフィックやディクスアクセス、指定したデバイスの入出力を\n\t監視し、一定時間アイドルの場合にシャットダウンする。"),
    tr_later("\t設定ファイル「lullwatcher.conf」からの読み込みと引数での指定が行えます。"),
    tr_later("\tなお、引数を設定した場合は設定ファイルの読み込みは行いません。"),
    "\t",
};

}  // namespace

// The options follow in table order, the items marked last at the end;
// "\t" alone separates them.
void arg_help_print()
{
    for (const char* item : help_head)
        printf("%s\n", tr(item));
    for (const bool last : {false, true}) {
        for (std::size_t i = 0; i < setting_table_size; i++) {
            const setting_help& help = setting_table[i].help;
            if (help.last == last)
                printf("%s\n%s\n\t\n", help.options, tr(help.text));
        }
    }
}
