// The shared text helpers: ASCII-only case folding (UTF-8 bytes untouched) and captions without
// their accelerator marks.
#include <gtest/gtest.h>

#include "platform/text.h"

namespace {

TEST(Text, CaseFoldingTouchesOnlyAsciiLetters) {
  EXPECT_EQ(platform::FoldCase("TTESTI Ämter 1.XLL"), "ttesti Ämter 1.xll");
  EXPECT_TRUE(platform::EqualNoCase("Variable - Groups", "variable - GROUPS"));
  EXPECT_FALSE(platform::EqualNoCase("Ä", "ä"));  // not ASCII: compared as bytes
  EXPECT_FALSE(platform::EqualNoCase("Data", "Data "));
  EXPECT_TRUE(platform::ContainsNoCase("C:\\Quelstat\\QUELSTAT.XLL", "quelstat.xll"));
  EXPECT_FALSE(platform::ContainsNoCase("quelstat", "quelstat.xll"));
  EXPECT_TRUE(platform::ContainsNoCase("anything", ""));
}

TEST(Text, CaptionsLoseTheirAcceleratorMarks) {
  EXPECT_EQ(platform::WithoutAccelerators("Help && &Tutorial files"), "Help & Tutorial files");
  EXPECT_EQ(platform::WithoutAccelerators("&&&Next"), "&Next");
  EXPECT_EQ(platform::WithoutAccelerators("End &"), "End ");
  EXPECT_EQ(platform::WithoutAccelerators(""), "");
}

}  // namespace
