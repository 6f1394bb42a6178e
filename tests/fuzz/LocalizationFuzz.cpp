// Every text of the translation table in every language, filled with any arguments, and any text
// filled as a template. Arguments go in verbatim, in order, one per placeholder: a "%@" inside an
// argument is never filled in turn, and the result is the one with stand-ins for the arguments
// with each stand-in replaced. A translation fills in every argument its French key does.

#include <QStringList>

#include "AppFuzzSupport.h"
#include "Localization/Localization.h"
#include "Localization/TranslationTable.h"

using namespace corvanta;

namespace {

// Characters of the private use area, which no text of the table holds.
constexpr char16_t kFirstStandIn = 0xE000;
constexpr char16_t kLastStandIn = 0xF8FF;

bool holdsStandIns(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= kFirstStandIn && c.unicode() <= kLastStandIn;
    });
}

QStringList standIns(qsizetype count) {
    QStringList list;
    for (qsizetype i = 0; i < count; ++i) list << QString(QChar(char16_t(kFirstStandIn + i)));
    return list;
}

// The text filled with `arguments`, checked against the same text filled with stand-ins.
QString expectFilledVerbatim(const QString& text, const QStringList& arguments) {
    const QString filled = fill(text, arguments);
    if (holdsStandIns(text)) return filled;
    const QString withStandIns = fill(text, standIns(arguments.size()));
    QString expected;
    for (const QChar c : withStandIns) {
        const auto index = qsizetype(c.unicode()) - kFirstStandIn;
        expected += index >= 0 && index < arguments.size() ? arguments[index] : QString(c);
    }
    fuzz::expect(filled == expected, "arguments were not filled in verbatim");
    return withStandIns;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::useScratchConfigHome();
    static const TranslationTable& table = translationTable();
    fuzz::expect(table.problems.isEmpty() && !table.rows.empty(),
                 "the compiled-in translation table does not read");
    fuzz::Figures figures(fuzz::textOf(data, size));
    const AppLanguage language =
        kAllAppLanguages[figures.next<std::uint8_t>() % kAllAppLanguages.size()];
    const TranslationRow& row = table.rows[figures.next<std::uint16_t>() % table.rows.size()];
    const std::string_view rest = figures.rest();
    // At most as many arguments as there are stand-ins.
    const QStringList arguments =
        QString::fromUtf8(rest.data(), qsizetype(rest.size())).split(u'\n').mid(0, 0x1000);

    const QString translated = translation(language, row.key()).value_or(row.key());
    const QString keyStandIns = expectFilledVerbatim(row.key(), arguments);
    const QString translatedStandIns = expectFilledVerbatim(translated, arguments);
    for (const QChar c : keyStandIns) {
        if (c.unicode() >= kFirstStandIn && c.unicode() <= kLastStandIn) {
            fuzz::expect(translatedStandIns.contains(c), "a translation drops an argument");
        }
    }

    // The first argument line as a template of its own, and as a module's status text.
    expectFilledVerbatim(arguments.first(), arguments.mid(1));
    if (!ModuleMessage::texts().contains(arguments.first())) {
        fuzz::expect(ModuleMessage::localized(arguments.first()) == arguments.first(),
                     "a text that is not a module's was translated");
    }
    return 0;
}
