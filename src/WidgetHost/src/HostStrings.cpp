#include "corvanta/host/HostStrings.h"

namespace corvanta::host {
namespace {

constexpr widgetkit::TranslationRow rows[] = {
    {"Galerie de widgets",
     {"Widget gallery", "Galleria dei widget", "Galería de widgets", "Galeria de widgets",
      "Widget-Galerie"}},
    {"Petit", {"Small", "Piccolo", "Pequeño", "Pequeno", "Klein"}},
    {"Moyen", {"Medium", "Medio", "Mediano", "Médio", "Mittel"}},
    {"Tailles : %1", {"Sizes: %1", "Dimensioni: %1", "Tamaños: %1", "Tamanhos: %1", "Größen: %1"}},
    {"Ajouter", {"Add", "Aggiungi", "Añadir", "Adicionar", "Hinzufügen"}},
    {"Ajouter un widget…",
     {"Add a widget…", "Aggiungi un widget…", "Añadir un widget…", "Adicionar um widget…",
      "Widget hinzufügen…"}},
    {"Retirer ce widget",
     {"Remove this widget", "Rimuovi questo widget", "Quitar este widget", "Remover este widget",
      "Dieses Widget entfernen"}},
    {"Le bureau affiche déjà %1 widgets : retirez-en un pour en ajouter un autre.",
     {"The desktop already shows %1 widgets: remove one to add another.",
      "Il desktop mostra già %1 widget: rimuovine uno per aggiungerne un altro.",
      "El escritorio ya muestra %1 widgets: quita uno para añadir otro.",
      "A área de trabalho já mostra %1 widgets: remova um para adicionar outro.",
      "Der Desktop zeigt bereits %1 Widgets: Entfernen Sie eines, um ein weiteres hinzuzufügen."}},
};

}  // namespace

QString hostText(const QString& key, widgetkit::Language language) {
    return widgetkit::translated(rows, key, language);
}

QString familyLabel(widgetkit::WidgetFamily family, widgetkit::Language language) {
    return hostText(family == widgetkit::WidgetFamily::systemSmall ? QStringLiteral("Petit")
                                                                   : QStringLiteral("Moyen"),
                    language);
}

}  // namespace corvanta::host
