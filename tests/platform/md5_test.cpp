#include "platform/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Md5, MatchesTheTestSuiteOfRfc1321) {
  EXPECT_EQ(platform::md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(platform::md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(platform::md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(platform::md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(platform::md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(platform::md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(platform::md5Hex("1234567890123456789012345678901234567890"
                             "1234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, DigestsEveryByteIncludingNul) {
  std::string withNul("a\0b", 3);
  EXPECT_NE(platform::md5Hex(withNul), platform::md5Hex("a"));
  EXPECT_EQ(platform::md5Hex(withNul), "70350f6027bce3713f6b76473084309b");
}

}  // namespace
