#include "Settings/SettingsViewRules.h"

#include <QDateTime>
#include <QJSValue>
#include <QMetaProperty>

#include <cmath>
#include <limits>

#include "Localization/AppLanguage.h"
#include "Localization/Formatting.h"
#include "Localization/Localization.h"
#include "Settings/NodeLicence.h"
#include "Settings/SettingsRules.h"
#include "SystemServices/AppInfo.h"
#include "SystemServices/AppLinks.h"
#include "SystemServices/LaunchAtLogin.h"
#include "Usage/UsagePulse.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/node/BinaryLocator.h"
#include "corvanta/node/BitcoinNetwork.h"

namespace corvanta {

namespace {

const QString emDash = QStringLiteral("\u2014");

bool present(const QVariant& value) {
    return value.isValid() && !value.isNull();
}

// A JavaScript value as the plain variant it holds.
QVariant plain(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QJSValue>()) {
        return value.value<QJSValue>().toVariant();
    }
    return value;
}

// A field of a record: an object or map from QML, or one of the session model's gadgets.
QVariant field(const QVariant& given, const char* name) {
    const QVariant record = plain(given);
    if (!present(record)) return {};
    if (record.metaType().id() == QMetaType::QVariantMap) {
        return plain(record.toMap().value(QString::fromLatin1(name)));
    }
    if (const QMetaObject* meta = record.metaType().metaObject()) {
        const int index = meta->indexOfProperty(name);
        if (index >= 0) return meta->property(index).readOnGadget(record.constData());
    }
    return {};
}

std::optional<std::int64_t> entriesOf(const QVariant& verification) {
    if (!present(verification)) return std::nullopt;
    return field(verification, "entriesChecked").toLongLong();
}

std::vector<std::int64_t> integers(const QVariant& list) {
    std::vector<std::int64_t> values;
    for (const QVariant& item : plain(list).toList()) values.push_back(item.toLongLong());
    return values;
}

// An exact unsigned count from its decimal text, else from the number.
std::uint64_t exactCount(const QVariant& text, const QVariant& number) {
    bool ok = false;
    const std::uint64_t value = text.toString().toULongLong(&ok);
    if (ok) return value;
    const double d = number.toDouble();
    return d > 0 && d < 1.8e19 ? std::uint64_t(d) : 0;
}

QVariantMap styled(const StyledText& text) {
    return {{QStringLiteral("text"), text.text}, {QStringLiteral("colorRole"), text.colorRole}};
}

QVariantMap safety(const SafetyRow& row) {
    return {{QStringLiteral("symbol"), symbolOf(row.level)},
            {QStringLiteral("colorRole"), colorRoleOf(row.level)},
            {QStringLiteral("detail"), row.detail}};
}

BitcoinNetwork networkNamed(const QString& name) {
    return bitcoinNetwork(name.toStdString()).value_or(BitcoinNetwork::mainnet);
}

}  // namespace

SettingsViewRules::SettingsViewRules(QObject* parent) : QObject(parent) {
    connect(&Localization::shared(), &Localization::languageChanged, this,
            &SettingsViewRules::languageChanged);
}

QVariantMap SettingsViewRules::addressSafety(const QString& network, const QString& input) const {
    return safety(addressSafetyRow(network, input));
}

QVariantMap SettingsViewRules::candidateSafety(const QVariant& validation, int runState) const {
    std::optional<CandidateVerdict> verdict;
    if (present(validation)) {
        verdict = CandidateVerdict{field(validation, "kind").toString(),
                                   field(validation, "transactionCount").toLongLong(),
                                   field(validation, "reason").toString()};
    }
    constexpr int idle = 0;
    constexpr int failed = 5;
    return safety(candidateSafetyRow(verdict, runState != idle && runState != failed));
}

QVariantMap SettingsViewRules::proofSafety(bool unreadable, int entryCount) const {
    return safety(proofSafetyRow(unreadable, entryCount));
}

QString SettingsViewRules::thermalTitle(const QString& state) const {
    return corvanta::thermalTitle(state);
}

QString SettingsViewRules::thermalTitleColorRole(const QString& state) const {
    return corvanta::thermalTitleColorRole(state);
}

QString SettingsViewRules::thermalDetail(const QString& state) const {
    return corvanta::thermalDetail(state);
}

