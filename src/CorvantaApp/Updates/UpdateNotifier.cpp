#include "Updates/UpdateNotifier.h"

#include "Localization/Localization.h"
#include "Notifications/MinerNotifications.h"

namespace corvanta {

UpdateNotifier::UpdateNotifier(UpdateCheck::Settings settings, const QDBusConnection& sessionBus,
                               Log log, Open open, QObject* parent)
    : QObject(parent),
      check_(std::move(settings)),
      notifications_(std::make_unique<MinerNotifications>(sessionBus)),
      log_(std::move(log)) {
    connect(&check_, &UpdateCheck::finished, this, &UpdateNotifier::present);
    connect(notifications_.get(), &MinerNotifications::linkActivated, this,
            [open = std::move(open)](const QUrl& page) { open(page); });
}

UpdateNotifier::~UpdateNotifier() = default;

void UpdateNotifier::check() {
    check_.start();
}

void UpdateNotifier::present(const UpdateCheckResult& result) {
    switch (result.kind) {
        case UpdateCheckResult::Kind::newer:
            log_(QStringLiteral("Update available: Corvanta %1 (%2).")
                     .arg(result.version, result.page.toString()));
            notifications_->send(
                QStringLiteral("update-available"),
                Localization::shared().string(QStringLiteral("Mise à jour disponible")),
                L(QStringLiteral("Corvanta %@ est disponible. Cliquez pour ouvrir la "
                                 "page de téléchargement."),
                  result.version),
                result.page);
            break;
        case UpdateCheckResult::Kind::current:
            log_(QStringLiteral("Update check: Corvanta is up to date (newest release %1).")
                     .arg(result.version));
            break;
        case UpdateCheckResult::Kind::failed:
            log_(QStringLiteral("Update check failed: %1.").arg(result.reason));
            break;
    }
    emit presented();
}

}  // namespace corvanta
