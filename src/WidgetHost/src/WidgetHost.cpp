#include "corvanta/host/WidgetHost.h"

#include <QGuiApplication>
#include <QScreen>

namespace corvanta::host {

WidgetHost::WidgetHost(std::vector<LoadedWidget> widgets, InstanceStore store,
                       widgetkit::Clock clock, std::chrono::milliseconds reloadInterval,
                       QObject* parent)
    : QObject(parent),
      widgets_(std::move(widgets)),
      store_(std::move(store)),
      clock_(std::move(clock)),
      reloadInterval_(reloadInterval) {}

// The windows go before the runners (children of this object) that fill them.
WidgetHost::~WidgetHost() = default;

const LoadedWidget* WidgetHost::widget(const QString& kind) const {
    for (const auto& loaded : widgets_) {
        if (loaded.configuration.kind == kind) return &loaded;
    }
    return nullptr;
}

std::vector<WidgetInstance> WidgetHost::defaultInstances() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QPoint origin = screen ? screen->availableGeometry().topLeft() : QPoint();
    constexpr int margin = 24;
    const int step = int(widgetkit::familySize(widgetkit::WidgetFamily::systemSmall).width()) + 16;
    std::vector<WidgetInstance> instances;
    for (const auto& loaded : widgets_) {
        const int x = margin + step * int(instances.size());
        instances.push_back({loaded.configuration.kind, widgetkit::WidgetFamily::systemSmall,
                             origin + QPoint(x, margin)});
    }
    return instances;
}

void WidgetHost::start() {
    auto stored = store_.load();
    instances_ = stored && !stored->empty() ? std::move(*stored) : defaultInstances();
    for (std::size_t index = 0; index < instances_.size(); ++index) show(index);
}

void WidgetHost::show(std::size_t index) {
    const WidgetInstance& instance = instances_[index];
    const LoadedWidget* loaded = widget(instance.kind);
    if (loaded == nullptr || !loaded->configuration.families.contains(instance.family)) {
        // Kept in the file as it is: the plug-in may come back.
        qCWarning(hostLog).noquote() << "no widget" << instance.kind << "in the"
                                     << widgetkit::familyName(instance.family) << "size";
        return;
    }
    const auto& configuration = loaded->configuration;
    auto window = std::make_unique<WidgetWindow>(configuration.view.source, instance.family,
                                                 WidgetWindow::Placement::desktop);
    if (const QString errors = window->loadErrors(); !errors.isEmpty()) {
        qCWarning(hostLog).noquote()
            << "the widget" << instance.kind << "cannot be shown:" << errors;
        return;
    }
    window->setPosition(instance.position);
    connect(window.get(), &WidgetWindow::moved, this,
            [this, index](QPoint position) { moved(index, position); });

    const widgetkit::TimelineProviderContext context{instance.family, false,
                                                     widgetkit::familySize(instance.family)};
    auto* runner = new TimelineRunner(configuration, context, clock_, this);
    connect(runner, &TimelineRunner::entryShown, window.get(), &WidgetWindow::setContent);
    if (!reloads_.contains(instance.kind)) {
        const QString kind = instance.kind;
        reloads_[kind] = new ReloadCoalescer(
            [this, kind] {
                for (const auto& shown : shown_) {
                    if (shown.runner->configuration().kind == kind) shown.runner->reload();
                }
            },
            reloadInterval_, this);
    }
    window->show();
    shown_.push_back({index, std::move(window), runner});
    runner->start();
}

void WidgetHost::moved(std::size_t index, QPoint position) {
    instances_[index].position = position;
    store_.save(instances_);
}

void WidgetHost::reloadAll() {
    for (const auto& [kind, coalescer] : reloads_) coalescer->request();
}

void WidgetHost::reload(const QString& kind) {
    if (const auto found = reloads_.find(kind); found != reloads_.end()) found->second->request();
}

}  // namespace corvanta::host
