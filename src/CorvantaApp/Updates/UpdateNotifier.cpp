#include "Updates/UpdateNotifier.h"

#include <QCoreApplication>

#include "Localization/Localization.h"
#include "Notifications/MinerNotifications.h"

namespace corvanta {

UpdateNotifier::UpdateNotifier(UpdateCheck::Settings settings, const QDBusConnection& sessionBus,
                               Log log, Open open, Show show, QObject* parent)
    : QObject(parent),
      check_(std::move(settings)),
      notifications_(std::make_unique<MinerNotifications>(sessionBus)),
      log_(std::move(log)),
      show_(std::move(show)) {
    connect(&check_, &UpdateCheck::finished, this, &UpdateNotifier::finish);
    connect(notifications_.get(), &MinerNotifications::linkActivated, this,
            [open = std::move(open)](const QUrl& page) { open(page); });
}

UpdateNotifier::~UpdateNotifier() = default;

void UpdateNotifier::check() {
    start(true);
}

void UpdateNotifier::checkQuietly() {
    start(false);
}

void UpdateNotifier::start(bool userInitiated) {
    // A user who asks while a quiet check runs gets that check's answer.
    userInitiated_ = userInitiated_ || userInitiated;
    if (running_) return;
    running_ = true;
    emit runningChanged(true);
    check_.start();
}

void UpdateNotifier::finish(const UpdateCheckResult& result) {
    const bool userInitiated = userInitiated_;
    userInitiated_ = false;
    running_ = false;
    emit runningChanged(false);
    present(result, userInitiated);
}

UpdateNotifier::Answer UpdateNotifier::answer(const UpdateCheckResult& result) {
    Answer answer;
    switch (result.kind) {
        case UpdateCheckResult::Kind::newer:
            answer.kind = Answer::Kind::newer;
            answer.title = L(QStringLiteral("Mise à jour disponible"));
            answer.text = L(QStringLiteral("Corvanta %@ est disponible."), result.version);
            answer.page = result.page;
            break;
        case UpdateCheckResult::Kind::current:
            answer.kind = Answer::Kind::upToDate;
            answer.title = L(QStringLiteral("Corvanta est à jour"));
            answer.text = L(QStringLiteral("Vous utilisez la dernière version (%@)."),
                            QCoreApplication::applicationVersion().isEmpty()
                                ? result.version
                                : QCoreApplication::applicationVersion());
            break;
        case UpdateCheckResult::Kind::failed:
            // The technical reason goes to the event log; the user gets what to do about it.
            answer.kind = Answer::Kind::failed;
            answer.title = L(QStringLiteral("Recherche de mises à jour impossible"));
            answer.text =
                result.failure == UpdateCheckResult::Failure::unreachable
                    ? L(QStringLiteral("Le serveur des mises à jour n'a pas pu être joint. "
                                       "Vérifiez votre connexion et réessayez plus tard."))
                    : L(QStringLiteral("La réponse du serveur des mises à jour n'a pas pu être "
                                       "vérifiée. Réessayez plus tard."));
            break;
    }
    return answer;
}

void UpdateNotifier::present(const UpdateCheckResult& result, bool userInitiated) {
    switch (result.kind) {
        case UpdateCheckResult::Kind::newer:
            log_(QStringLiteral("Update available: Corvanta %1 (%2).")
                     .arg(result.version, result.page.toString()));
            break;
        case UpdateCheckResult::Kind::current:
            log_(QStringLiteral("Update check: Corvanta is up to date (newest release %1).")
                     .arg(result.version));
            break;
        case UpdateCheckResult::Kind::failed:
            log_(QStringLiteral("Update check failed: %1.").arg(result.reason));
            break;
    }
    if (userInitiated) {
        if (show_) show_(answer(result));
    } else if (result.kind == UpdateCheckResult::Kind::newer) {
        notifications_->send(
            QStringLiteral("update-available"),
            Localization::shared().string(QStringLiteral("Mise à jour disponible")),
            L(QStringLiteral("Corvanta %@ est disponible. Cliquez pour ouvrir la "
                             "page de téléchargement."),
              result.version),
            result.page);
    }
    emit presented();
}

}  // namespace corvanta
