#include "CorvantaWidgetsPlugin.h"

#include <QFontDatabase>

#include "corvanta/widgets/EarningsView.h"
#include "corvanta/widgets/MinerProvider.h"
#include "corvanta/widgets/MiningStatusView.h"

namespace corvanta::widgets {
namespace {

using widgetkit::WidgetFamily;

const QString viewFolder = QStringLiteral("qrc:/qt/qml/Corvanta/Widgets/");

// The views draw with fonts of their own, so that they look the same on every desktop.
void addFonts() {
    const char* files[] = {"Inter-Regular.otf", "Inter-SemiBold.otf", "Inter-Bold.otf",
                           "Inter-ExtraBold.otf", "MaterialIcons-Regular.ttf"};
    for (const char* file : files) {
        if (QFontDatabase::addApplicationFont(QStringLiteral(":/corvanta/widgets/fonts/") +
                                              QLatin1String(file)) < 0) {
            qCWarning(widgetLog) << "font not loaded:" << file;
        }
    }
}

}  // namespace

CorvantaWidgetsPlugin::CorvantaWidgetsPlugin() {
    addFonts();
}

QList<widgetkit::WidgetConfiguration> CorvantaWidgetsPlugin::widgets(widgetkit::Clock clock) const {
    const auto provider = std::make_shared<const MinerProvider>(std::move(clock));
    const QList<WidgetFamily> families{WidgetFamily::systemSmall, WidgetFamily::systemMedium};
    return {
        {QString::fromLatin1(miningStatus::kind),
         QStringLiteral("Minage"),
         QStringLiteral("Débit, pouls du réseau et régime processeur en cours."),
         families,
         provider,
         {viewFolder + QStringLiteral("MiningStatusEntryView.qml"),
          // The language the application publishes in each snapshot, so that a change reaches the
          // desktop with the next one.
          [](const widgetkit::TimelineEntry& entry, WidgetFamily family) {
              const MinerEntry miner = minerEntry(entry);
              return miningStatus::content(miner, family,
                                           widgetkit::chosenLanguage(miner.snapshot));
          }}},
        {QString::fromLatin1(earnings::kind),
         QStringLiteral("Gains"),
         QStringLiteral("Ce que le minage a rapporté jusqu'ici."),
         families,
         provider,
         {viewFolder + QStringLiteral("EarningsEntryView.qml"),
          [](const widgetkit::TimelineEntry& entry, WidgetFamily) {
              const MinerEntry miner = minerEntry(entry);
              return earnings::content(miner, widgetkit::chosenLanguage(miner.snapshot));
          }}},
    };
}

QString CorvantaWidgetsPlugin::localized(const QString& key) const {
    return localizedString(key, widgetkit::chosenLanguage());
}

}  // namespace corvanta::widgets
