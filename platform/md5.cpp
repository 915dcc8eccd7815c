#include "platform/md5.h"

#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

namespace platform {

std::string md5Hex(std::string_view data) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), data.data(), data.size()) != 1 ||
      EVP_DigestFinal_ex(context.get(), digest, &length) != 1) {
    // Only a crypto library built without MD5 (FIPS-only) gets here.
    throw std::runtime_error("md5Hex: the MD5 digest is not available from the crypto library");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex(2 * length, '0');
  for (unsigned int i = 0; i < length; ++i) {
    hex[2 * i] = kHex[digest[i] >> 4];
    hex[2 * i + 1] = kHex[digest[i] & 0xF];
  }
  return hex;
}

}  // namespace platform
