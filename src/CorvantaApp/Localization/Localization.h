#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <concepts>
#include <cstdint>

#include "Localization/AppLanguage.h"
#include "SystemServices/Preferences.h"

namespace corvanta {

class NodeProcessError;
class NodeAbandonedError;

// The interface language and the lookup of every user-facing text. The French text is the key;
// the other five languages come from the compiled-in translation table, and a key the table lacks
// is shown in French. The language is kept under "rigwell.language" once the user picks one.
//
// Lives on the GUI thread; string() may also be called from other threads (the language is read
// atomically and the tables are built once).
class Localization : public QObject {
    Q_OBJECT

  public:
    Localization(Preferences preferences, const QStringList& preferredSystemLanguages,
                 QObject* parent = nullptr);

    // The application's instance, made on first use from the default preferences and
    // QLocale::system().uiLanguages(). Make it after the QCoreApplication.
    static Localization& shared();

    AppLanguage language() const { return language_.load(); }
    // Stores the code only when the language changes.
    void setLanguage(AppLanguage language);
    // Keeps the language in `preferences` from now on: the application's one store, whose
    // saving is said for every setting.
    void keepLanguageIn(Preferences preferences) { preferences_ = std::move(preferences); }
    QString string(const QString& key) const;

  signals:
    void languageChanged(corvanta::AppLanguage language);

  private:
    Preferences preferences_;
    std::atomic<AppLanguage> language_;
};

// The translation of `key` in `language`, nullopt when the table has none.
std::optional<QString> translation(AppLanguage language, const QString& key);

// Translates `key`, then fills each placeholder ("%@", "%d", "%.0f"…) with the next argument as
// it is, and turns "%%" into "%". A placeholder left without an argument stays as written;
// surplus arguments are ignored.
QString fill(const QString& translated, const QStringList& args);
QString L(const QString& key, const QStringList& args = {});
template <typename... Args>
requires(sizeof...(Args) > 0 && (std::convertible_to<const Args&, QString> && ...)) QString
    L(const QString& key, const Args&... args) {
    return L(key, QStringList{QString(args)...});
}

// Whether `count` takes the plural form in the current language: French counts 0 and 1 as one,
// the other five languages 1 alone. The table's keys are French, so a caller picks the singular or
// plural key by this and the translation carries the language's own words.
bool takesPlural(std::int64_t count);

namespace ModuleMessage {
// The lower modules' status texts (governor, self-test, version probe) are French; these 19 are
// translated, any other text comes back as it is.
QString localized(const QString& text);
const QStringList& texts();
}  // namespace ModuleMessage

// The user-facing sentences of the node errors, in the current language.
QString localizedMessage(const NodeProcessError& error);
QString localizedMessage(const NodeAbandonedError& error);

}  // namespace corvanta
