// Escaping of outside text for one printable line.
#include <gtest/gtest.h>

#include "base/text_escape.h"

namespace {

TEST(TextEscape, ControlsAndBrokenUtf8BecomeHexAndTheRestPasses)
{
    const struct {
        std::string text, extra, shown;
    } cases[] = {
        {"\"Logitech USB Receiver\"", "", "\"Logitech USB Receiver\""},
        {"\"ＵＳＢ キーボード\" 😀", "", "\"ＵＳＢ キーボード\" 😀"},
        {"Pad\x1b[2J\r\n\t\x7f", "", "Pad\\x1b[2J\\x0d\\x0a\\x09\\x7f"},
        {std::string("a\0b", 3), "", "a\\x00b"},
        {"\xc2\x9b" "1m\xc2\xa0", "", "\\xc2\\x9b1m\xc2\xa0"},         // C1 CSI; no-break space passes
        {"\xff\xe3\x81", "", "\\xff\\xe3\\x81"},                        // stray byte, cut character
        {"\xe3\x81" "A\xe3\x81\x82", "", "\\xe3\\x81A\xe3\x81\x82"},    // resumes at the next valid one
        {"\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80", "", "\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90\\x80\\x80"},
        {"a b\\c", " \\", "a\\x20b\\x5cc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text_escape(c.text, c.extra), c.shown) << c.shown;
    for (const auto& c : cases)
        EXPECT_EQ(text_unescape(text_escape(c.text, "\\")), c.text) << c.shown;
}

}  // namespace
