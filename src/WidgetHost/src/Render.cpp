#include "corvanta/host/Render.h"

#include <QImage>

#include "corvanta/host/WidgetWindow.h"

namespace corvanta::host {

std::optional<QString> renderToFile(const std::vector<LoadedWidget>& widgets,
                                    const RenderRequest& request) {
    const LoadedWidget* loaded = nullptr;
    for (const auto& candidate : widgets) {
        if (candidate.configuration.kind == request.kind) loaded = &candidate;
    }
    if (loaded == nullptr)
        return QStringLiteral("no plug-in offers the widget %1").arg(request.kind);
    const auto& configuration = loaded->configuration;
    if (!configuration.families.contains(request.family)) {
        return QStringLiteral("%1 has no %2 size")
            .arg(request.kind, widgetkit::familyName(request.family));
    }

    const widgetkit::TimelineProviderContext context{request.family, request.preview,
                                                     widgetkit::familySize(request.family)};
    std::optional<widgetkit::TimelineEntry> entry;
    if (request.preview) {
        configuration.provider->getSnapshot(context,
                                            [&](widgetkit::TimelineEntry e) { entry = e; });
    } else {
        configuration.provider->getTimeline(context, [&](widgetkit::Timeline timeline) {
            if (!timeline.entries.isEmpty()) entry = timeline.entries.first();
        });
    }
    if (!entry) entry = configuration.provider->placeholder(context);

    WidgetWindow window(configuration.view.source, request.family,
                        WidgetWindow::Placement::offscreen);
    if (const QString errors = window.loadErrors(); !errors.isEmpty()) return errors;
    window.setContent(configuration.view.content(*entry, request.family));
    window.show();
    const QImage image = window.grabWindow();
    if (image.isNull()) return QStringLiteral("the widget could not be rendered");
    if (!image.save(request.outFile, "PNG")) {
        return QStringLiteral("cannot write %1").arg(request.outFile);
    }
    return std::nullopt;
}

}  // namespace corvanta::host
