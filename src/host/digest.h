// Message digests of the common library.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t { OST_DIGEST_SHA256 = 1 };

// Digest of len bytes with the algorithm of `selector` (1: SHA-256) into out (outSize bytes);
// *outLen receives the digest length. Returns 0 on success; out is left untouched on failure.
int OST_CRYPT_digest(uint32_t selector, const void *data, size_t len, uint8_t *out, uint32_t outSize, uint32_t *outLen);
