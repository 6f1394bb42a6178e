#include "corvanta/loop/BlockCoinbase.h"

#include <algorithm>
#include <limits>

#include "corvanta/assembly/ChainLimits.h"
#include "corvanta/assembly/CoinbaseTransaction.h"
#include "corvanta/assembly/Merkle.h"
#include "corvanta/mining/Target.h"

namespace corvanta {
namespace {

constexpr std::size_t kHeaderSize = 80;

// Reads little-endian fields from the front of the bytes; any read beyond their end fails the
// whole reader, and every later read with it.
class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    std::size_t position() const { return position_; }

    std::span<const std::uint8_t> take(std::uint64_t count) {
        if (!ok_ || count > bytes_.size() - position_) {
            ok_ = false;
            return {};
        }
        const auto taken = bytes_.subspan(position_, std::size_t(count));
        position_ += std::size_t(count);
        return taken;
    }
    std::uint64_t little(std::size_t width) {
        std::uint64_t value = 0;
        const auto field = take(width);
        for (std::size_t i = 0; i < field.size(); ++i) value |= std::uint64_t(field[i]) << (8 * i);
        return value;
    }
    std::uint64_t varInt() {
        const auto first = little(1);
        if (first == 0xFD) return little(2);
        if (first == 0xFE) return little(4);
        if (first == 0xFF) return little(8);
        return first;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool ok_ = true;
};

}  // namespace

std::int64_t BlockCoinbase::satsPaidTo(std::span<const std::uint8_t> script) const {
    std::int64_t total = 0;
    for (const auto& output : outputs) {
        if (!std::equal(output.script.begin(), output.script.end(), script.begin(), script.end()))
            continue;
        if (__builtin_add_overflow(total, output.sats, &total)) {
            return std::numeric_limits<std::int64_t>::max();
        }
    }
    return total;
}

namespace {

// Reads the coinbase transaction at the reader's place into `coinbase`; false for anything else.
bool readCoinbase(Reader& reader, std::span<const std::uint8_t> bytes, BlockCoinbase& coinbase) {
    // The transaction id leaves out the witness marker, flag and witness: its bytes are the
    // version, the inputs and outputs, and the lock time, hashed together.
    const std::size_t start = reader.position();
    reader.take(4);  // version
    bool witness = false;
    std::size_t inputsStart = reader.position();
    const auto peek = bytes.subspan(std::min(bytes.size(), inputsStart));
    if (peek.size() >= 2 && peek[0] == 0x00 && peek[1] == 0x01) {
        witness = true;
        reader.take(2);
        inputsStart = reader.position();
    }
    // A coinbase has one input, spending nothing: a null outpoint.
    if (reader.varInt() != 1) return false;
    const auto outpoint = reader.take(36);
    if (!reader.ok() ||
        !std::all_of(outpoint.begin(), outpoint.begin() + 32,
                     [](std::uint8_t b) { return b == 0; }) ||
        !std::all_of(outpoint.begin() + 32, outpoint.end(),
                     [](std::uint8_t b) { return b == 0xFF; })) {
        return false;
    }
    const auto script = reader.take(reader.varInt());
    coinbase.scriptSig.assign(script.begin(), script.end());
    reader.take(4);  // sequence
    const auto outputCount = reader.varInt();
    for (std::uint64_t i = 0; i < outputCount && reader.ok(); ++i) {
        BlockCoinbase::Output output;
        const auto sats = reader.little(8);
        if (!reader.ok() || sats > std::uint64_t(maxMoneySats)) return false;
        output.sats = std::int64_t(sats);
        const auto outputScript = reader.take(reader.varInt());
        output.script.assign(outputScript.begin(), outputScript.end());
        coinbase.outputs.push_back(std::move(output));
    }
    const std::size_t outputsEnd = reader.position();
    if (witness) {
        const auto items = reader.varInt();  // the single input's witness
        for (std::uint64_t i = 0; i < items && reader.ok(); ++i) reader.take(reader.varInt());
    }
    const auto lockTime = reader.take(4);
    if (!reader.ok()) return false;

    Bytes stripped(bytes.begin() + std::ptrdiff_t(start),
                   bytes.begin() + std::ptrdiff_t(start + 4));
    stripped.insert(stripped.end(), bytes.begin() + std::ptrdiff_t(inputsStart),
                    bytes.begin() + std::ptrdiff_t(outputsEnd));
    stripped.insert(stripped.end(), lockTime.begin(), lockTime.end());
    coinbase.coinbaseTxID = doubleSHA256(stripped);
    return true;
}

}  // namespace

namespace {

// Reads any transaction at the reader's place and gives its id; none for bytes that are not one.
std::optional<Hash32> readTransactionID(Reader& reader, std::span<const std::uint8_t> bytes) {
    const std::size_t start = reader.position();
    reader.take(4);  // version
    std::size_t inputsStart = reader.position();
    const auto peek = bytes.subspan(std::min(bytes.size(), inputsStart));
    const bool witness = peek.size() >= 2 && peek[0] == 0x00 && peek[1] != 0x00;
    if (witness) {
        reader.take(2);
        inputsStart = reader.position();
    }
    const auto inputs = reader.varInt();
    for (std::uint64_t i = 0; i < inputs && reader.ok(); ++i) {
        reader.take(36);
        reader.take(reader.varInt());
        reader.take(4);
    }
    const auto outputs = reader.varInt();
    for (std::uint64_t i = 0; i < outputs && reader.ok(); ++i) {
        reader.take(8);
        reader.take(reader.varInt());
    }
    const std::size_t outputsEnd = reader.position();
    for (std::uint64_t i = 0; witness && i < inputs && reader.ok(); ++i) {
        const auto items = reader.varInt();
        for (std::uint64_t j = 0; j < items && reader.ok(); ++j) reader.take(reader.varInt());
    }
    const auto lockTime = reader.take(4);
    if (!reader.ok()) return std::nullopt;
    Bytes stripped(bytes.begin() + std::ptrdiff_t(start),
                   bytes.begin() + std::ptrdiff_t(start + 4));
    stripped.insert(stripped.end(), bytes.begin() + std::ptrdiff_t(inputsStart),
                    bytes.begin() + std::ptrdiff_t(outputsEnd));
    stripped.insert(stripped.end(), lockTime.begin(), lockTime.end());
    return doubleSHA256(stripped);
}

std::uint32_t littleWord(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
           std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

}  // namespace

std::optional<std::string> BlockCoinbase::flawOfWholeBlock(std::span<const std::uint8_t> block) {
    Reader reader(block);
    const auto header = reader.take(kHeaderSize);
    if (!reader.ok()) return "shorter than a block header";
    const auto count = reader.varInt();
    // Each transaction takes at least ten bytes: no count beyond what the bytes could hold.
    if (!reader.ok() || count == 0 || count > block.size() / 10) {
        return "no transactions, or more than the block could hold";
    }
    std::vector<Hash32> ids;
    ids.reserve(std::size_t(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        const auto id = readTransactionID(reader, block);
        if (!id) return "transaction " + std::to_string(i) + " cannot be read";
        ids.push_back(*id);
    }
    if (reader.position() != block.size()) return "bytes after the last transaction";
    const auto root = MerkleTree::root(ids);
    if (!root || !std::equal(root->begin(), root->end(), header.begin() + 36)) {
        return "the header's merkle root is not that of the block's transactions";
    }
    const auto target = Target::fromCompactBits(littleWord(header, 72));
    if (!target) return "the header's target bits are no target";
    if (!target->isMet(doubleSHA256(header))) return "the header's hash does not meet its target";
    return std::nullopt;
}

std::optional<BlockCoinbase> BlockCoinbase::decode(std::span<const std::uint8_t> block) {
    Reader reader(block);
    BlockCoinbase coinbase;
    const auto header = reader.take(kHeaderSize);
    if (!reader.ok()) return std::nullopt;
    coinbase.blockHash = doubleSHA256(header);
    coinbase.time = std::uint32_t(header[68]) | std::uint32_t(header[69]) << 8 |
                    std::uint32_t(header[70]) << 16 | std::uint32_t(header[71]) << 24;
    if (reader.varInt() == 0) return std::nullopt;  // no transaction, no coinbase
    if (!readCoinbase(reader, block, coinbase)) return std::nullopt;
    return coinbase;
}

std::optional<BlockCoinbase> BlockCoinbase::decodeTransaction(
    std::span<const std::uint8_t> transaction) {
    Reader reader(transaction);
    BlockCoinbase coinbase;
    if (!readCoinbase(reader, transaction, coinbase)) return std::nullopt;
    if (reader.position() != transaction.size()) return std::nullopt;  // more than one transaction
    return coinbase;
}

std::optional<std::int64_t> BlockCoinbase::pushedHeight() const {
    if (scriptSig.empty()) return std::nullopt;
    const auto first = scriptSig[0];
    if (first == 0x00) return 0;
    if (first >= 0x51 && first <= 0x60) return first - 0x50;
    // A number of up to 5 bytes (heights stay below 2^31), little-endian, non-negative.
    if (first < 1 || first > 5 || scriptSig.size() < std::size_t(1 + first)) return std::nullopt;
    if ((scriptSig[first] & 0x80) != 0) return std::nullopt;
    std::int64_t height = 0;
    for (std::size_t i = first; i >= 1; --i) height = (height << 8) | scriptSig[i];
    // Only the minimal push is the height push the node checks.
    if (ScriptEncoding::pushBlockHeight(height) !=
        Bytes(scriptSig.begin(), scriptSig.begin() + 1 + first)) {
        return std::nullopt;
    }
    return height;
}

std::optional<ExtranonceMark> BlockCoinbase::extranonceMark() const {
    const auto height = pushedHeight();
    if (!height) return std::nullopt;
    const auto push = ScriptEncoding::pushBlockHeight(*height);
    constexpr std::size_t extranonceSize = 8;
    if (scriptSig.size() != push.size() + 1 + extranonceSize || scriptSig[push.size()] != 8) {
        return std::nullopt;
    }
    ExtranonceMark mark{};
    std::copy_n(scriptSig.end() - std::ptrdiff_t(mark.size()), mark.size(), mark.begin());
    return mark;
}

}  // namespace corvanta
