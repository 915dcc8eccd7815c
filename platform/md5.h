// MD5 digest (RFC 1321) as 32 lower-case hexadecimal digits.
//
//   std::string sum = platform::md5Hex("abc");  // "900150983cd24fb0d6963f7d28e17f72"
#pragma once

#include <string>
#include <string_view>

namespace platform {

/// Throws std::runtime_error only when the crypto library offers no MD5.
std::string md5Hex(std::string_view data);

}  // namespace platform
