#include <openssl/evp.h>

#include "unit/sha256.h"

namespace kor {

bool sha256_digest(const void* data, size_t length, unsigned char out[32]) {
  unsigned int size = 0;
  return EVP_Digest(data, length, out, &size, EVP_sha256(), nullptr) == 1 && size == 32;
}

}  // namespace kor
