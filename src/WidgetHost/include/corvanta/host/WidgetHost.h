#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "corvanta/host/GalleryWindow.h"
#include "corvanta/host/InstanceStore.h"
#include "corvanta/host/LoginEntry.h"
#include "corvanta/host/PluginFolder.h"
#include "corvanta/host/ReloadCoalescer.h"
#include "corvanta/host/TimelineRunner.h"
#include "corvanta/host/WidgetWindow.h"

class QMenu;

namespace corvanta::host {

// Which instances get a window: in file order, those that `showable` accepts, at most `limit` of
// them. The others stay in the list as they are.
std::vector<std::size_t> instancesToOpen(const std::vector<WidgetInstance>& instances,
                                         const std::function<bool(const WidgetInstance&)>& showable,
                                         std::size_t limit);

// Whether a start with the list `stored` (none when there is no readable list) shows anything:
// not without a list when no defaults are placed, nor with a list that places no widget (the user
// removed them all) unless the gallery is asked for. Decided before the application object exists,
// so that a host with nothing to show ends quietly whether or not there is a display.
bool startShowsAnything(const std::optional<std::vector<WidgetInstance>>& stored,
                        bool placesDefaults, bool galleryAsked);

// The desktop's widgets: one window and one timeline runner per stored instance of a kind that
// a plug-in offers, up to the number a desktop can show; reloads coalesced per kind. The user
// adds widgets from the gallery and resizes or removes them from their context menu; every
// change is stored at once.
class WidgetHost : public QObject {
    Q_OBJECT

  public:
    // More windows than this make no sense on a desktop and would only eat memory: the instances
    // beyond it stay in the file but get no window.
    static constexpr std::size_t maximumShown = 64;

    struct Shown {
        std::size_t instance;  // index into instances()
        std::unique_ptr<WidgetWindow> window;
        std::unique_ptr<TimelineRunner> runner;
    };

    WidgetHost(std::vector<LoadedWidget> widgets, InstanceStore store, widgetkit::Clock clock,
               std::chrono::milliseconds reloadInterval = std::chrono::seconds(1),
               widgetkit::Language language = widgetkit::systemLanguage(),
               QObject* parent = nullptr);
    ~WidgetHost() override;

    // Whether a host without a readable list places one small widget of each kind (the user uses
    // the application) or nothing at all (true unless set).
    void setPlacesDefaults(bool placesDefaults) { placesDefaults_ = placesDefaults; }
    // The login entry that follows whether widgets are placed, from start() on.
    void setLoginEntry(LoginEntry entry) { loginEntry_ = std::move(entry); }

    // Reads the instances and shows them: without a readable file, one small instance of each
    // kind, stored at once; the gallery too when `galleryAsked`. False, with nothing shown, when
    // there is nothing to show: no readable file and the host places no defaults (nothing is
    // stored then), or a file that places no widget (the user removed them all) and no gallery
    // asked for.
    bool start(bool galleryAsked = false);
    // The same with the list already read from the store (none when it held no readable list).
    bool start(bool galleryAsked, std::optional<std::vector<WidgetInstance>> stored);
    void reloadAll();
    void reload(const QString& kind);

    // The user's changes, each stored at once. A widget never covers another: one added, resized
    // or moved onto another goes to the nearest free spot of its screen. False, with a log line,
    // when the widget or size is not offered, the desktop is full, there is no room for it, or
    // there is no such instance.
    bool add(const QString& kind, widgetkit::WidgetFamily family);
    bool resize(std::size_t instance, widgetkit::WidgetFamily family);
    bool remove(std::size_t instance);

    // After a change of screens: each widget left off every screen, or on one placed before it,
    // goes to the nearest free spot of its screen (or the primary one); stored at once.
    void fitToScreens();

    // Stores a move still settling; for the host's end.
    void storeUnsettledMoves();

    void openGallery();
    // The language of the host's own texts from now on; an open gallery is shown anew in it.
    void setLanguage(widgetkit::Language language);
    // The gallery once opened, else null.
    GalleryWindow* gallery() const { return gallery_.get(); }
    // The context menu of the widget shown in `window`: its sizes, "add a widget", "remove".
    std::unique_ptr<QMenu> contextMenu(const WidgetWindow* window);

    const std::vector<WidgetInstance>& instances() const { return instances_; }
    const std::vector<Shown>& shown() const { return shown_; }

  signals:
    // A widget placed from the gallery has a window, shown; its first frame follows.
    void added(WidgetWindow* window);

  private:
    const LoadedWidget* widget(const QString& kind) const;
    bool showable(const WidgetInstance& instance) const;
    std::vector<WidgetInstance> defaultInstances() const;
    QPoint freePosition(widgetkit::WidgetFamily family) const;
    // The shown widgets' places, but for the instance `except`.
    std::vector<QRect> placesBut(std::size_t except) const;
    // `place` itself when it is free and on its screen, else the nearest free spot of that
    // screen; none when the screen has no room for it.
    std::optional<QPoint> freePlaceFor(std::size_t instance, const QRect& place) const;
    // A window and a runner for the instance; none when its view cannot be loaded.
    std::optional<Shown> open(std::size_t index);
    std::vector<Shown>::iterator shownOf(const WidgetWindow* window);
    void moved(const WidgetWindow* window, QPoint position);
    void popUpMenu(const WidgetWindow* window, QPoint at);
    void save();

    std::vector<LoadedWidget> widgets_;
    InstanceStore store_;
    widgetkit::Clock clock_;
    std::chrono::milliseconds reloadInterval_;
    widgetkit::Language language_;
    std::vector<WidgetInstance> instances_;
    std::vector<Shown> shown_;
    std::map<QString, ReloadCoalescer*> reloads_;
    std::unique_ptr<GalleryWindow> gallery_;
    bool placesDefaults_ = true;
    std::optional<LoginEntry> loginEntry_;
};

}  // namespace corvanta::host
