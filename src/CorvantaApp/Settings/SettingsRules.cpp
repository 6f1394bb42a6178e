#include "Settings/SettingsRules.h"

#include <QRegularExpression>

#include <cmath>

#include "Localization/Formatting.h"
#include "Localization/Localization.h"
#include "SystemServices/PayoutResolution.h"
#include "corvanta/node/BitcoinNetwork.h"

namespace corvanta {

namespace {

const QString emDash = QStringLiteral("\u2014");
const QString ellipsis = QStringLiteral("\u2026");

QString elide(const QString& text, qsizetype wholeBelow, qsizetype head, qsizetype tail) {
    if (text.size() < wholeBelow) return text;
    return text.left(head) + ellipsis + text.right(tail);
}

}  // namespace

QString symbolOf(SafetyLevel level) {
    switch (level) {
        case SafetyLevel::ok:
            return QStringLiteral("checkmark.circle.fill");
        case SafetyLevel::warning:
            return QStringLiteral("exclamationmark.triangle.fill");
        case SafetyLevel::danger:
            return QStringLiteral("xmark.octagon.fill");
        case SafetyLevel::pending:
            break;
    }
    return QStringLiteral("clock.fill");
}

QString colorRoleOf(SafetyLevel level) {
    switch (level) {
        case SafetyLevel::ok:
            return QStringLiteral("successText");
        case SafetyLevel::warning:
            return QStringLiteral("warningText");
        case SafetyLevel::danger:
            return QStringLiteral("dangerText");
        case SafetyLevel::pending:
            break;
    }
    return QStringLiteral("textSecondary");
}

SafetyRow addressSafetyRow(const QString& network, const QString& addressInput) {
    const QString trimmed = addressInput.trimmed();
    const auto net = bitcoinNetwork(network.toStdString()).value_or(BitcoinNetwork::mainnet);
    if (trimmed.isEmpty()) {
        return {net == BitcoinNetwork::regtest ? SafetyLevel::warning : SafetyLevel::danger,
                L(QStringLiteral("Aucune adresse : la récompense d'un bloc trouvé serait "
                                 "dépensable par n'importe qui."))};
    }
    const auto resolved = resolvePayout(net, trimmed);
    if (const auto* error = std::get_if<PayoutResolutionError>(&resolved)) {
        return {SafetyLevel::danger, error->localizedMessage()};
    }
    return {SafetyLevel::ok, L(QStringLiteral("Adresse valide pour %@."),
                               QString::fromLatin1(rawValue(net).data()))};
}

SafetyRow candidateSafetyRow(const std::optional<CandidateVerdict>& verdict, bool sessionRuns) {
    if (!verdict) {
        return {SafetyLevel::pending,
                sessionRuns ? L(QStringLiteral("En attente du premier candidat."))
                            : L(QStringLiteral("Contrôlé dès que le minage démarre."))};
    }
    if (verdict->kind == QLatin1String("validated")) {
        const auto count = verdict->transactionCount;
        return {SafetyLevel::ok,
                L(takesPlural(count) ? QStringLiteral("Candidat validé, %d transactions.")
                                     : QStringLiteral("Candidat validé, %d transaction."),
                  QString::number(count))};
    }
    // The node's own words, never translated.
    return {verdict->kind == QLatin1String("rejected") ? SafetyLevel::danger : SafetyLevel::pending,
            verdict->reason};
}

SafetyRow proofSafetyRow(bool ledgerUnreadable, std::int64_t entryCount) {
    if (ledgerUnreadable) {
        return {SafetyLevel::danger, L(QStringLiteral("Le registre n'a pas pu être lu — voir la "
                                                      "section Registre de minage."))};
    }
    if (entryCount >= 1) {
        return {SafetyLevel::ok,
                L(takesPlural(entryCount) ? QStringLiteral("%d entrées enregistrées sur disque.")
                                          : QStringLiteral("%d entrée enregistrée sur disque."),
                  QString::number(entryCount))};
    }
    return {SafetyLevel::pending,
            L(QStringLiteral("Le registre se remplit dès les premières minutes de minage."))};
}

int thermalIndex(const QString& state) {
    static const QStringList ladder = {QStringLiteral("nominal"), QStringLiteral("fair"),
                                       QStringLiteral("serious"), QStringLiteral("critical")};
    return std::max<int>(0, int(ladder.indexOf(state)));
}

QString thermalTitle(const QString& state) {
    static const char* const titles[] = {"Normale", "Tiède", "Chaude", "Critique"};
    return L(QString::fromUtf8(titles[thermalIndex(state)]));
}

QString thermalTitleColorRole(const QString& state) {
    static const char* const roles[] = {"successText", "successText", "warningText", "dangerText"};
    return QString::fromLatin1(roles[thermalIndex(state)]);
}

QString thermalDetail(const QString& state) {
    switch (thermalIndex(state)) {
        case 2:
            return L(
                QStringLiteral("L'ordinateur chauffe : le nombre de workers est réduit "
                               "automatiquement pour le laisser respirer."));
        case 3:
            return L(
                QStringLiteral("L'ordinateur est trop chaud : le minage est mis en pause et "
                               "reprendra seul une fois refroidi."));
        default:
            return L(QStringLiteral("Le minage tourne au régime que vous avez choisi."));
    }
}

std::vector<ThermalSegment> thermalSegments(const QString& state) {
    static const char* const ladder[] = {"nominal", "fair", "serious", "critical"};
    static const char* const litRoles[] = {"success", "success", "warning", "danger"};
    const int current = thermalIndex(state);
    std::vector<ThermalSegment> segments;
    for (int i = 0; i < 4; ++i) {
        const bool lit = i <= current;
        segments.push_back({lit, QString::fromLatin1(lit ? litRoles[current] : "cardBorder"),
                            thermalTitle(QString::fromLatin1(ladder[i]))});
    }
    return segments;
}

QString workLoadText(const std::optional<WorkLoad>& statistics) {
    if (!statistics) return emDash;
    const auto whole = [](double value) { return QString::asprintf("%.0f", value); };
    return L(QStringLiteral("moy %.0f · P95 %.0f · max %.0f ms"), whole(statistics->average),
             whole(statistics->p95), whole(statistics->maximum));
}

StyledText selfTestText(const SelfTestState& state) {
    const bool fresh = state.secondsSinceCheck && *state.secondsSinceCheck < selfTestFreshSeconds;
    const QString freshRole = fresh ? QStringLiteral("textPrimary") : QStringLiteral("warningText");
    if (!state.passed) return {emDash, freshRole};
    if (!*state.passed) {
        return {L(QStringLiteral("ÉCHEC — %@"), ModuleMessage::localized(state.reason)),
                QStringLiteral("dangerText")};
    }
    return {fresh ? L(QStringLiteral("vecteur du bloc 125 552 vérifié"))
                  : L(QStringLiteral("contrôle interrompu — dernier verdict périmé")),
            freshRole};
}

QString bitsText(const std::optional<std::uint32_t>& bits) {
    return bits ? QString::asprintf("0x%08x", unsigned(*bits)) : emDash;
}

StyledText rpcLinkText(int linkState) {
    switch (linkState) {
        case 1:
            return {L(QStringLiteral("Connecté")), QStringLiteral("successText")};
        case 2:
            return {L(QStringLiteral("Sans réponse")), QStringLiteral("dangerText")};
        default:
            return {L(QStringLiteral("Déconnecté")), QStringLiteral("warningText")};
    }
}

QString shortNodeHash(const QString& hash) {
    return elide(hash, 22, 12, 8);
}

QString sizeOnDiskText(std::int64_t bytes) {
    return L(QStringLiteral("%@ Go"), QString::asprintf("%.2f", double(bytes) / 1073741824.0));
}

LedgerIntegrity ledgerIntegrity(std::optional<std::int64_t> entriesChecked, bool unreadable) {
    if (entriesChecked && *entriesChecked >= 1) return LedgerIntegrity::verified;
    return unreadable ? LedgerIntegrity::unreadable : LedgerIntegrity::empty;
}

bool declaredHashesSuspect(double bestDifficultyProven, std::uint64_t hashesReported) {
    if (hashesReported == ProofVerification::hashesBeyondCount) return true;
    const auto check = ledger::crossCheck(bestDifficultyProven, hashesReported);
    return check && !check->coherent;
}

LedgerStatus ledgerStatus(LedgerIntegrity integrity, bool isIntact, bool suspect,
                          const LedgerStory& story) {
    const auto danger = [](const QString& text) {
        return LedgerStatus{L(text), QStringLiteral("dangerText"), false};
    };
    if (integrity == LedgerIntegrity::verified && !isIntact) {
        return danger(QStringLiteral("REGISTRE ALTÉRÉ"));
    }
    // Also with no entry counted: the checker's verdict on that journal is the same.
    if (story.refusedLine > 0) {
        return danger(QStringLiteral(
            "JOURNAL ENDOMMAGÉ : aucune entrée n'est comptée à partir de la ligne refusée"));
    }
    switch (integrity) {
        case LedgerIntegrity::empty:
            return {};
        case LedgerIntegrity::unreadable:
            return danger(QStringLiteral("REGISTRE ILLISIBLE"));
        case LedgerIntegrity::verified:
            break;
    }
    if (story.kind == QLatin1String("journalUnread")) {
        return danger(QStringLiteral("JOURNAL MIS DE CÔTÉ SANS ÊTRE LU"));
    }
    if (story.kind == QLatin1String("unreadable"))
        return danger(QStringLiteral("REGISTRE ILLISIBLE"));
    if (!story.kind.isEmpty()) {
        return danger(QStringLiteral("UN REGISTRE PRÉCÉDENT A ÉTÉ MIS DE CÔTÉ"));
    }
    if (suspect) {
        return danger(QStringLiteral(
            "SUSPECT : les hachages déclarés sortent de la plage que la preuve permet"));
    }
    return {L(QStringLiteral("Chaînage intact, en-têtes revérifiés")),
            QStringLiteral("textPrimary"), true};
}

QString ledgerIntegrityRow(std::int64_t entries, bool isIntact, bool suspect,
                           const LedgerStory& story) {
    const QString format =
        !isIntact                                      ? QStringLiteral("%d · ALTÉRÉ")
        : story.refusedLine > 0                        ? QStringLiteral("%d · JOURNAL ENDOMMAGÉ")
        : story.kind == QLatin1String("journalUnread") ? QStringLiteral("%d · journal mis de côté")
        : story.kind == QLatin1String("unreadable")    ? QStringLiteral("%d · ILLISIBLE")
        : !story.kind.isEmpty() ? QStringLiteral("%d · précédent mis de côté")
        : suspect               ? QStringLiteral("%d · SUSPECT")
                                : QStringLiteral("%d · intact");
    return L(format).replace(QStringLiteral("%d"), QString::number(entries));
}

QString firstIndices(const std::vector<std::int64_t>& indices) {
    return QString::fromStdString(ledger::firstIndices(indices));
}

QString shortLedgerHash(const QString& hash) {
    return elide(hash, 18, 10, 6);
}

std::optional<DeclaredCheck> declaredCheck(double bestDifficultyProven,
                                           std::uint64_t hashesReported) {
    const auto shared = ledger::crossCheck(bestDifficultyProven, hashesReported);
    if (!shared) return std::nullopt;
    DeclaredCheck check;
    check.expectedShown = shared->expectedShown;
    check.ratio = shared->ratio;
    check.coherent = shared->coherent;
    const QString verdict =
        L(check.coherent ? QStringLiteral("cohérent") : QStringLiteral("SUSPECT"));
    check.text = QString::fromStdString(shared->ratioText) + QStringLiteral(" — ") + verdict;
    check.colorRole = check.coherent ? QStringLiteral("textPrimary") : QStringLiteral("dangerText");
    return check;
}

QString unreadableLedgerCaption() {
    const QString spaces(21, QLatin1Char(' '));
    const QString key = QStringLiteral(
                            "Le fichier existait mais n'a pas pu être relu. Il a été "
                            "mis de côté") +
                        spaces +
                        QStringLiteral(
                            "à côté du registre, sous un nom horodaté, plutôt "
                            "qu'écrasé : ses") +
                        spaces +
                        QStringLiteral("octets sont intacts. Un nouveau registre repart à vide.");
    static const QRegularExpression runs(QStringLiteral(" {2,}"));
    return L(key).replace(runs, QStringLiteral(" "));
}

QString appVersionText(const std::optional<QString>& version, const std::optional<QString>& build) {
    return version.value_or(emDash) + QStringLiteral(" (") + build.value_or(emDash) +
           QStringLiteral(")");
}

}  // namespace corvanta