QVariantList SettingsViewRules::thermalSegments(const QString& state) const {
    QVariantList list;
    for (const auto& segment : corvanta::thermalSegments(state)) {
        list.append(QVariantMap{{QStringLiteral("lit"), segment.lit},
                                {QStringLiteral("colorRole"), segment.colorRole},
                                {QStringLiteral("label"), segment.label}});
    }
    return list;
}

QString SettingsViewRules::workLoad(const QVariant& statistics) const {
    if (!present(statistics)) return workLoadText(std::nullopt);
    return workLoadText(WorkLoad{field(statistics, "average").toDouble(),
                                 field(statistics, "p95").toDouble(),
                                 field(statistics, "maximum").toDouble()});
}

QVariantMap SettingsViewRules::selfTest(const QVariant& verdict, const QVariant& checkedAt,
                                        double now) const {
    SelfTestState state;
    if (present(verdict)) {
        state.passed = field(verdict, "passed").toBool();
        state.reason = field(verdict, "reason").toString();
    }
    if (present(checkedAt)) {
        state.secondsSinceCheck = now - double(checkedAt.toDateTime().toMSecsSinceEpoch()) / 1000;
    }
    return styled(selfTestText(state));
}

QString SettingsViewRules::bits(const QVariant& value) const {
    if (!present(value)) return bitsText(std::nullopt);
    return bitsText(std::uint32_t(value.toLongLong()));
}

QString SettingsViewRules::count(const QVariant& value) const {
    return present(value) ? Formatting::integer(value.toLongLong()) : emDash;
}

QString SettingsViewRules::plainCount(const QVariant& value) const {
    return present(value) ? QString::number(value.toLongLong()) : emDash;
}

QString SettingsViewRules::transactionCount(const QVariant& value) const {
    if (!present(value)) return emDash;
    const qlonglong n = value.toLongLong();
    return L(takesPlural(n) ? QStringLiteral("%d transactions") : QStringLiteral("%d transaction"),
             QString::number(n));
}

QString SettingsViewRules::workerCount(int count) const {
    return L(takesPlural(count) ? QStringLiteral("%d workers") : QStringLiteral("%d worker"),
             QString::number(count));
}

QVariantMap SettingsViewRules::rpcLink(int linkState) const {
    return styled(rpcLinkText(linkState));
}

QString SettingsViewRules::nodeHash(const QString& hash) const {
    return shortNodeHash(hash);
}

QString SettingsViewRules::sizeOnDisk(const QVariant& bytes) const {
    return sizeOnDiskText(bytes.toLongLong());
}

QString SettingsViewRules::ledgerIntegrity(const QVariant& verification, bool unreadable) const {
    switch (corvanta::ledgerIntegrity(entriesOf(verification), unreadable)) {
        case LedgerIntegrity::verified:
            return QStringLiteral("verified");
        case LedgerIntegrity::unreadable:
            return QStringLiteral("unreadable");
        case LedgerIntegrity::empty:
            break;
    }
    return QStringLiteral("empty");
}

QString SettingsViewRules::firstIndices(const QVariant& indices) const {
    return corvanta::firstIndices(integers(indices));
}

QString SettingsViewRules::ledgerHash(const QString& hash) const {
    return shortLedgerHash(hash);
}

QVariantMap SettingsViewRules::declaredCheck(const QVariant& verification) const {
    if (!present(verification)) return {};
    const auto check =
        corvanta::declaredCheck(field(verification, "bestDifficultyProven").toDouble(),
                                exactCount(field(verification, "hashesReportedText"),
                                           field(verification, "hashesReported")));
    if (!check) return {};
    return {{QStringLiteral("expected"), Formatting::hashCount(check->expectedShown)},
            {QStringLiteral("text"), check->text},
            {QStringLiteral("colorRole"), check->colorRole}};
}

QString SettingsViewRules::hashCount(const QVariant& exactText) const {
    return Formatting::hashCount(exactCount(exactText, exactText));
}

QString SettingsViewRules::declaredHashes(const QVariant& verification) const {
    if (!present(verification)) return {};
    const auto count = exactCount(field(verification, "hashesReportedText"),
                                  field(verification, "hashesReported"));
    if (count == ProofVerification::hashesBeyondCount) {
        return L(QStringLiteral("plus de %@"), Formatting::hashCount(count));
    }
    return Formatting::hashCount(count);
}

