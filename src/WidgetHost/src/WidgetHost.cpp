#include "corvanta/host/WidgetHost.h"

#include <QActionGroup>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

#include "corvanta/host/HostStrings.h"
#include "corvanta/host/Placement.h"

namespace corvanta::host {

using widgetkit::WidgetFamily;

std::vector<std::size_t> instancesToOpen(const std::vector<WidgetInstance>& instances,
                                         const std::function<bool(const WidgetInstance&)>& showable,
                                         std::size_t limit) {
    std::vector<std::size_t> indices;
    for (std::size_t index = 0; index < instances.size() && indices.size() < limit; ++index) {
        if (showable(instances[index])) indices.push_back(index);
    }
    return indices;
}

bool startShowsAnything(const std::optional<std::vector<WidgetInstance>>& stored,
                        bool placesDefaults, bool galleryAsked) {
    if (!stored) return placesDefaults;
    return !stored->empty() || galleryAsked;
}

WidgetHost::WidgetHost(std::vector<LoadedWidget> widgets, InstanceStore store,
                       widgetkit::Clock clock, std::chrono::milliseconds reloadInterval,
                       widgetkit::Language language, QObject* parent)
    : QObject(parent),
      widgets_(std::move(widgets)),
      store_(std::move(store)),
      clock_(std::move(clock)),
      reloadInterval_(reloadInterval),
      language_(language) {}

// The windows go before the coalescers (children of this object) that reload them.
WidgetHost::~WidgetHost() = default;

const LoadedWidget* WidgetHost::widget(const QString& kind) const {
    for (const auto& loaded : widgets_) {
        if (loaded.configuration.kind == kind) return &loaded;
    }
    return nullptr;
}

bool WidgetHost::showable(const WidgetInstance& instance) const {
    const LoadedWidget* loaded = widget(instance.kind);
    return loaded != nullptr && loaded->configuration.families.contains(instance.family);
}

std::vector<WidgetInstance> WidgetHost::defaultInstances() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QPoint origin = screen ? screen->availableGeometry().topLeft() : QPoint();
    constexpr int margin = 24;
    const int step = int(widgetkit::familySize(WidgetFamily::systemSmall).width()) + 16;
    std::vector<WidgetInstance> instances;
    for (const auto& loaded : widgets_) {
        const int x = margin + step * int(instances.size());
        instances.push_back(
            {loaded.configuration.kind, WidgetFamily::systemSmall, origin + QPoint(x, margin)});
    }
    return instances;
}

QPoint WidgetHost::freePosition(WidgetFamily family) const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    constexpr int margin = 24;
    const QSize size = widgetkit::familySize(family).toSize();
    const QSize cell = widgetkit::familySize(WidgetFamily::systemSmall).toSize();
    const auto others = placesBut(instances_.size());
    // The first place, row by row in steps of a small widget, that overlaps no shown widget.
    for (int y = area.top() + margin; y + size.height() <= area.bottom();
         y += cell.height() + widgetGap) {
        for (int x = area.left() + margin; x + size.width() <= area.right();
             x += cell.width() + widgetGap) {
            if (isFree(QRect(QPoint(x, y), size), others)) return {x, y};
        }
    }
    // No row has room: whatever free spot is left, else the top left (refused by add()).
    return nearestFreeSpot(area.topLeft() + QPoint(margin, margin), size, area, others)
        .value_or(area.topLeft() + QPoint(margin, margin));
}

std::vector<QRect> WidgetHost::placesBut(std::size_t except) const {
    std::vector<QRect> places;
    for (const auto& shown : shown_) {
        if (shown.instance == except) continue;
        const WidgetInstance& instance = instances_[shown.instance];
        places.emplace_back(instance.position, widgetkit::familySize(instance.family).toSize());
    }
    return places;
}

