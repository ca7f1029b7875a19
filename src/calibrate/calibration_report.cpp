#include "calibrate/calibration_report.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/messages.h"
#include "base/settings.h"
#include "calibrate/calibration.h"

namespace {

// A run shorter than this many checks says little about the machine.
constexpr int enough_checks = 10;

const char* direction_text(const calibration_series& series)
{
    if (series.kind == calibration_interface)
        return series.direction == calibration_in ? tr("受信") : tr("送信");
    return series.direction == calibration_in ? tr("読み込み") : tr("書き込み");
}

std::string series_label(const calibration_series& series)
{
    const char* format = series.kind == calibration_interface ? tr("ネットワーク %s (%s)") : tr("ディスク %s (%s)");
    return text_format(format, series.name.c_str(), direction_text(series));
}

void print_series(const calibration_series& series)
{
    const std::vector<uint64_t> values = calibration_values(series);
    if (series.kind == calibration_input || series.kind == calibration_source) {
        const long active = std::count_if(values.begin(), values.end(), [](uint64_t v) { return v != 0; });
        if (series.kind == calibration_input)
            printf(tr("\t入力デバイス %s：操作のあった判定 %ld 回\n"), series.name.c_str(), active);
        else
            printf(tr("\t%s：使用中と答えた判定 %ld 回\n"), series.name.c_str(), active);
        return;
    }
    const uint64_t largest = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    const char* unit = series.kind == calibration_interface ? "Byte" : "KB";
    printf(tr("\t%s：最大 %llu %s、95パーセンタイル %llu %s\n"), series_label(series).c_str(),
           (unsigned long long)largest, unit,
           (unsigned long long)nearest_rank_percentile(values, 95), unit);
}

void print_table()
{
    printf(tr("\nキャリブレーション結果：判定 %d 回（判定間隔 %d 秒）\n"), calibration_checks(),
           settings.check_interval);
    printf(tr("\t判定間隔ごとの増加量の最大と95パーセンタイル"
           "（全判定の95%%以上がその値以下となる最小の値）\n"));
    for (int kind = calibration_interface; kind <= calibration_source; kind++)
        for (const auto& series : calibration_recorded())
            if (series.kind == kind)
                print_series(series);
}

void print_warnings()
{
    const int checks = calibration_checks();
    if (checks < enough_checks) {
        const int minutes = (enough_checks * settings.check_interval + 59) / 60;
        printf(tr("注意：判定が %d 回しかなく、結果はあまり当てになりません。%d 分以上測定してください。\n"),
               checks, minutes);
    }
    bool any_used = false;
    for (const auto& series : calibration_recorded()) {
        const std::vector<bool> used = calibration_used_periods(series);
        const auto first = std::find(used.begin(), used.end(), true);
        if (first == used.end())
            continue;
        const long count = std::count(used.begin(), used.end(), true);
        any_used = true;
        printf(tr("注意：%s が %ld 回の判定（最初は %ld 回目）で他の判定の中央値の10倍を超えました。"
               "使用中だった可能性があります。\n"),
               series_label(series).c_str(), count, static_cast<long>(first - used.begin()) + 1);
    }
    if (any_used)
        printf(tr("\t推奨設定はこれらの判定を除いて求めています。\n"));
}

void print_suggestions()
{
    printf(tr("推奨設定（アイドル時の最大の2倍以上、設定ファイルにそのまま貼り付けられます）：\n"));
    // Thresholds are amounts per check period: the interval goes with them.
    printf("CHECK_INTERVAL=%d\n", settings.check_interval);
    for (int kind = calibration_interface; kind <= calibration_disk; kind++) {
        for (int dir = calibration_in; dir <= calibration_out; dir++) {
            const calibration_suggestion s = calibration_suggest(
                static_cast<calibration_kind>(kind), static_cast<calibration_direction>(dir));
            if (!s.key.empty())
                printf("%s%llu\n", s.key.c_str(), (unsigned long long)s.value);
        }
    }
    printf(tr("この設定では判定 %d 回のうち %d 回がアイドルでした。\n"), calibration_checks(),
           calibration_idle_periods());
}

}  // namespace

void calibration_start_print(int minutes)
{
    printf(tr("\nキャリブレーション開始：%d 分間、判定間隔 %d 秒\n"), minutes, settings.check_interval);
    printf(tr("\t測定のみで満了処理は行いません。この間は機械を使わないでください。\n"));
}

void calibration_progress_print(int seconds_left, int checks_done)
{
    if (seconds_left < 0)
        seconds_left = 0;
    printf(tr("キャリブレーション中：残り %d 分 %02d 秒、判定 %d 回\n"), seconds_left / 60,
           seconds_left % 60, checks_done);
}

void calibration_report_print()
{
    print_table();
    print_warnings();
    print_suggestions();
}
