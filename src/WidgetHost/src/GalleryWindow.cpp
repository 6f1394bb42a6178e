#include "corvanta/host/GalleryWindow.h"

#include <QQuickItem>

#include "corvanta/host/HostStrings.h"

namespace corvanta::host {

QVariantList galleryRows(const std::vector<LoadedWidget>& widgets, widgetkit::Language language) {
    QVariantList rows;
    for (const auto& widget : widgets) {
        const auto& configuration = widget.configuration;
        QVariantList sizes;
        QStringList labels;
        for (const auto family : configuration.families) {
            const QSizeF size = widgetkit::familySize(family);
            const widgetkit::TimelineProviderContext context{family, true, size};
            QVariantMap content;
            configuration.provider->getSnapshot(context, [&](widgetkit::TimelineEntry entry) {
                content = configuration.view.content(entry, family);
            });
            labels << familyLabel(family, language);
            sizes << QVariantMap{{"family", widgetkit::familyName(family)},
                                 {"label", labels.last()},
                                 {"width", size.width()},
                                 {"height", size.height()},
                                 {"viewSource", configuration.view.source},
                                 {"content", content}};
        }
        rows << QVariantMap{
            {"kind", configuration.kind},
            {"name", widget.bundle->localized(configuration.displayNameKey)},
            {"description", widget.bundle->localized(configuration.descriptionKey)},
            {"sizesText", hostText(QStringLiteral("Tailles : %1"), language)
                              .arg(labels.join(QStringLiteral(", ")))},
            {"sizes", sizes},
        };
    }
    return rows;
}

GalleryWindow::GalleryWindow(widgetkit::Language language) : language_(language) {
    setTitle(hostText(QStringLiteral("Galerie de widgets"), language));
    setResizeMode(QQuickView::SizeRootObjectToView);
    setInitialProperties(
        {{QStringLiteral("addText"), hostText(QStringLiteral("Ajouter"), language)}});
    setSource(QUrl(QStringLiteral("qrc:/corvanta/host/Gallery.qml")));
    resize(640, 690);
    if (QQuickItem* root = rootObject()) {
        connect(root, SIGNAL(chosen(QString, QString)), this, SLOT(choose(QString, QString)));
    }
}

void GalleryWindow::setWidgets(const std::vector<LoadedWidget>& widgets) {
    if (QQuickItem* root = rootObject()) root->setProperty("rows", galleryRows(widgets, language_));
}

void GalleryWindow::setFull(bool full, int limit) {
    QQuickItem* root = rootObject();
    if (root == nullptr) return;
    root->setProperty("full", full);
    root->setProperty(
        "fullText",
        hostText(QStringLiteral(
                     "Le bureau affiche déjà %1 widgets : retirez-en un pour en ajouter un autre."),
                 language_)
            .arg(limit));
}

void GalleryWindow::choose(const QString& kind, const QString& family) {
    if (const auto named = widgetkit::familyNamed(family)) emit chosen(kind, *named);
}

}  // namespace corvanta::host
