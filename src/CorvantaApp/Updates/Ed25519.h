#pragma once

#include <QByteArray>

namespace corvanta {

// Ed25519 (RFC 8032) signature check, through OpenSSL. False for a key that is not 32 bytes, a
// signature that is not 64 bytes, or a signature that does not verify.
bool verifyEd25519(const QByteArray& publicKey, const QByteArray& message,
                   const QByteArray& signature);

}  // namespace corvanta
