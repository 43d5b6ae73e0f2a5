#include "platform/posix/access/access_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace toverak {
namespace {

std::string Jet(std::vector<uint8_t> bytes) { return Utf8FromJetText(bytes); }

TEST(AccessTextTest, ReadsUtf16WithSurrogatePairs) {
  // "aé€" then U+1F600 as the pair D83D DE00.
  EXPECT_EQ(Jet({'a', 0, 0xE9, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE}),
            "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(Jet({}), "");
}

TEST(AccessTextTest, ReplacesBrokenUnitsInsteadOfFailing) {
  // A lone high surrogate, a lone low surrogate, and a dangling odd byte.
  EXPECT_EQ(Jet({0x3D, 0xD8, 'x', 0}), "\xEF\xBF\xBDx");
  EXPECT_EQ(Jet({0x00, 0xDE}), "\xEF\xBF\xBD");
  EXPECT_EQ(Jet({'a', 0, 'b'}), "a\xEF\xBF\xBD");
}

TEST(AccessTextTest, ReadsCompressedTextSwitchingUnitWidthAtEachZero) {
  // FF FE "Ab", switch to two-byte units for U+20AC and the pair of U+1F601, back for "c".
  EXPECT_EQ(Jet({0xFF, 0xFE, 'A', 'b', 0x00, 0xAC, 0x20, 0x3D, 0xD8, 0x01, 0xDE, 0x00, 'c'}),
            "Ab\xE2\x82\xAC\xF0\x9F\x98\x81"
            "c");
  EXPECT_EQ(Jet({0xFF, 0xFE}), "");
  EXPECT_EQ(Jet({0xFF, 0xFE, 0x00, 0x41}), "\xEF\xBF\xBD");  // half a two-byte unit
}

TEST(AccessTextTest, ReadsCodePage1252) {
  std::vector<uint8_t> bytes = {'a', 0x80, 0x9F, 0xE9, 0x81};
  EXPECT_EQ(Utf8FromCodePage1252(bytes), "a\xE2\x82\xAC\xC5\xB8\xC3\xA9\xC2\x81");
}

TEST(AccessTextTest, FoldsCaseBeyondAscii) {
  EXPECT_EQ(FoldCase("ATR_Nodes"), "atr_nodes");
  EXPECT_EQ(FoldCase("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9");  // ÉTÉ
  EXPECT_EQ(FoldCase("\xD0\x96"), "\xD0\xB6");                    // Cyrillic Zhe
  EXPECT_EQ(FoldCase("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(FoldCase("a\xFF"
                     "b"),
            "a\xEF\xBF\xBD"
            "b");
}

}  // namespace
}  // namespace toverak
