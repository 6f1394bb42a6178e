// The values the views derive from the stored state, and their notifications.
#include "Session/SessionModelInternals.h"
#include "Session/SessionRules.h"
#include "SystemServices/PayoutResolution.h"

namespace corvanta {
namespace {

bool isSessionActive(MiningSessionModel::RunStateKind kind) {
    return kind != MiningSessionModel::RunStateKind::idle &&
           kind != MiningSessionModel::RunStateKind::failed;
}

}  // namespace

bool MiningSessionModel::isHashing() const {
    return isSessionActive(runState_.kind) && !manuallyPaused_ && !governorPaused_;
}

std::optional<ChainStatus> MiningSessionModel::freshChainStatus() const {
    if (!chainStatusUpdatedAt_ ||
        now() - *chainStatusUpdatedAt_ >= environment_.timings.chainStatusFreshness) {
        return std::nullopt;
    }
    return chainStatus_;
}

MiningSessionModel::RPCLinkState MiningSessionModel::rpcLinkState() const {
    if (!chainStatus_) return RPCLinkState::disconnected;
    return freshChainStatus() ? RPCLinkState::connected : RPCLinkState::unresponsive;
}

bool MiningSessionModel::networkTipIsCurrent() const {
    const auto fresh = freshChainStatus();
    if (!fresh || fresh->blocks != fresh->headers) return false;
    if (activeNetwork_ == BitcoinNetwork::regtest) return true;
    return !fresh->initialBlockDownload && peerCount_ && *peerCount_ >= 1;
}

std::optional<SessionTime> MiningSessionModel::confirmedNetworkTipTimestamp() const {
    if (!networkTipIsCurrent()) return std::nullopt;
    if (networkTipObservedAt_) return networkTipObservedAt_;
    // A header time ahead of our clock is not news from the future.
    if (networkTipTimestamp_) return std::min(*networkTipTimestamp_, now());
    return std::nullopt;
}

std::optional<CandidateValidation> MiningSessionModel::currentCandidateValidation() const {
    if (!candidateValidation_ || !templateHeight_ ||
        candidateValidation_->height != *templateHeight_) {
        return std::nullopt;
    }
    return candidateValidation_;
}

bool MiningSessionModel::payoutNeedsAttention() const {
    const auto resolution = resolvePayout(selectedNetwork_, payoutAddressInput_);
    if (const auto* payout = std::get_if<PayoutResolution>(&resolution)) {
        return payout->isUnsafeOpTrue;
    }
    return true;
}

std::optional<QString> MiningSessionModel::payoutDivergence() const {
    if (!isSessionActive(runState_.kind) || !activePayout_) return std::nullopt;
    if (activePayout_->display == payoutAddressInput_.trimmed()) return std::nullopt;
    return activePayout_->display;
}

bool MiningSessionModel::scanCoversConfiguredAddress() const {
    const QString typed = payoutAddressInput_.trimmed();
    return earnings_ && !typed.isEmpty() && typed.toStdString() == earnings_->address;
}

std::optional<double> MiningSessionModel::bestAttemptShareOfNetwork() const {
    if (!bestDifficultyAllTime_ || !bestDifficultyNetwork_ || !(*bestDifficultyAllTime_ > 0) ||
        !(*bestDifficultyNetwork_ > 0)) {
        return std::nullopt;
    }
    return *bestDifficultyNetwork_ / *bestDifficultyAllTime_;
}

bool MiningSessionModel::scheduleIsDriving() const {
    return scheduleEnabled_ && (!scheduleOverrideUntil_ || now() >= *scheduleOverrideUntil_);
}

bool MiningSessionModel::isThrottledBelowRequestedMode() const {
    return isThrottledBelow(powerMode_, effectiveWorkerCount_, performanceCores_);
}

QVariant MiningSessionModel::workLoadStatisticsValue() const {
    return toVariant(workLoadStatistics(workLoadLatencies_));
}

MiningSessionModel::Derived MiningSessionModel::computeDerived() const {
    return {isHashing(),
            freshChainStatus(),
            rpcLinkState(),
            confirmedNetworkTipTimestamp(),
            currentCandidateValidation(),
            payoutNeedsAttention(),
            payoutDivergence(),
            scanCoversConfiguredAddress(),
            bestAttemptShareOfNetwork(),
            scheduleIsDriving(),
            isThrottledBelowRequestedMode(),
            workLoadStatistics(workLoadLatencies_)};
}

void MiningSessionModel::refreshDerived() {
    Derived next = computeDerived();
    Derived& last = *derived_;
    // Each field is stored before its signal, so a handler that reads the model again (and so
    // comes back here) finds nothing left to announce.
    const auto update = [this](auto& stored, auto& fresh, void (MiningSessionModel::*changed)()) {
        if (session::sameValue(stored, fresh)) return;
        stored = std::move(fresh);
        emit(this->*changed)();
    };
    update(last.isHashing, next.isHashing, &MiningSessionModel::isHashingChanged);
    update(last.freshChainStatus, next.freshChainStatus,
           &MiningSessionModel::freshChainStatusChanged);
    update(last.rpcLinkState, next.rpcLinkState, &MiningSessionModel::rpcLinkStateChanged);
    update(last.confirmedNetworkTipTimestamp, next.confirmedNetworkTipTimestamp,
           &MiningSessionModel::confirmedNetworkTipTimestampChanged);
    update(last.currentCandidateValidation, next.currentCandidateValidation,
           &MiningSessionModel::currentCandidateValidationChanged);
    update(last.payoutNeedsAttention, next.payoutNeedsAttention,
           &MiningSessionModel::payoutNeedsAttentionChanged);
    update(last.payoutDivergence, next.payoutDivergence,
           &MiningSessionModel::payoutDivergenceChanged);
    update(last.scanCoversConfiguredAddress, next.scanCoversConfiguredAddress,
           &MiningSessionModel::scanCoversConfiguredAddressChanged);
    update(last.bestAttemptShareOfNetwork, next.bestAttemptShareOfNetwork,
           &MiningSessionModel::bestAttemptShareOfNetworkChanged);
    update(last.scheduleIsDriving, next.scheduleIsDriving,
           &MiningSessionModel::scheduleIsDrivingChanged);
    update(last.isThrottledBelowRequestedMode, next.isThrottledBelowRequestedMode,
           &MiningSessionModel::isThrottledBelowRequestedModeChanged);
    update(last.workLoadStatistics, next.workLoadStatistics,
           &MiningSessionModel::workLoadStatisticsChanged);
}

}  // namespace corvanta
