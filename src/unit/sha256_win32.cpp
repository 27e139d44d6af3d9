#include <windows.h>
#include <bcrypt.h>

#include "unit/sha256.h"

namespace kor {

bool sha256_digest(const void* data, size_t length, unsigned char out[32]) {
  BCRYPT_ALG_HANDLE alg = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return false;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok = BCRYPT_SUCCESS(BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0));
  // ULONG counts: a file larger than 4 GiB is hashed in pieces.
  const auto* p = static_cast<const unsigned char*>(data);
  while (ok && length > 0) {
    const ULONG piece = length > 0x40000000 ? 0x40000000 : ULONG(length);
    ok = BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(p), piece, 0));
    p += piece;
    length -= piece;
  }
  ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, out, 32, 0));
  if (hash) BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(alg, 0);
  return ok;
}

}  // namespace kor
