#include "corvanta/widgets/WidgetStrings.h"

namespace corvanta::widgets {
namespace {

// "HASHRATE" and "MH/s" read the same everywhere and have no row.
constexpr widgetkit::TranslationRow rows[] = {
    {"Minage", {"Mining", "Mining", "Minado", "Mineração", "Mining"}},
    {"Débit, pouls du réseau et régime processeur en cours.",
     {"Hash rate, network pulse and the processor mode in force.",
      "Hashrate, battito della rete e regime del processore in corso.",
      "Tasa de hash, pulso de la red y régimen del procesador en curso.",
      "Taxa de hash, pulso da rede e regime do processador em curso.",
      "Hashrate, Netzpuls und aktueller Prozessormodus."}},
    {"Gains", {"Earnings", "Guadagni", "Ganancias", "Ganhos", "Erträge"}},
    {"Ce que le minage a rapporté jusqu'ici.",
     {"What mining has brought in so far.", "Quello che il mining ha reso finora.",
      "Lo que la minería ha aportado hasta ahora.", "O que a mineração rendeu até agora.",
      "Was das Mining bisher eingebracht hat."}},
    {"À l'arrêt", {"Stopped", "Fermo", "Detenido", "Parado", "Gestoppt"}},
    {"Ouvrez Corvanta pour reprendre.",
     {"Open Corvanta to resume.", "Apri Corvanta per riprendere.", "Abre Corvanta para reanudar.",
      "Abra o Corvanta para retomar.", "Öffnen Sie Corvanta, um fortzufahren."}},
    {"%d bloc trouvé",
     {"%d block found", "%d blocco trovato", "%d bloque encontrado", "%d bloco encontrado",
      "%d Block gefunden"}},
    {"%d blocs trouvés",
     {"%d blocks found", "%d blocchi trovati", "%d bloques encontrados", "%d blocos encontrados",
      "%d Blöcke gefunden"}},
};

}  // namespace

QString localizedString(const QString& key, Language language) {
    return widgetkit::translated(rows, key, language);
}

}  // namespace corvanta::widgets
