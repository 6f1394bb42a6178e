#include "corvanta/widgets/WidgetStrings.h"

#include <QLocale>
#include <array>

namespace corvanta::widgets {
namespace {

// One row per key: the French key, then English, Italian, Spanish, Portuguese and German.
// "HASHRATE", "MH/s" and "EARNINGS" read the same everywhere and have no row.
struct Row {
    const char* french;
    std::array<const char*, 5> translations;
};

constexpr Row rows[] = {
    {"Minage", {"Mining", "Mining", "Minado", "Mineração", "Mining"}},
    {"Débit, pouls du réseau et régime processeur en cours.",
     {"Hash rate, network pulse and the processor mode in force.",
      "Hashrate, battito della rete e regime del processore in corso.",
      "Tasa de hash, pulso de la red y régimen del procesador en curso.",
      "Taxa de hash, pulso da rede e regime do processador em curso.",
      "Hashrate, Netzpuls und aktueller Prozessormodus."}},
    {"Gains", {"Earnings", "Guadagni", "Ganancias", "Ganhos", "Einnahmen"}},
    {"Ce que le minage a rapporté jusqu'ici.",
     {"What mining has brought in so far.", "Quello che il mining ha reso finora.",
      "Lo que la minería ha aportado hasta ahora.", "O que a mineração rendeu até agora.",
      "Was das Mining bisher eingebracht hat."}},
    {"À l'arrêt", {"Stopped", "Fermo", "Detenido", "Parado", "Gestoppt"}},
    {"Ouvrez Corvanta pour reprendre.",
     {"Open Corvanta to resume.", "Apri Corvanta per riprendere.", "Abre Corvanta para reanudar.",
      "Abra o Corvanta para retomar.", "Öffne Corvanta, um fortzufahren."}},
};

}  // namespace

Language resolveLanguage(const QStringList& preferredLanguages) {
    struct Code {
        const char* code;
        Language language;
    };
    constexpr Code codes[] = {{"fr", Language::french},     {"en", Language::english},
                              {"it", Language::italian},    {"es", Language::spanish},
                              {"pt", Language::portuguese}, {"de", Language::german}};
    for (const QString& tag : preferredLanguages) {
        const QString code =
            tag.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0).toLower();
        for (const Code& known : codes) {
            if (code == QLatin1String(known.code)) return known.language;
        }
    }
    return Language::english;
}

Language systemLanguage() {
    return resolveLanguage(QLocale::system().uiLanguages());
}

QString localizedString(const QString& key, Language language) {
    if (language == Language::french) return key;
    const auto column = static_cast<std::size_t>(language) - 1;
    for (const Row& row : rows) {
        if (key == QString::fromUtf8(row.french)) {
            return QString::fromUtf8(row.translations[column]);
        }
    }
    return key;
}

}  // namespace corvanta::widgets
