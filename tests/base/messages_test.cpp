// Messages in another language: a catalog whose ids are the Japanese texts,
// chosen by the setting alone, and never a translation that would make
// printf read other arguments than the Japanese text's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/messages.h"
#include "support/test_support.h"

namespace {

TEST(Messages, FormatsMatchOnlyWithTheSameConversionsInOrder)
{
    const struct { const char* a; const char* b; bool same; } cases[] = {
        {"満了時間：%d 分、表示間隔：%d 秒\n", "expiry %d min, display every %d s\n", true},
        {"%s警告：%s\n", "%swarning: %s\n", true},
        {"%d%% %llu", "%d %% of %llu", true},
        {"%02d", "%2d", false},
        {"%s %d", "%d %s", false},
        {"%d", "%d %s", false},
        {"100%", "100%%", false},  // a broken conversion matches only the same one
        {"あたりの%で指定", "percent (%) of", true},
        {"%*で", "%) %d", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formats_match(c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST(Messages, ChosenLanguageAndItsCatalog)
{
    temp_dir dir;
    // A catalog with one good entry and one that would misread printf's arguments.
    dir.write("xx.po", "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                       "msgid \"こんにちは %s\"\nmsgstr \"hello %s\"\n\nmsgid \"残り %d 分\"\nmsgstr \"%s left\"\n");
    ASSERT_EQ(system(("mkdir -p " + dir.path + "/xx/LC_MESSAGES && msgfmt -o " + dir.path +
                      "/xx/LC_MESSAGES/lullwatcher.mo " + dir.path + "/xx.po").c_str()),
              0);
    messages_locale_dir = dir.path.c_str();
    EXPECT_TRUE(messages_choose("xx"));
    EXPECT_STREQ(tr("こんにちは %s"), "hello %s");
    EXPECT_STREQ(tr("残り %d 分"), "残り %d 分");  // left out: its conversions differ
    EXPECT_STREQ(tr("ほか"), "ほか");
    EXPECT_FALSE(messages_choose("yy"));  // no catalog: the language stays
    EXPECT_FALSE(messages_choose("../xx"));
    EXPECT_EQ(messages_language(), "xx");
    EXPECT_TRUE(messages_choose("ja"));
    EXPECT_STREQ(tr("こんにちは %s"), "こんにちは %s");
    messages_locale_dir = LW_CATALOGS;
    EXPECT_TRUE(messages_choose("en"));  // the catalog the build makes
    messages_reset();
    message_table table;
    EXPECT_FALSE(messages_parse(std::string(40, 'x'), table));
}

}  // namespace