std::optional<QPoint> WidgetHost::freePlaceFor(std::size_t index, const QRect& place) const {
    const QScreen* screen = QGuiApplication::screenAt(place.center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    return nearestFreeSpot(place.topLeft(), place.size(), area, placesBut(index));
}

bool WidgetHost::start(bool galleryAsked) {
    return start(galleryAsked, store_.load());
}

bool WidgetHost::start(bool galleryAsked, std::optional<std::vector<WidgetInstance>> stored) {
    if (!stored && !placesDefaults_) return false;
    instances_ = stored ? std::move(*stored) : defaultInstances();
    // The defaults are the user's widgets from now on, also at the next login.
    if (!stored) save();
    if (loginEntry_) loginEntry_->follow(!instances_.empty());
    // Removing every widget is the user's lasting choice: no start brings a window back unasked.
    if (!startShowsAnything(instances_, placesDefaults_, galleryAsked)) return false;
    const auto open = instancesToOpen(
        instances_, [this](const WidgetInstance& instance) { return showable(instance); },
        maximumShown);
    for (const auto& instance : instances_) {
        if (!showable(instance)) {
            // Kept in the file as it is: the plug-in may come back.
            qCWarning(hostLog).noquote() << "no widget" << instance.kind << "in the"
                                         << widgetkit::familyName(instance.family) << "size";
        }
    }
    for (const std::size_t index : open) {
        if (auto shown = this->open(index)) shown_.push_back(std::move(*shown));
    }
    if (open.size() == maximumShown && open.back() + 1 < instances_.size()) {
        const auto beyond =
            std::count_if(instances_.begin() + std::ptrdiff_t(open.back() + 1), instances_.end(),
                          [this](const WidgetInstance& instance) { return showable(instance); });
        if (beyond > 0) {
            qCWarning(hostLog).noquote()
                << QStringLiteral(
                       "%1 more widgets are kept in %2 but not opened: a desktop shows "
                       "at most %3")
                       .arg(beyond)
                       .arg(QString::fromStdString(store_.file().string()))
                       .arg(maximumShown);
        }
    }
    if (galleryAsked) openGallery();
    for (QScreen* screen : QGuiApplication::screens()) {
        connect(screen, &QScreen::availableGeometryChanged, this, &WidgetHost::fitToScreens);
    }
    connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        connect(screen, &QScreen::availableGeometryChanged, this, &WidgetHost::fitToScreens);
        fitToScreens();
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, &WidgetHost::fitToScreens,
            Qt::QueuedConnection);
    return true;
}

std::optional<WidgetHost::Shown> WidgetHost::open(std::size_t index) {
    const WidgetInstance& instance = instances_[index];
    const auto& configuration = widget(instance.kind)->configuration;
    auto window = std::make_unique<WidgetWindow>(configuration.view.source, instance.family,
                                                 WidgetWindow::Placement::desktop);
    if (const QString errors = window->loadErrors(); !errors.isEmpty()) {
        qCWarning(hostLog).noquote()
            << "the widget" << instance.kind << "cannot be shown:" << errors;
        return std::nullopt;
    }
    window->setPosition(instance.position);
    const WidgetWindow* key = window.get();
    connect(window.get(), &WidgetWindow::moved, this,
            [this, key](QPoint position) { moved(key, position); });
    connect(window.get(), &WidgetWindow::contextMenuRequested, this,
            [this, key](QPoint at) { popUpMenu(key, at); });

    const widgetkit::TimelineProviderContext context{instance.family, false,
                                                     widgetkit::familySize(instance.family)};
    auto runner = std::make_unique<TimelineRunner>(configuration, context, clock_);
    connect(runner.get(), &TimelineRunner::entryShown, window.get(), &WidgetWindow::setContent);
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
    // Below every other window also where the window manager ignores the hint (or there is none):
    // a widget that maps after a window must not cover it. Off screen nothing is stacked.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) window->lower();
    runner->start();
    return Shown{index, std::move(window), std::move(runner)};
}

