#include <gtest/gtest.h>

#include "core/base/codepage.h"

namespace lyraban {
namespace {

// Single character codes to and from Unicode, as the fonts need them.
TEST(CodeConversionTest, GbkCodesRoundTrip) {
  const CodePage gbk(CodePage::Kind::Gbk);
  EXPECT_EQ(gbk.CodeToUnicode('A'), 0x41u);
  EXPECT_EQ(gbk.CodeToUnicode(0xBADA), 0x9ED1u);  // 黑
  EXPECT_EQ(gbk.CodeToUnicode(0xA1A1), 0x3000u);  // full-width space
  EXPECT_EQ(gbk.CodeFromUtf8("黑"), 0xBADAu);
  EXPECT_EQ(gbk.CodeFromUtf8("黑体"), 0xBADAu);  // first character only
  EXPECT_EQ(gbk.CodeFromUtf8("?"), static_cast<u32>('?'));
  EXPECT_EQ(gbk.CodeFromUtf8("・"), 0u);  // not in the code page
  EXPECT_EQ(gbk.CodeFromUtf8(""), 0u);
  EXPECT_EQ(gbk.CodeFromUtf8("\xE9\xBB"), 0u);  // cut short
}

TEST(CodeConversionTest, ShiftJisCodesAndInvalidCodes) {
  const CodePage sjis(CodePage::Kind::ShiftJis);
  EXPECT_EQ(sjis.CodeToUnicode(0x82A0), 0x3042u);  // あ
  EXPECT_EQ(sjis.CodeToUnicode(0x8145), 0x30FBu);  // ・
  EXPECT_EQ(sjis.CodeToUnicode(0xB1), 0xFF71u);    // half-width ｱ
  EXPECT_EQ(sjis.CodeFromUtf8("」"), 0x8176u);
  EXPECT_EQ(sjis.CodeToUnicode(0), 0u);
  EXPECT_EQ(sjis.CodeToUnicode(0x10001), 0u);
  EXPECT_EQ(sjis.CodeToUnicode(0x82), 0u);    // a lead byte alone
  EXPECT_EQ(sjis.CodeToUnicode(0x4141), 0u);  // no lead byte
  EXPECT_EQ(sjis.CodeToUnicode(0x827F), 0u);  // not a trail byte
}

}  // namespace
}  // namespace lyraban
