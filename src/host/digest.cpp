#include "host/digest.h"

#include <openssl/evp.h>

#include <memory>

int OST_CRYPT_digest(uint32_t selector, const void *data, size_t len, uint8_t *out, uint32_t outSize,
                     uint32_t *outLen) {
    if (selector != OST_DIGEST_SHA256 || out == nullptr || outLen == nullptr) return -1;
    if (data == nullptr && len != 0) return -1;
    const EVP_MD *md = EVP_sha256();
    if (outSize < static_cast<uint32_t>(EVP_MD_get_size(md))) return -1;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!ctx) return -1;
    unsigned int n = 0;
    if (EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1 || EVP_DigestUpdate(ctx.get(), data, len) != 1 ||
        EVP_DigestFinal_ex(ctx.get(), out, &n) != 1) {
        return -1;
    }
    *outLen = n;
    return 0;
}
