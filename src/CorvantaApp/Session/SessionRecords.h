#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <chrono>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <vector>

#include "SystemServices/EarningsScan.h"
#include "SystemServices/PayoutResolution.h"
#include "corvanta/loop/FoundBlock.h"
#include "corvanta/loop/ProofOfMining.h"
#include "corvanta/mining/CPUUsageProbe.h"
#include "corvanta/mining/EngineSelfTest.h"
#include "corvanta/node/ChainStatus.h"

// The records the session model shows, as gadgets the views read field by field. The model keeps
// the lower modules' own values and hands out these views of them; 64-bit counters come twice,
// as a number and as decimal text, because a view's number loses precision above 2^53.
namespace corvanta {

using SessionTime = std::chrono::system_clock::time_point;

QDateTime toDateTime(SessionTime instant);
// Undefined for none.
QVariant toVariant(const std::optional<SessionTime>& instant);

struct LogEntry {
    Q_GADGET
    Q_PROPERTY(QString id MEMBER id)
    Q_PROPERTY(QDateTime timestamp MEMBER timestamp)
    Q_PROPERTY(QString message MEMBER message)
  public:
    QString id;
    QDateTime timestamp;
    QString message;
    bool operator==(const LogEntry&) const = default;
};

struct HashRateSample {
    Q_GADGET
    Q_PROPERTY(QString id MEMBER id)
    Q_PROPERTY(QDateTime timestamp MEMBER timestamp)
    Q_PROPERTY(double megahashesPerSecond MEMBER megahashesPerSecond)
  public:
    QString id;
    QDateTime timestamp;
    double megahashesPerSecond = 0;
    bool operator==(const HashRateSample&) const = default;
};

struct FoundBlockRecord {
    Q_GADGET
    Q_PROPERTY(QString id MEMBER id)
    Q_PROPERTY(qint64 height MEMBER height)
    Q_PROPERTY(QString hashHex MEMBER hashHex)
    Q_PROPERTY(qint64 rewardSats MEMBER rewardSats)
    // "pending…", "accepted" or "rejected: " and the reason.
    Q_PROPERTY(QString verdict MEMBER verdict)
    // Undefined while pending.
    Q_PROPERTY(QVariant isAccepted READ isAcceptedValue)
  public:
    QString id;
    qint64 height = 0;
    QString hashHex;
    qint64 rewardSats = 0;
    QString verdict;
    std::optional<bool> isAccepted;
    QVariant isAcceptedValue() const;
    bool operator==(const FoundBlockRecord&) const = default;
};

struct BlockFoundPresentation {
    Q_GADGET
    Q_PROPERTY(QString id MEMBER id)
    Q_PROPERTY(qint64 height MEMBER height)
    Q_PROPERTY(QString hashHex MEMBER hashHex)
    Q_PROPERTY(qint64 rewardSats MEMBER rewardSats)
  public:
    QString id;
    qint64 height = 0;
    QString hashHex;
    qint64 rewardSats = 0;
    bool operator==(const BlockFoundPresentation&) const = default;
};

// The node's verdict on the latest candidate block.
struct CandidateValidation {
    Q_GADGET
    // "validated", "rejected" or "unavailable".
    Q_PROPERTY(QString kind READ kindName)
    Q_PROPERTY(qint64 height MEMBER height)
    // Set when validated.
    Q_PROPERTY(qint64 transactionCount MEMBER transactionCount)
    // Set when rejected or unavailable.
    Q_PROPERTY(QString reason MEMBER reason)
  public:
    enum class Kind { validated, rejected, unavailable };
    Kind kind = Kind::validated;
    qint64 height = 0;
    qint64 transactionCount = 0;
    QString reason;
    QString kindName() const;
    bool operator==(const CandidateValidation&) const = default;
};

struct WorkLoadStatistics {
    Q_GADGET
    Q_PROPERTY(double average MEMBER average)
    Q_PROPERTY(double p95 MEMBER p95)
    Q_PROPERTY(double maximum MEMBER maximum)
  public:
    double average = 0;
    double p95 = 0;
    double maximum = 0;
    bool operator==(const WorkLoadStatistics&) const = default;
};

// Views of the lower modules' values.

struct ChainStatusView {
    Q_GADGET
    Q_PROPERTY(QString chain MEMBER chain)
    Q_PROPERTY(qint64 blocks MEMBER blocks)
    Q_PROPERTY(qint64 headers MEMBER headers)
    Q_PROPERTY(double verificationProgress MEMBER verificationProgress)
    Q_PROPERTY(bool initialBlockDownload MEMBER initialBlockDownload)
    Q_PROPERTY(qint64 sizeOnDiskBytes MEMBER sizeOnDiskBytes)
    Q_PROPERTY(bool pruned MEMBER pruned)
    Q_PROPERTY(QString bestBlockHash MEMBER bestBlockHash)
  public:
    QString chain;
    qint64 blocks = 0;
    qint64 headers = 0;
    double verificationProgress = 0;
    bool initialBlockDownload = true;
    qint64 sizeOnDiskBytes = 0;
    bool pruned = false;
    QString bestBlockHash;
    bool operator==(const ChainStatusView&) const = default;
};

struct CPUUsageView {
    Q_GADGET
    Q_PROPERTY(double systemFraction MEMBER systemFraction)
    Q_PROPERTY(double processFraction MEMBER processFraction)
  public:
    double systemFraction = 0;
    double processFraction = 0;
    bool operator==(const CPUUsageView&) const = default;
};

struct EarningsView {
    Q_GADGET
    Q_PROPERTY(QString address MEMBER address)
    Q_PROPERTY(qint64 scannedAtHeight MEMBER scannedAtHeight)
    Q_PROPERTY(qint64 matureSats MEMBER matureSats)
    Q_PROPERTY(qint64 immatureSats MEMBER immatureSats)
    Q_PROPERTY(qint64 matureOutputCount MEMBER matureOutputCount)
    Q_PROPERTY(qint64 immatureOutputCount MEMBER immatureOutputCount)
  public:
    QString address;
    qint64 scannedAtHeight = 0;
    qint64 matureSats = 0;
    qint64 immatureSats = 0;
    qint64 matureOutputCount = 0;
    qint64 immatureOutputCount = 0;
    bool operator==(const EarningsView&) const = default;
};

struct EarningsScanStateView {
    Q_GADGET
    // "neverScanned", "scanning", "completed" or "failed".
    Q_PROPERTY(QString kind MEMBER kind)
    // Set when completed.
    Q_PROPERTY(QVariant completedAt MEMBER completedAt)
    // Set when failed.
    Q_PROPERTY(QString error MEMBER error)
  public:
    QString kind;
    QVariant completedAt;
    QString error;
    bool operator==(const EarningsScanStateView&) const = default;
};

struct ProofEntryView {
    Q_GADGET
    Q_PROPERTY(qint64 index MEMBER index)
    Q_PROPERTY(QDateTime timestamp MEMBER timestamp)
    Q_PROPERTY(qint64 networkHeight MEMBER networkHeight)
    Q_PROPERTY(QString networkBlockHash MEMBER networkBlockHash)
    Q_PROPERTY(double hashesReported MEMBER hashesReported)
    Q_PROPERTY(QString hashesReportedText MEMBER hashesReportedText)
  public:
    qint64 index = 0;
    QDateTime timestamp;
    qint64 networkHeight = 0;
    QString networkBlockHash;
    double hashesReported = 0;
    QString hashesReportedText;
    bool operator==(const ProofEntryView&) const = default;
};

struct ProofVerificationView {
    Q_GADGET
    Q_PROPERTY(qint64 entriesChecked MEMBER entriesChecked)
    Q_PROPERTY(QVariantList brokenChainAt MEMBER brokenChainAt)
    Q_PROPERTY(QVariantList invalidWorkAt MEMBER invalidWorkAt)
    Q_PROPERTY(double bestDifficultyProven MEMBER bestDifficultyProven)
    Q_PROPERTY(double hashesReported MEMBER hashesReported)
    Q_PROPERTY(QString hashesReportedText MEMBER hashesReportedText)
    // {height, hash} or undefined.
    Q_PROPERTY(QVariant firstAnchor MEMBER firstAnchor)
    Q_PROPERTY(QVariant lastAnchor MEMBER lastAnchor)
    Q_PROPERTY(bool isIntact MEMBER isIntact)
  public:
    qint64 entriesChecked = 0;
    QVariantList brokenChainAt;
    QVariantList invalidWorkAt;
    double bestDifficultyProven = 0;
    double hashesReported = 0;
    QString hashesReportedText;
    QVariant firstAnchor;
    QVariant lastAnchor;
    bool isIntact = true;
    bool operator==(const ProofVerificationView&) const = default;
};

struct SelfTestVerdictView {
    Q_GADGET
    Q_PROPERTY(bool passed MEMBER passed)
    // The failure's reason; empty when passed.
    Q_PROPERTY(QString reason MEMBER reason)
  public:
    bool passed = true;
    QString reason;
    bool operator==(const SelfTestVerdictView&) const = default;
};

// One block of the stored found-block history.
struct FoundBlockView {
    Q_GADGET
    Q_PROPERTY(QString id MEMBER id)
    Q_PROPERTY(qint64 height MEMBER height)
    Q_PROPERTY(QString blockHashHex MEMBER blockHashHex)
    Q_PROPERTY(qint64 rewardSats MEMBER rewardSats)
    Q_PROPERTY(QDateTime foundAt MEMBER foundAt)
    Q_PROPERTY(qint64 confirmations MEMBER confirmations)
    // "pending", "mature", "orphaned" or "rejected".
    Q_PROPERTY(QString status MEMBER status)
  public:
    QString id;
    qint64 height = 0;
    QString blockHashHex;
    qint64 rewardSats = 0;
    QDateTime foundAt;
    qint64 confirmations = 0;
    QString status;
    bool operator==(const FoundBlockView&) const = default;
};

struct PayoutView {
    Q_GADGET
    Q_PROPERTY(QString display MEMBER display)
    Q_PROPERTY(bool isUnsafeOpTrue MEMBER isUnsafeOpTrue)
  public:
    QString display;
    bool isUnsafeOpTrue = false;
    bool operator==(const PayoutView&) const = default;
};

ChainStatusView view(const ChainStatus& status);
CPUUsageView view(const CPUUsageSample& sample);
EarningsView view(const EarningsSnapshot& earnings);
EarningsScanStateView view(const EarningsScanStateValue& state);
ProofEntryView view(const ProofEntry& entry);
ProofVerificationView view(const ProofVerification& verification);
SelfTestVerdictView view(const EngineSelfTest::Verdict& verdict);
FoundBlockView view(const FoundBlock& block);
PayoutView view(const PayoutResolution& payout);

// Undefined for none, else the gadget (or the plain value) as a variant.
template <typename T>
QVariant toVariant(const std::optional<T>& value) {
    if (!value) return {};
    if constexpr (requires { view(*value); }) {
        return QVariant::fromValue(view(*value));
    } else if constexpr (std::is_same_v<T, std::int64_t>) {
        return QVariant::fromValue(qint64(*value));
    } else {
        return QVariant::fromValue(*value);
    }
}

template <typename T>
QVariantList toVariantList(const std::vector<T>& values) {
    QVariantList list;
    list.reserve(qsizetype(values.size()));
    for (const auto& value : values) {
        if constexpr (requires { view(value); }) {
            list.append(QVariant::fromValue(view(value)));
        } else {
            list.append(QVariant::fromValue(value));
        }
    }
    return list;
}

}  // namespace corvanta