std::vector<WidgetHost::Shown>::iterator WidgetHost::shownOf(const WidgetWindow* window) {
    return std::find_if(shown_.begin(), shown_.end(),
                        [window](const Shown& shown) { return shown.window.get() == window; });
}

void WidgetHost::save() {
    store_.save(instances_);
    if (loginEntry_) loginEntry_->follow(!instances_.empty());
}

void WidgetHost::moved(const WidgetWindow* window, QPoint position) {
    const auto found = shownOf(window);
    if (found == shown_.end()) return;
    WidgetInstance& instance = instances_[found->instance];
    const QRect place(position, widgetkit::familySize(instance.family).toSize());
    // A move may end half off the screen (the user's choice), but never on another widget.
    if (!isFree(place, placesBut(found->instance))) {
        if (const auto free = freePlaceFor(found->instance, place)) {
            position = *free;
            found->window->setPosition(position);
        } else {
            qCWarning(hostLog).noquote()
                << "no free place for" << instance.kind << "near" << position;
        }
    }
    instance.position = position;
    save();
}

void WidgetHost::storeUnsettledMoves() {
    for (const auto& shown : shown_) shown.window->settleNow();
}

void WidgetHost::fitToScreens() {
    bool changed = false;
    std::vector<QRect> placed;
    for (auto& shown : shown_) {
        WidgetInstance& instance = instances_[shown.instance];
        const QRect place(instance.position, widgetkit::familySize(instance.family).toSize());
        const QScreen* screen = QGuiApplication::screenAt(place.center());
        if (screen != nullptr && isFree(place, placed)) {
            placed.push_back(place);
            continue;
        }
        if (screen == nullptr) screen = QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
        const auto free = nearestFreeSpot(place.topLeft(), place.size(), area, placed);
        if (!free) {
            qCWarning(hostLog).noquote() << "no free place for" << instance.kind << "on the screen";
            placed.push_back(place);
            continue;
        }
        instance.position = *free;
        shown.window->setPosition(*free);
        placed.emplace_back(*free, place.size());
        changed = true;
    }
    if (changed) save();
}

bool WidgetHost::add(const QString& kind, WidgetFamily family) {
    const WidgetInstance instance{kind, family, freePosition(family)};
    if (!isFree(QRect(instance.position, widgetkit::familySize(family).toSize()),
                placesBut(instances_.size()))) {
        qCWarning(hostLog).noquote() << "not added" << kind << "- no free place on the screen";
        return false;
    }
    if (!showable(instance)) {
        qCWarning(hostLog).noquote()
            << "no widget" << kind << "in the" << widgetkit::familyName(family) << "size to add";
        return false;
    }
    if (shown_.size() >= maximumShown) {
        qCWarning(hostLog).noquote()
            << "not added" << kind << "- the desktop already shows" << maximumShown << "widgets";
        return false;
    }
    instances_.push_back(instance);
    auto shown = open(instances_.size() - 1);
    if (!shown) {
        instances_.pop_back();
        return false;
    }
    save();
    shown_.push_back(std::move(*shown));
    if (gallery_) gallery_->setFull(shown_.size() >= maximumShown, int(maximumShown));
    emit added(shown_.back().window.get());
    return true;
}

bool WidgetHost::resize(std::size_t index, WidgetFamily family) {
    if (index >= instances_.size()) return false;
    WidgetInstance& instance = instances_[index];
    if (instance.family == family) return true;
    if (!showable({instance.kind, family, instance.position})) {
        qCWarning(hostLog).noquote()
            << "no widget" << instance.kind << "in the" << widgetkit::familyName(family) << "size";
        return false;
    }
    // The widget that grows finds room for itself: its neighbours stay where the user put them.
    const auto place =
        freePlaceFor(index, QRect(instance.position, widgetkit::familySize(family).toSize()));
    if (!place) {
        qCWarning(hostLog).noquote() << "no room for" << instance.kind << "in the"
                                     << widgetkit::familyName(family) << "size on its screen";
        return false;
    }
    const WidgetFamily previous = instance.family;
    const QPoint previousPosition = instance.position;
    instance.family = family;
    instance.position = *place;
    const auto found = std::find_if(shown_.begin(), shown_.end(), [index](const Shown& shown) {
        return shown.instance == index;
    });
    if (found != shown_.end()) {
        auto reopened = open(index);
        if (!reopened) {
            instances_[index].family = previous;
            instances_[index].position = previousPosition;
            return false;
        }
        // The old window goes once the event that led here is over.
        found->window->hide();
        found->window.release()->deleteLater();
        *found = std::move(*reopened);
    }
    save();
    return true;
}