QString SettingsViewRules::difficulty(const QVariant& value) const {
    return Formatting::compactDifficulty(value.toDouble());
}

QString SettingsViewRules::oneIn(const QVariant& value) const {
    return present(value) ? Formatting::bestAttempt(value.toDouble()) : emDash;
}

QString SettingsViewRules::unreadableLedgerCaption() const {
    return corvanta::unreadableLedgerCaption();
}

namespace {

bool suspectIn(const QVariant& verification) {
    return present(verification) &&
           declaredHashesSuspect(field(verification, "bestDifficultyProven").toDouble(),
                                 exactCount(field(verification, "hashesReportedText"),
                                            field(verification, "hashesReported")));
}

}  // namespace

QVariantMap SettingsViewRules::ledgerStatus(const QVariant& verification, bool unreadable,
                                            const QString& kind, const QString& setAside,
                                            int refusedLine) const {
    const bool intact = present(verification) && field(verification, "isIntact").toBool();
    const auto status = corvanta::ledgerStatus(
        corvanta::ledgerIntegrity(entriesOf(verification), unreadable), intact,
        suspectIn(verification), LedgerStory{kind, setAside, refusedLine, {}});
    return {{QStringLiteral("text"), status.text},
            {QStringLiteral("colorRole"), status.colorRole},
            {QStringLiteral("intact"), status.intact}};
}

QString SettingsViewRules::ledgerStoryCaption(const QString& kind, const QString& setAside,
                                              int refusedLine, const QString& ledgerFile) const {
    return corvanta::ledgerStoryCaption(LedgerStory{kind, setAside, refusedLine, ledgerFile});
}

QString SettingsViewRules::ledgerIntegrityRow(const QVariant& verification, const QString& kind,
                                              const QString& setAside, int refusedLine) const {
    if (!present(verification)) return {};
    return corvanta::ledgerIntegrityRow(field(verification, "entriesChecked").toLongLong(),
                                        field(verification, "isIntact").toBool(),
                                        suspectIn(verification),
                                        LedgerStory{kind, setAside, refusedLine, {}});
}

QString SettingsViewRules::networkInEffect(const QVariant& active, const QString& selected) const {
    return present(active) && !active.toString().isEmpty() ? active.toString() : selected;
}

QString SettingsViewRules::proofLogFile(const QString& network) const {
    return QString::fromStdString(BinaryLocator::proofLogFileURL(networkNamed(network)).string());
}

QString SettingsViewRules::dataDirectory(const QString& network) const {
    return QString::fromStdString(BinaryLocator::dataDirectory(networkNamed(network)).string());
}

QString SettingsViewRules::time(const QVariant& moment) const {
    return present(moment) ? Formatting::time(moment.toDateTime()) : emDash;
}

bool SettingsViewRules::launchAtLoginEnabled() const {
    return LaunchAtLogin().isEnabled();
}

bool SettingsViewRules::setLaunchAtLogin(bool enabled) const {
    return LaunchAtLogin().setEnabled(enabled);
}

QString SettingsViewRules::languageCode() const {
    return code(Localization::shared().language());
}

void SettingsViewRules::setLanguageCode(const QString& languageCode) const {
    if (const auto language = appLanguage(languageCode)) {
        Localization::shared().setLanguage(*language);
    }
}

QString SettingsViewRules::nodeLicence() const {
    return nodeNoticesText();
}

QString SettingsViewRules::nodeRelease() const {
    return QString::fromStdString(BinaryLocator::expectedBitcoindRelease().version);
}

QString SettingsViewRules::appVersion() const {
    return appVersionText(infoValue(QStringLiteral("CFBundleShortVersionString")),
                          infoValue(QStringLiteral("CFBundleVersion")));
}

bool SettingsViewRules::usageCountOffered() const {
    return UsagePulseReporter::buildEndpoint().has_value();
}

QUrl SettingsViewRules::siteUrl() const {
    return AppLinks::site();
}

QUrl SettingsViewRules::supportUrl() const {
    return AppLinks::support();
}

int SettingsViewRules::performanceCoreCount() const {
    return std::max(1, CPUEngine::performanceCoreCount());
}

}  // namespace corvanta
