#include "platform/md5.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// Vectors from RFC 1321; the embedded NUL shows that every byte is digested.
TEST(Md5, DigestsEveryByteAsLowercaseHex) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      {std::string("a\0b", 3), "70350f6027bce3713f6b76473084309b"},
  };
  for (const auto& [text, digest] : cases) EXPECT_EQ(platform::md5Hex(text), digest) << text.size() << " bytes";
}

}  // namespace
