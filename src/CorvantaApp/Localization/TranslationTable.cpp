#include "Localization/TranslationTable.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtGlobal>

namespace corvanta {

TranslationTable readTranslationTable(const QByteArray& json) {
    TranslationTable table;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (!document.isArray()) {
        table.problems = error.error != QJsonParseError::NoError
                             ? QStringLiteral("not JSON: %1").arg(error.errorString())
                             : QStringLiteral("not a JSON array");
        return table;
    }
    const QJsonArray array = document.array();
    for (qsizetype index = 0; index < array.size(); ++index) {
        const QJsonObject object = array.at(index).toObject();
        TranslationRow row;
        QStringList missing;
        for (const AppLanguage language : kAllAppLanguages) {
            const QJsonValue value = object.value(code(language));
            if (!value.isString()) missing << code(language);
            row.texts[static_cast<std::size_t>(language)] = value.toString();
        }
        if (!missing.isEmpty()) {
            table.problems +=
                QStringLiteral("row %1: bad %2\n").arg(index + 1).arg(missing.join(u','));
            continue;
        }
        for (const AppLanguage language : kAllAppLanguages) {
            // An empty translation would show nothing: the key stands in for it.
            if (language != AppLanguage::french && !row.text(language).isEmpty()) {
                table.lookup[static_cast<std::size_t>(language)].insert(row.key(),
                                                                        row.text(language));
            }
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

const TranslationTable& translationTable() {
    static const TranslationTable table = [] {
        TranslationTable read;
        QFile file(QStringLiteral(":/corvanta/Translations.json"));
        if (file.open(QIODevice::ReadOnly)) {
            read = readTranslationTable(file.readAll());
        } else {
            read.problems = QStringLiteral("the translation table is not in the resources");
        }
        // Said once; the texts concerned show in French.
        if (!read.problems.isEmpty()) {
            qWarning("translation table: %s", qPrintable(read.problems));
        }
        return read;
    }();
    return table;
}

}  // namespace corvanta
