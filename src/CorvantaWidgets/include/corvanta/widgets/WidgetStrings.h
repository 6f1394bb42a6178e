#pragma once

#include <QString>
#include <QStringList>

namespace corvanta::widgets {

// The widgets' texts are French, and the French text is the key of the other five languages.
enum class Language { french, english, italian, spanish, portuguese, german };

// The first of the preferred languages ("de-CH", "pt_BR", ...) that the widgets speak, else
// English.
Language resolveLanguage(const QStringList& preferredLanguages);
// From the system locale.
Language systemLanguage();

// The key in `language`, or the key itself when the table has no entry for it.
QString localizedString(const QString& key, Language language);

}  // namespace corvanta::widgets
