#include "corvanta/assembly/BlockCandidate.h"

#include "ByteWriting.h"

namespace corvanta {

using detail::append;

Bytes BlockCandidate::serialized(std::uint32_t nonce) const {
    std::size_t size = BlockHeader::byteCount + 9 + coinbaseBytes.size();
    for (const Bytes& transaction : *otherTransactions) size += transaction.size();

    Bytes block;
    block.reserve(size);
    append(block, header.withNonce(nonce).serialized());
    append(block, BitcoinEncoding::varInt(transactionCount()));
    append(block, coinbaseBytes);
    for (const Bytes& transaction : *otherTransactions) append(block, transaction);
    return block;
}

}  // namespace corvanta
