#pragma once

#include <QHash>
#include <QString>

#include <array>
#include <vector>

#include "Localization/AppLanguage.h"

namespace corvanta {

// One row of the translation table: the French key and its five translations.
struct TranslationRow {
    std::array<QString, kAllAppLanguages.size()> texts;  // by AppLanguage

    const QString& key() const { return text(AppLanguage::french); }
    const QString& text(AppLanguage language) const {
        return texts[static_cast<std::size_t>(language)];
    }
};

struct TranslationTable {
    std::vector<TranslationRow> rows;  // in the file's order
    // What was wrong with the file, empty when every row read well. Rows that did not read are
    // left out, so their keys show in French.
    QString problems;
    std::array<QHash<QString, QString>, kAllAppLanguages.size()> lookup;  // by AppLanguage
};

// The compiled-in table, read once on first use (thread-safe).
const TranslationTable& translationTable();
// Reads a table from the file's JSON text.
TranslationTable readTranslationTable(const QByteArray& json);

}  // namespace corvanta
