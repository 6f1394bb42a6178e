#include "Updates/Ed25519.h"

#include <openssl/evp.h>

#include <memory>

namespace corvanta {
namespace {

struct OpenSslDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

const unsigned char* bytes(const QByteArray& data) {
    return reinterpret_cast<const unsigned char*>(data.constData());
}

}  // namespace

bool verifyEd25519(const QByteArray& publicKey, const QByteArray& message,
                   const QByteArray& signature) {
    if (publicKey.size() != 32 || signature.size() != 64) return false;
    const std::unique_ptr<EVP_PKEY, OpenSslDeleter> key(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, bytes(publicKey), std::size_t(publicKey.size())));
    const std::unique_ptr<EVP_MD_CTX, OpenSslDeleter> context(EVP_MD_CTX_new());
    if (!key || !context) return false;
    // Ed25519 hashes the message itself: no digest is named, and the whole message goes in one
    // call.
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return false;
    }
    return EVP_DigestVerify(context.get(), bytes(signature), std::size_t(signature.size()),
                            bytes(message), std::size_t(message.size())) == 1;
}

}  // namespace corvanta
