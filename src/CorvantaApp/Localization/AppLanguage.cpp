#include "Localization/AppLanguage.h"

#include <QRegularExpression>

namespace corvanta {

QString code(AppLanguage language) {
    switch (language) {
        case AppLanguage::french:
            return QStringLiteral("fr");
        case AppLanguage::english:
            return QStringLiteral("en");
        case AppLanguage::italian:
            return QStringLiteral("it");
        case AppLanguage::spanish:
            return QStringLiteral("es");
        case AppLanguage::portuguese:
            return QStringLiteral("pt");
        case AppLanguage::german:
            return QStringLiteral("de");
    }
    return QStringLiteral("en");
}

std::optional<AppLanguage> appLanguage(const QString& text) {
    for (const AppLanguage language : kAllAppLanguages) {
        if (code(language) == text) return language;
    }
    return std::nullopt;
}

AppLanguage resolve(const QStringList& preferredSystemLanguages,
                    const std::optional<QString>& storedChoice) {
    if (storedChoice) {
        if (const auto stored = appLanguage(*storedChoice)) return *stored;
    }
    static const QRegularExpression separators(QStringLiteral("[-_]"));
    for (const QString& tag : preferredSystemLanguages) {
        if (const auto language = appLanguage(tag.section(separators, 0, 0).toLower())) {
            return *language;
        }
    }
    return AppLanguage::english;
}

}  // namespace corvanta