bool WidgetHost::remove(std::size_t index) {
    if (index >= instances_.size()) return false;
    instances_.erase(instances_.begin() + std::ptrdiff_t(index));
    for (auto shown = shown_.begin(); shown != shown_.end();) {
        if (shown->instance == index) {
            shown->window->hide();
            shown->window.release()->deleteLater();
            shown = shown_.erase(shown);
            continue;
        }
        if (shown->instance > index) --shown->instance;
        ++shown;
    }
    save();
    if (gallery_) gallery_->setFull(shown_.size() >= maximumShown, int(maximumShown));
    return true;
}

void WidgetHost::openGallery() {
    if (!gallery_) {
        gallery_ = std::make_unique<GalleryWindow>(language_);
        connect(gallery_.get(), &GalleryWindow::chosen, this,
                [this](const QString& kind, WidgetFamily family) {
                    if (add(kind, family)) gallery_->hide();
                });
    }
    // The previews are read afresh each time the gallery opens.
    gallery_->setWidgets(widgets_);
    gallery_->setFull(shown_.size() >= maximumShown, int(maximumShown));
    gallery_->show();
    gallery_->requestActivate();
}

void WidgetHost::setLanguage(widgetkit::Language language) {
    if (language == language_) return;
    language_ = language;
    if (!gallery_) return;
    const bool open = gallery_->isVisible();
    gallery_->hide();
    gallery_.release()->deleteLater();
    if (open) openGallery();
}

std::unique_ptr<QMenu> WidgetHost::contextMenu(const WidgetWindow* window) {
    const auto found = shownOf(window);
    if (found == shown_.end()) return nullptr;
    const WidgetInstance& instance = instances_[found->instance];
    auto menu = std::make_unique<QMenu>();
    auto* sizes = new QActionGroup(menu.get());
    for (const WidgetFamily family : widget(instance.kind)->configuration.families) {
        QAction* action = menu->addAction(familyLabel(family, language_));
        action->setCheckable(true);
        action->setChecked(family == instance.family);
        action->setActionGroup(sizes);
        connect(action, &QAction::triggered, this, [this, window, family] {
            if (const auto shown = shownOf(window); shown != shown_.end()) {
                resize(shown->instance, family);
            }
        });
    }
    menu->addSeparator();
    connect(menu->addAction(hostText(QStringLiteral("Ajouter un widget…"), language_)),
            &QAction::triggered, this, &WidgetHost::openGallery);
    connect(menu->addAction(hostText(QStringLiteral("Retirer ce widget"), language_)),
            &QAction::triggered, this, [this, window] {
                if (const auto shown = shownOf(window); shown != shown_.end()) {
                    remove(shown->instance);
                }
            });
    return menu;
}

void WidgetHost::popUpMenu(const WidgetWindow* window, QPoint at) {
    auto menu = contextMenu(window);
    if (!menu) return;
    // The menu's actions run after the press that opened it is over; it deletes itself on close.
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu.release()->popup(at);
}

void WidgetHost::reloadAll() {
    for (const auto& [kind, coalescer] : reloads_) coalescer->request();
}

void WidgetHost::reload(const QString& kind) {
    if (const auto found = reloads_.find(kind); found != reloads_.end()) found->second->request();
}

}  // namespace corvanta::host
