#include "corvanta/loop/BlockCoinbase.h"

#include <algorithm>
#include <limits>

#include "corvanta/assembly/ChainLimits.h"

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

std::optional<BlockCoinbase> BlockCoinbase::decode(std::span<const std::uint8_t> block) {
    Reader reader(block);
    BlockCoinbase coinbase;
    const auto header = reader.take(kHeaderSize);
    if (!reader.ok()) return std::nullopt;
    coinbase.blockHash = doubleSHA256(header);
    coinbase.time = std::uint32_t(header[68]) | std::uint32_t(header[69]) << 8 |
                    std::uint32_t(header[70]) << 16 | std::uint32_t(header[71]) << 24;
    if (reader.varInt() == 0) return std::nullopt;  // no transaction, no coinbase

    // The transaction id leaves out the witness marker, flag and witness: its bytes are the
    // version, the inputs and outputs, and the lock time, hashed together.
    const std::size_t start = reader.position();
    reader.take(4);  // version
    bool witness = false;
    std::size_t inputsStart = reader.position();
    const auto peek = block.subspan(std::min(block.size(), inputsStart));
    if (peek.size() >= 2 && peek[0] == 0x00 && peek[1] == 0x01) {
        witness = true;
        reader.take(2);
        inputsStart = reader.position();
    }
    // A coinbase has one input, spending nothing: a null outpoint.
    if (reader.varInt() != 1) return std::nullopt;
    const auto outpoint = reader.take(36);
    if (!reader.ok() ||
        !std::all_of(outpoint.begin(), outpoint.begin() + 32,
                     [](std::uint8_t b) { return b == 0; }) ||
        !std::all_of(outpoint.begin() + 32, outpoint.end(),
                     [](std::uint8_t b) { return b == 0xFF; })) {
        return std::nullopt;
    }
    reader.take(reader.varInt());  // the coinbase script
    reader.take(4);                // sequence
    const auto outputCount = reader.varInt();
    for (std::uint64_t i = 0; i < outputCount && reader.ok(); ++i) {
        Output output;
        const auto sats = reader.little(8);
        if (!reader.ok() || sats > std::uint64_t(maxMoneySats)) return std::nullopt;
        output.sats = std::int64_t(sats);
        const auto script = reader.take(reader.varInt());
        output.script.assign(script.begin(), script.end());
        coinbase.outputs.push_back(std::move(output));
    }
    const std::size_t outputsEnd = reader.position();
    if (witness) {
        const auto items = reader.varInt();  // the single input's witness
        for (std::uint64_t i = 0; i < items && reader.ok(); ++i) reader.take(reader.varInt());
    }
    const auto lockTime = reader.take(4);
    if (!reader.ok()) return std::nullopt;

    Bytes stripped(block.begin() + std::ptrdiff_t(start),
                   block.begin() + std::ptrdiff_t(start + 4));
    stripped.insert(stripped.end(), block.begin() + std::ptrdiff_t(inputsStart),
                    block.begin() + std::ptrdiff_t(outputsEnd));
    stripped.insert(stripped.end(), lockTime.begin(), lockTime.end());
    coinbase.coinbaseTxID = doubleSHA256(stripped);
    return coinbase;
}

}  // namespace corvanta
