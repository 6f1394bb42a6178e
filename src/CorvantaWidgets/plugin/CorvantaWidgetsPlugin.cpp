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

CorvantaWidgetsPlugin::CorvantaWidgetsPlugin() : language_(systemLanguage()) {
    addFonts();
}

QList<widgetkit::WidgetConfiguration> CorvantaWidgetsPlugin::widgets(widgetkit::Clock clock) const {
    const auto provider = std::make_shared<const MinerProvider>(std::move(clock));
    const QList<WidgetFamily> families{WidgetFamily::systemSmall, WidgetFamily::systemMedium};
    const Language language = language_;
    return {
        {QString::fromLatin1(miningStatus::kind),
         QStringLiteral("Minage"),
         QStringLiteral("Débit, pouls du réseau et régime processeur en cours."),
         families,
         provider,
         {viewFolder + QStringLiteral("MiningStatusEntryView.qml"),
          [language](const widgetkit::TimelineEntry& entry, WidgetFamily family) {
              return miningStatus::content(minerEntry(entry), family, language);
          }}},
        {QString::fromLatin1(earnings::kind),
         QStringLiteral("Gains"),
         QStringLiteral("Ce que le minage a rapporté jusqu'ici."),
         families,
         provider,
         {viewFolder + QStringLiteral("EarningsEntryView.qml"),
          [language](const widgetkit::TimelineEntry& entry, WidgetFamily) {
              return earnings::content(minerEntry(entry), language);
          }}},
    };
}

QString CorvantaWidgetsPlugin::localized(const QString& key) const {
    return localizedString(key, language_);
}

}  // namespace corvanta::widgets
