// Proxy settings of the HTTP transport. The credentials are held only in protected form between
// configuration and use: AES-256-GCM under a key made at random once per process.
// Also the certificate-revocation check addresses that the transport reads before a TLS request.
// All functions are thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct tagUTProxyParam {
    char proxyAddr[256];
    uint32_t proxyPort;
    char proxyUser[256];
    char proxyPassword[256];
};
static_assert(sizeof(tagUTProxyParam) == 772, "proxy record layout");

// Opaque protected form (nonce, cipher text, tag). Empty means "no proxy configured".
struct ProtectedProxyParam {
    std::vector<uint8_t> blob;
};

int ost_http_encrypt_proxy_param(const tagUTProxyParam *in, ProtectedProxyParam *out);  // 0 = ok
int ost_http_decrypt_proxy_param(const ProtectedProxyParam *in, tagUTProxyParam *out);  // 0 = ok
// Remembers a certificate-revocation check address for later TLS requests (0 = ok; a repeated
// address is kept once).
int ost_http_add_crl_check_url(const char *url);
// The addresses remembered so far, in the order they were first added.
std::vector<std::string> ost_http_get_crl_check_urls();
