#include "KeyDigest.h"

#include <openssl/evp.h>

#include <cstring>
#include <new>

namespace velmora {
namespace {

    // SHA-256 through OpenSSL, which uses the processor's SHA instructions where it has them: the digest is
    // the largest single cost of a key after reading the message.
    const EVP_MD* sha256()
    {
        static EVP_MD* const md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
        return md;
    }

} // namespace

KeyDigestMaker::KeyDigestMaker(const KeyCollator& collator)
    : m_forms(collator)
    , m_context(EVP_MD_CTX_new())
{
    if (m_context == nullptr || sha256() == nullptr) {
        EVP_MD_CTX_free(m_context);
        throw std::bad_alloc();
    }
}

KeyDigestMaker::~KeyDigestMaker()
{
    EVP_MD_CTX_free(m_context);
}

KeyDigest KeyDigestMaker::digest(const QString& key)
{
    const std::vector<std::uint8_t>& form = m_forms.build(reinterpret_cast<const char16_t*>(key.utf16()), key.size());
    unsigned char hash[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestInit_ex2(m_context, sha256(), nullptr) != 1
        || EVP_DigestUpdate(m_context, form.data(), form.size()) != 1
        || EVP_DigestFinal_ex(m_context, hash, &length) != 1 || length < 16) {
        throw std::bad_alloc(); // OpenSSL fails here only when it runs out of memory
    }
    KeyDigest d;
    std::memcpy(&d.high, hash, sizeof d.high);
    std::memcpy(&d.low, hash + sizeof d.high, sizeof d.low);
    return d;
}

} // namespace velmora
