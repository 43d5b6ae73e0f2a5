#include "platform/posix/systemd/unit_name.h"

#include <gtest/gtest.h>

namespace toverak {
namespace {

// The expected names are what systemd-escape --suffix=service prints.
TEST(ServiceUnitName, EscapesAsSystemdDoes) {
  EXPECT_EQ(ServiceUnitName("Narvel Server"), "Narvel\\x20Server.service");
  EXPECT_EQ(ServiceUnitName("Narvel Discovery Agent"), "Narvel\\x20Discovery\\x20Agent.service");
  EXPECT_EQ(ServiceUnitName("a/b-c.d"), "a-b\\x2dc.d.service");
  EXPECT_EQ(ServiceUnitName(".hidden.x"), "\\x2ehidden.x.service");
  EXPECT_EQ(ServiceUnitName("x\\y"), "x\\x5cy.service");
  EXPECT_EQ(ServiceUnitName("a:b_c@d\t"), "a:b_c\\x40d\\x09.service");
  EXPECT_EQ(ServiceUnitName("\xC3\x9Cn"), "\\xc3\\x9cn.service");
}

}  // namespace
}  // namespace toverak
