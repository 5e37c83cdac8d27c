// AES-256-GCM protection of the proxy record. The key is drawn once per process from OpenSSL's
// generator and never leaves this file; each protection uses a fresh 96-bit nonce, so the same
// record never yields the same bytes twice. Layout of the blob: nonce | cipher text | tag.
#include "host/http_proxy.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace {
constexpr size_t kKeyLen = 32;
constexpr size_t kNonceLen = 12;
constexpr size_t kTagLen = 16;
constexpr size_t kRecordLen = sizeof(tagUTProxyParam);

struct ProcessKey {
    unsigned char bytes[kKeyLen] = {};
    bool ok = false;
    ~ProcessKey() { OPENSSL_cleanse(bytes, sizeof(bytes)); }
};

// Made at load rather than on first use: the upload thread uses them until it is joined, and
// only objects made before it started are destroyed after that join.
ProcessKey g_key;
std::once_flag g_keyOnce;
std::mutex g_crlLock;
std::vector<std::string> g_crlUrls;  // guarded by g_crlLock

const ProcessKey &Key() {
    std::call_once(g_keyOnce, [] { g_key.ok = RAND_bytes(g_key.bytes, static_cast<int>(kKeyLen)) == 1; });
    return g_key;
}

using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

std::mutex &CrlLock() {
    return g_crlLock;
}
std::vector<std::string> &CrlUrls() {
    return g_crlUrls;
}  // guarded by CrlLock
}  // namespace

int ost_http_encrypt_proxy_param(const tagUTProxyParam *in, ProtectedProxyParam *out) {
    if (in == nullptr || out == nullptr) return -1;
    out->blob.clear();
    const ProcessKey &key = Key();
    if (!key.ok) return -1;

    std::vector<uint8_t> blob(kNonceLen + kRecordLen + kTagLen);
    if (RAND_bytes(blob.data(), static_cast<int>(kNonceLen)) != 1) return -1;
    CipherCtx ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    if (!ctx) return -1;
    int len = 0;
    int total = 0;
    if (EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kNonceLen), nullptr) != 1 ||
        EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, key.bytes, blob.data()) != 1 ||
        EVP_EncryptUpdate(ctx.get(), blob.data() + kNonceLen, &len, reinterpret_cast<const unsigned char *>(in),
                          static_cast<int>(kRecordLen)) != 1) {
        return -1;
    }
    total = len;
    if (EVP_EncryptFinal_ex(ctx.get(), blob.data() + kNonceLen + total, &len) != 1) return -1;
    total += len;
    if (static_cast<size_t>(total) != kRecordLen ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagLen),
                            blob.data() + kNonceLen + kRecordLen) != 1) {
        return -1;
    }
    out->blob = std::move(blob);
    return 0;
}

int ost_http_decrypt_proxy_param(const ProtectedProxyParam *in, tagUTProxyParam *out) {
    if (in == nullptr || out == nullptr) return -1;
    std::memset(out, 0, sizeof(*out));
    if (in->blob.size() != kNonceLen + kRecordLen + kTagLen) return -1;
    const ProcessKey &key = Key();
    if (!key.ok) return -1;

    const uint8_t *nonce = in->blob.data();
    const uint8_t *cipher = nonce + kNonceLen;
    std::vector<uint8_t> tag(cipher + kRecordLen, cipher + kRecordLen + kTagLen);
    unsigned char plain[kRecordLen];
    CipherCtx ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    if (!ctx) return -1;
    int len = 0;
    int total = 0;
    bool ok = EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
              EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kNonceLen), nullptr) == 1 &&
              EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, key.bytes, nonce) == 1 &&
              EVP_DecryptUpdate(ctx.get(), plain, &len, cipher, static_cast<int>(kRecordLen)) == 1;
    if (ok) {
        total = len;
        ok = EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagLen), tag.data()) == 1 &&
             EVP_DecryptFinal_ex(ctx.get(), plain + total, &len) == 1;
        total += len;
    }
    if (ok && static_cast<size_t>(total) == kRecordLen) {
        std::memcpy(out, plain, kRecordLen);
        // The texts come back NUL-terminated even if the original was not.
        out->proxyAddr[sizeof(out->proxyAddr) - 1] = '\0';
        out->proxyUser[sizeof(out->proxyUser) - 1] = '\0';
        out->proxyPassword[sizeof(out->proxyPassword) - 1] = '\0';
    } else {
        ok = false;
    }
    OPENSSL_cleanse(plain, sizeof(plain));
    return ok ? 0 : -1;
}

int ost_http_add_crl_check_url(const char *url) {
    if (url == nullptr) return -1;
    try {
        std::lock_guard<std::mutex> guard(CrlLock());
        std::vector<std::string> &urls = CrlUrls();
        if (std::find(urls.begin(), urls.end(), url) == urls.end()) urls.emplace_back(url);
        return 0;
    } catch (...) {
        return -1;
    }
}

std::vector<std::string> ost_http_get_crl_check_urls() {
    std::lock_guard<std::mutex> guard(CrlLock());
    return CrlUrls();
}
