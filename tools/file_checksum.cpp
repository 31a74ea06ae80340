#include "tools/file_checksum.hpp"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>

namespace rcpspdc {

std::string sha256_of_file(const std::string& path) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) return {};
  const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(),
                                                                   &EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return {};
  unsigned char buffer[65536];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
    if (EVP_DigestUpdate(context.get(), buffer, got) != 1) return {};
  if (std::ferror(file.get()) != 0) return {};
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return {};
  static const char HEX[] = "0123456789abcdef";
  std::string text;
  for (unsigned int k = 0; k < length; ++k) {
    text += HEX[digest[k] >> 4];
    text += HEX[digest[k] & 15];
  }
  return text;
}

}  // namespace rcpspdc
