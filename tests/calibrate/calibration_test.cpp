// Calibration: the table, the proposed thresholds and the warnings, from
// growth fed check by check as the samplers will feed it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/settings.h"
#include "calibrate/calibration.h"
#include "calibrate/calibration_report.h"
#include "support/test_support.h"

namespace {

using values = std::vector<uint64_t>;

// Feeds one value per check period to one series, closing each period.
void feed_series(const char* name, calibration_kind kind, calibration_direction direction,
                 const values& growth)
{
    for (uint64_t g : growth) {
        calibration_feed(name, kind, direction, g);
        calibration_check_done();
    }
}

TEST(Calibration, NearestRankPercentile)
{
    values hundred_down;
    for (uint64_t v = 100; v >= 1; v--)
        hundred_down.push_back(v);
    EXPECT_EQ(nearest_rank_percentile({}, 95), 0u);
    EXPECT_EQ(nearest_rank_percentile({3, 1, 2, 10, 9, 8, 7, 6, 5, 4}, 95), 10u);  // rank 10 of 10
    EXPECT_EQ(nearest_rank_percentile(hundred_down, 95), 95u);                     // rank 95
    EXPECT_EQ(round_threshold_up(UINT64_MAX), UINT64_MAX);
}

TEST(Calibration, PeriodsFarAboveTheOthersLookLikeUse)
{
    const struct {
        calibration_kind kind;
        values growth;
        std::vector<bool> used;
    } cases[] = {
        {calibration_interface, {1000, 900, 1100, 1000, 2000000}, {0, 0, 0, 0, 1}},
        {calibration_interface, {500000, 400000, 600000, 2000000}, {0, 0, 0, 0}},  // 4x only
        {calibration_interface, {0, 0, 0, 1000000}, {0, 0, 0, 0}},  // under the floor
        {calibration_disk, {2000, 2000, 0, 0}, {1, 1, 0, 0}},  // lower median of 2000, 0, 0
        {calibration_disk, {5000}, {0}},                        // nothing to compare with
    };
    for (const auto& c : cases) {
        reset_program_state();
        feed_series("x", c.kind, calibration_in, c.growth);
        EXPECT_EQ(calibration_used_periods(calibration_recorded().at(0)), c.used)
            << c.kind << " " << c.growth.size();
    }
}

TEST(Calibration, ProposalsAreRoundAtLeastTwiceTheLargestInAReadableUnit)
{
    const struct {
        calibration_kind kind;
        calibration_direction direction;
        uint64_t largest;
        const char* key;
        uint64_t value;
    } cases[] = {
        {calibration_interface, calibration_in, 0, "RX_THRESHOLD_KB=", 1},
        {calibration_interface, calibration_out, 200 * 1024, "TX_THRESHOLD_KB=", 500},
        {calibration_interface, calibration_in, 300 * 1024, "RX_THRESHOLD_MB=", 1},
        {calibration_disk, calibration_in, 0, "READ_THRESHOLD=", 1},
        {calibration_disk, calibration_in, 40, "READ_THRESHOLD=", 100},
        {calibration_disk, calibration_out, 3000, "WRITE_THRESHOLD_MB=", 10},
    };
    for (const auto& c : cases) {
        reset_program_state();
        feed_series("a", c.kind, c.direction, {c.largest / 2, c.largest});
        const calibration_suggestion s = calibration_suggest(c.kind, c.direction);
        EXPECT_EQ(s.key, c.key) << c.largest;
        EXPECT_EQ(s.value, c.value) << c.largest;
        EXPECT_GE(s.threshold, 2 * c.largest) << c.largest;
    }
    EXPECT_EQ(calibration_suggest(calibration_disk, calibration_in).key, "");  // none seen
    reset_program_state();
}

TEST(Calibration, ReportOfAQuietRunWithOneBurstOfUse)
{
    reset_program_state();
    const values rx = {1000, 2000, 1500, 1200, 0,    800,  900, 1100, 1300, 1000,
                       5000000, 1000, 1700, 1600, 1400, 1000, 900, 800, 1000, 1100};
    for (std::size_t p = 0; p < rx.size(); p++) {
        calibration_feed("eth0", calibration_interface, calibration_in, rx[p]);
        calibration_feed("eth0", calibration_interface, calibration_out, p == 3 ? 3000 : 500);
        if (p >= 15)  // first seen late: no growth counted before
            calibration_feed("lo", calibration_interface, calibration_in, 100);
        calibration_feed("sda", calibration_disk, calibration_in, p == 10 ? 4000 : 0);
        calibration_feed("sda", calibration_disk, calibration_out, p == 9 ? 300 : p == 1 ? 120 : 100);
        calibration_feed("event3", calibration_input, calibration_none, p == 10 ? 1 : 0);
        calibration_feed("ログイン中", calibration_source, calibration_none, p == 5 ? 1 : 0);
        calibration_check_done();
    }
    EXPECT_EQ(capture_stdout(calibration_report_print),
              "\nキャリブレーション結果：判定 20 回（判定間隔 60 秒）\n"
              "\t判定間隔ごとの増加量の最大と95パーセンタイル（全判定の95%以上がその値以下となる最小の値）\n"
              "\tネットワーク eth0 (受信)：最大 5000000 Byte、95パーセンタイル 2000 Byte\n"
              "\tネットワーク eth0 (送信)：最大 3000 Byte、95パーセンタイル 500 Byte\n"
              "\tネットワーク lo (受信)：最大 100 Byte、95パーセンタイル 100 Byte\n"
              "\tディスク sda (読み込み)：最大 4000 KB、95パーセンタイル 0 KB\n"
              "\tディスク sda (書き込み)：最大 300 KB、95パーセンタイル 120 KB\n"
              "\t入力デバイス event3：操作のあった判定 1 回\n"
              "\tログイン中：使用中と答えた判定 1 回\n"
              "注意：ネットワーク eth0 (受信) が 1 回の判定（最初は 11 回目）で他の判定の中央値の10倍を超えました。"
              "使用中だった可能性があります。\n"
              "注意：ディスク sda (読み込み) が 1 回の判定（最初は 11 回目）で他の判定の中央値の10倍を超えました。"
              "使用中だった可能性があります。\n"
              "\t推奨設定はこれらの判定を除いて求めています。\n"
              "推奨設定（アイドル時の最大の2倍以上、設定ファイルにそのまま貼り付けられます）：\n"
              "CHECK_INTERVAL=60\n"
              "RX_THRESHOLD_KB=5\n"
              "TX_THRESHOLD_KB=10\n"
              "READ_THRESHOLD=1\n"
              "WRITE_THRESHOLD_MB=1\n"
              "この設定では判定 20 回のうち 18 回がアイドルでした。\n");
    reset_program_state();
}

TEST(Calibration, ShortRunIsWarnedAbout)
{
    for (int checks : {9, 10}) {
        reset_program_state();
        settings.check_interval = 30;
        feed_series("sda", calibration_disk, calibration_in, values(static_cast<std::size_t>(checks), 7));
        const std::string out = capture_stdout(calibration_report_print);
        EXPECT_EQ(out.find("注意：判定が 9 回しかなく、結果はあまり当てになりません。5 分以上測定してください。\n") !=
                      std::string::npos,
                  checks == 9) << out;
    }
    reset_program_state();
}

}  // namespace
