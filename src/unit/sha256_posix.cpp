// Nettle rather than libcrypto: every korsync run maps its hashing library at
// start, and libcrypto's twenty thousand relocations cost more CPU than a short
// transfer spends on the line.
#include <nettle/sha2.h>

#include "unit/sha256.h"

#undef sha256_digest  // nettle's own name for its function; ours is kor::

namespace kor {

bool sha256_digest(const void* data, size_t length, unsigned char out[32]) {
  sha256_ctx ctx;
  nettle_sha256_init(&ctx);
  nettle_sha256_update(&ctx, length, static_cast<const uint8_t*>(data));
  nettle_sha256_digest(&ctx, SHA256_DIGEST_SIZE, out);
  return true;
}

}  // namespace kor
