#include "zip/Digest.h"

#include <algorithm>
#include <new>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

struct Sha256::Context
{
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(md); }
};

Sha256::Sha256()
    : m_context(std::make_unique<Context>())
{
    if (!m_context->md || EVP_DigestInit_ex(m_context->md, EVP_sha256(), nullptr) != 1)
        throw std::bad_alloc();
}

Sha256::~Sha256() = default;

void Sha256::add(const std::uint8_t* data, std::size_t size)
{
    EVP_DigestUpdate(m_context->md, data, size);
}

Sha256::Digest Sha256::finish()
{
    Digest digest {};
    unsigned int size = 0;
    EVP_DigestFinal_ex(m_context->md, digest.data(), &size);
    EVP_DigestInit_ex(m_context->md, EVP_sha256(), nullptr);
    return digest;
}

struct MessageTagger::Context
{
    EVP_MAC* mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    EVP_MAC_CTX* context = mac ? EVP_MAC_CTX_new(mac) : nullptr;
    ~Context()
    {
        EVP_MAC_CTX_free(context);
        EVP_MAC_free(mac);
    }
};

MessageTagger::MessageTagger(const QByteArray& key)
    : m_context(std::make_unique<Context>())
{
    char digest[] = "SHA256";
    const OSSL_PARAM params[]
        = { OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0), OSSL_PARAM_construct_end() };
    if (!m_context->context
        || EVP_MAC_init(m_context->context, reinterpret_cast<const unsigned char*>(key.constData()),
                        static_cast<std::size_t>(key.size()), params)
            != 1)
        throw std::bad_alloc();
}

MessageTagger::~MessageTagger() = default;

QByteArray MessageTagger::tag(const QByteArray& message, int size)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    std::size_t length = 0;
    // Started again under the key it was given.
    EVP_MAC_init(m_context->context, nullptr, 0, nullptr);
    EVP_MAC_update(m_context->context, reinterpret_cast<const unsigned char*>(message.constData()),
                   static_cast<std::size_t>(message.size()));
    EVP_MAC_final(m_context->context, out, &length, sizeof out);
    return QByteArray(reinterpret_cast<const char*>(out), std::min<int>(size, static_cast<int>(length)));
}

bool SameTag(const QByteArray& a, const QByteArray& b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.constData(), b.constData(), static_cast<std::size_t>(a.size())) == 0;
}
