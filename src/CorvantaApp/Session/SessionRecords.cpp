#include "Session/SessionRecords.h"

#include <QTimeZone>
#include <QVariantMap>

#include <algorithm>
#include <type_traits>

namespace corvanta {
namespace {

QString hex(const std::vector<std::uint8_t>& bytes) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex());
}

QVariantList numbers(const std::vector<std::int64_t>& values) {
    QVariantList list;
    for (const auto value : values) list.append(qint64(value));
    return list;
}

QVariant anchor(const std::optional<ProofAnchor>& anchor) {
    if (!anchor) return {};
    return QVariantMap{{QStringLiteral("height"), qint64(anchor->height)},
                       {QStringLiteral("hash"), QString::fromStdString(anchor->hash)}};
}

}  // namespace

QDateTime toDateTime(SessionTime instant) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(instant.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
}

QVariant toVariant(const std::optional<SessionTime>& instant) {
    return instant ? QVariant(toDateTime(*instant)) : QVariant();
}

QVariant FoundBlockRecord::isAcceptedValue() const {
    return isAccepted ? QVariant(*isAccepted) : QVariant();
}

QString CandidateValidation::kindName() const {
    switch (kind) {
        case Kind::validated:
            return QStringLiteral("validated");
        case Kind::rejected:
            return QStringLiteral("rejected");
        case Kind::unavailable:
            return QStringLiteral("unavailable");
    }
    return {};
}

ChainStatusView view(const ChainStatus& status) {
    return {QString::fromStdString(status.chain),
            status.blocks,
            status.headers,
            status.verificationProgress,
            status.initialBlockDownload,
            status.sizeOnDiskBytes,
            status.pruned,
            QString::fromStdString(status.bestBlockHash)};
}

CPUUsageView view(const CPUUsageSample& sample) {
    return {sample.systemFraction, sample.processFraction};
}

EarningsView view(const EarningsSnapshot& earnings) {
    return {QString::fromStdString(earnings.address),
            earnings.scannedAtHeight,
            earnings.matureSats,
            earnings.immatureSats,
            earnings.matureOutputCount,
            earnings.immatureOutputCount};
}

EarningsScanStateView view(const EarningsScanStateValue& state) {
    return std::visit(
        [](const auto& value) -> EarningsScanStateView {
            using State = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<State, EarningsScanState::NeverScanned>) {
                return {QStringLiteral("neverScanned"), {}, {}};
            } else if constexpr (std::is_same_v<State, EarningsScanState::Scanning>) {
                return {QStringLiteral("scanning"), {}, {}};
            } else if constexpr (std::is_same_v<State, EarningsScanState::Completed>) {
                return {QStringLiteral("completed"), value.at, {}};
            } else {
                return {QStringLiteral("failed"), {}, value.error};
            }
        },
        state);
}

ProofEntryView view(const ProofEntry& entry) {
    return {entry.index,
            toDateTime(entry.timestamp),
            entry.networkHeight,
            QString::fromStdString(entry.networkBlockHash),
            double(entry.hashesReported),
            QString::number(entry.hashesReported)};
}

ProofVerificationView view(const ProofVerification& verification) {
    return {verification.entriesChecked,
            numbers(verification.brokenChainAt),
            numbers(verification.invalidWorkAt),
            verification.bestDifficultyProven,
            double(verification.hashesReported),
            QString::number(verification.hashesReported),
            anchor(verification.firstAnchor),
            anchor(verification.lastAnchor),
            verification.isIntact()};
}

SelfTestVerdictView view(const EngineSelfTest::Verdict& verdict) {
    if (const auto* failed = std::get_if<EngineSelfTest::Failed>(&verdict)) {
        return {false, QString::fromStdString(failed->reason)};
    }
    return {true, {}};
}

FoundBlockView view(const FoundBlock& block) {
    // The history keeps hashes in hash byte order; people read them reversed.
    auto display = block.blockHash;
    std::reverse(display.begin(), display.end());
    return {QString::fromStdString(block.id),
            block.height,
            hex(display),
            block.rewardSats,
            toDateTime(block.foundAt),
            block.confirmations,
            QString::fromLatin1(toString(block.status).data(),
                                qsizetype(toString(block.status).size()))};
}

PayoutView view(const PayoutResolution& payout) {
    return {payout.display, payout.isUnsafeOpTrue};
}

}  // namespace corvanta
