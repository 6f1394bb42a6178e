#include "corvanta/assembly/CoinbaseTransaction.h"

#include <stdexcept>

#include "ByteWriting.h"

namespace corvanta {

using detail::append;
using detail::appendLittleEndian;

Bytes ScriptEncoding::pushBlockHeight(std::int64_t height) {
    if (height < 0) throw std::invalid_argument("pushBlockHeight: negative height");
    if (height == 0) return {0x00};
    if (height <= 16) return {static_cast<std::uint8_t>(0x50 + height)};
    Bytes number;
    for (auto rest = static_cast<std::uint64_t>(height); rest > 0; rest >>= 8) {
        number.push_back(static_cast<std::uint8_t>(rest & 0xFF));
    }
    if ((number.back() & 0x80) != 0) number.push_back(0x00);
    Bytes push{static_cast<std::uint8_t>(number.size())};
    append(push, number);
    return push;
}

Bytes CoinbaseTransaction::makeScriptSig(std::int64_t height,
                                         std::span<const std::uint8_t> extranonce) {
    if (extranonce.size() > maxExtranonceSize) {
        throw std::invalid_argument("coinbase extranonce over 75 bytes");
    }
    Bytes script = ScriptEncoding::pushBlockHeight(height);
    if (!extranonce.empty()) {
        script.push_back(static_cast<std::uint8_t>(extranonce.size()));
        append(script, extranonce);
    }
    if (script.size() < 2) script.push_back(0x00);
    return script;
}

CoinbaseTransaction::CoinbaseTransaction(std::int64_t height,
                                         std::span<const std::uint8_t> extranonce,
                                         std::vector<CoinbaseOutput> outputs,
                                         std::optional<Bytes> witnessCommitment)
    : scriptSig(makeScriptSig(height, extranonce)),
      outputs(std::move(outputs)),
      witnessCommitment(std::move(witnessCommitment)) {
    if (this->outputs.empty()) throw std::invalid_argument("coinbase without outputs");
}

Hash32 CoinbaseTransaction::txid() const {
    return doubleSHA256(serializedWithoutWitness());
}

Bytes CoinbaseTransaction::serializedWithWitness() const {
    return serialize(true);
}

Bytes CoinbaseTransaction::serializedWithoutWitness() const {
    return serialize(false);
}

Bytes CoinbaseTransaction::serialize(bool includingWitness) const {
    const bool witness = includingWitness && witnessCommitment.has_value();
    Bytes out;
    appendLittleEndian(out, 2, 4);  // version
    if (witness) {
        out.push_back(0x00);  // marker
        out.push_back(0x01);  // flag
    }
    out.push_back(0x01);              // one input
    out.insert(out.end(), 32, 0x00);  // previous output: none
    appendLittleEndian(out, 0xFFFF'FFFF, 4);
    append(out, BitcoinEncoding::varInt(scriptSig.size()));
    append(out, scriptSig);
    appendLittleEndian(out, 0xFFFF'FFFF, 4);  // sequence

    append(out, BitcoinEncoding::varInt(outputs.size() + (witnessCommitment ? 1 : 0)));
    for (const CoinbaseOutput& output : outputs) {
        appendLittleEndian(out, static_cast<std::uint64_t>(output.sats), 8);
        append(out, BitcoinEncoding::varInt(output.script.size()));
        append(out, output.script);
    }
    if (witnessCommitment) {
        appendLittleEndian(out, 0, 8);
        append(out, BitcoinEncoding::varInt(witnessCommitment->size()));
        append(out, *witnessCommitment);
    }
    if (witness) {
        // The witness reserved value: one 32-byte item of zeros, as the commitment assumes.
        out.push_back(0x01);
        out.push_back(0x20);
        out.insert(out.end(), 32, 0x00);
    }
    appendLittleEndian(out, 0, 4);  // lock time
    return out;
}

}  // namespace corvanta
