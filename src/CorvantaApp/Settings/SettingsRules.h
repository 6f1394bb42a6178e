#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

#include "Session/LedgerStoryText.h"
#include "corvanta/ledger/LedgerFigures.h"

namespace corvanta {

// The settings panel's rules with thresholds, tables and formats, kept apart from the views so
// that they can be checked on their own. Texts come back in the current language; `colorRole`
// names a Theme colour.

struct StyledText {
    QString text;
    QString colorRole;
    bool operator==(const StyledText&) const = default;
};

// ---- Winning safety ----

enum class SafetyLevel { ok, warning, danger, pending };
QString symbolOf(SafetyLevel level);
QString colorRoleOf(SafetyLevel level);

struct SafetyRow {
    SafetyLevel level = SafetyLevel::pending;
    QString detail;
    bool operator==(const SafetyRow&) const = default;
};

SafetyRow addressSafetyRow(const QString& network, const QString& addressInput);

// The node's verdict on the current candidate, when there is one for the template's height.
struct CandidateVerdict {
    QString kind;  // "validated", "rejected" or "unavailable"
    std::int64_t transactionCount = 0;
    QString reason;
};
// `sessionRuns`: the run state is neither idle nor failed.
SafetyRow candidateSafetyRow(const std::optional<CandidateVerdict>& verdict, bool sessionRuns);
SafetyRow proofSafetyRow(bool ledgerUnreadable, std::int64_t entryCount);

// ---- CPU ----

struct ThermalSegment {
    bool lit = false;
    QString colorRole;  // "success", "warning", "danger" or "cardBorder"
    QString label;      // the segment's own state name
    bool operator==(const ThermalSegment&) const = default;
};
// States "nominal", "fair", "serious", "critical"; anything else reads as nominal.
int thermalIndex(const QString& state);
QString thermalTitle(const QString& state);
QString thermalTitleColorRole(const QString& state);
QString thermalDetail(const QString& state);
std::vector<ThermalSegment> thermalSegments(const QString& state);

// ---- Diagnostics ----

struct WorkLoad {
    double average = 0;
    double p95 = 0;
    double maximum = 0;
};
QString workLoadText(const std::optional<WorkLoad>& statistics);

// A passed verdict is fresh for this long after its check.
inline constexpr double selfTestFreshSeconds = 1500;
struct SelfTestState {
    std::optional<bool> passed;  // none: no verdict yet
    QString reason;              // a failure's reason, as the engine gave it
    std::optional<double> secondsSinceCheck;
};
StyledText selfTestText(const SelfTestState& state);
QString bitsText(const std::optional<std::uint32_t>& bits);

// ---- Node ----

// Link state 0 disconnected, 1 connected, 2 unresponsive.
StyledText rpcLinkText(int linkState);
// Whole below 22 characters, else the first 12, "…" and the last 8.
QString shortNodeHash(const QString& hash);
// Bytes as GiB with two decimals and a point, in the language's unit: "12.00 Go", "12.00 GB".
QString sizeOnDiskText(std::int64_t bytes);

// ---- Ledger ----

enum class LedgerIntegrity { verified, unreadable, empty };
// A ledger with checked entries is shown as verified even when it was also marked unreadable.
LedgerIntegrity ledgerIntegrity(std::optional<std::int64_t> entriesChecked, bool unreadable);
// The first six indices, plain decimal, joined with ", ".
QString firstIndices(const std::vector<std::int64_t>& indices);
// Whole below 18 characters, else the first 10, "…" and the last 6.
QString shortLedgerHash(const QString& hash);

inline constexpr double expectedHashesCap = ledger::expectedHashesCap;
struct DeclaredCheck {
    std::uint64_t expectedShown = 0;  // capped before any conversion to an integer
    double ratio = 0;                 // against the uncapped expectation
    bool coherent = false;
    QString text;  // "×%.2f — verdict"
    QString colorRole;
};
// Nothing unless the proven difficulty is above 0 (NaN is not) and some hashes were declared.
std::optional<DeclaredCheck> declaredCheck(double bestDifficultyProven,
                                           std::uint64_t hashesReported);
// The unreadable-ledger caption in the current language, each run of spaces shown as one.
QString unreadableLedgerCaption();

// Whether the declared hashes are out of the range the proof allows, or past what 64 bits count:
// the checker's suspect verdict.
bool declaredHashesSuspect(double bestDifficultyProven, std::uint64_t hashesReported);

// The integrity card's status line, in the words of the command-line checker's verdict, ranked as
// its exit status ranks them: altered, a refused journal line, suspect. A ledger read whole whose
// checks hold is intact; one shown after something was set aside never claims the whole history.
struct LedgerStatus {
    QString text;
    QString colorRole;
    bool intact = false;
};
LedgerStatus ledgerStatus(LedgerIntegrity integrity, bool isIntact, bool suspect,
                          const LedgerStory& story);
// The settings section's integrity row: "12 · intact" and its other forms.
QString ledgerIntegrityRow(std::int64_t entries, bool isIntact, bool suspect,
                           const LedgerStory& story);

// ---- About ----

// "version (build)", "—" for a missing part.
QString appVersionText(const std::optional<QString>& version, const std::optional<QString>& build);

}  // namespace corvanta
