#include "Localization/AppTranslator.h"

#include <QCoreApplication>
#include <QQmlEngine>

#include "Localization/Localization.h"

namespace corvanta {

AppTranslator::AppTranslator(const Localization& localization, QObject* parent)
    : QTranslator(parent), localization_(localization) {}

QString AppTranslator::translate(const char*, const char* sourceText, const char*, int) const {
    if (sourceText == nullptr) return {};
    // An empty answer tells Qt to show the source text itself.
    return translation(localization_.language(), QString::fromUtf8(sourceText)).value_or(QString());
}

AppTranslator* AppTranslator::install(Localization& localization, QQmlEngine& engine) {
    auto* translator = new AppTranslator(localization, &engine);
    QCoreApplication::installTranslator(translator);
    QObject::connect(&localization, &Localization::languageChanged, &engine,
                     [&engine] { engine.retranslate(); });
    return translator;
}

}  // namespace corvanta
