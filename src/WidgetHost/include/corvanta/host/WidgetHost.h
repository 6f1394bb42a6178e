#pragma once

#include <QObject>
#include <map>
#include <memory>
#include <vector>

#include "corvanta/host/InstanceStore.h"
#include "corvanta/host/PluginFolder.h"
#include "corvanta/host/ReloadCoalescer.h"
#include "corvanta/host/TimelineRunner.h"
#include "corvanta/host/WidgetWindow.h"

namespace corvanta::host {

// The desktop's widgets: one window and one timeline runner per stored instance of a kind that
// a plug-in offers, reloads coalesced per kind.
class WidgetHost : public QObject {
    Q_OBJECT

  public:
    struct Shown {
        std::size_t instance;  // index into instances()
        std::unique_ptr<WidgetWindow> window;
        TimelineRunner* runner;
    };

    WidgetHost(std::vector<LoadedWidget> widgets, InstanceStore store, widgetkit::Clock clock,
               std::chrono::milliseconds reloadInterval = std::chrono::seconds(1),
               QObject* parent = nullptr);
    ~WidgetHost() override;

    // Reads the instances (one small instance of each kind when there are none) and shows them.
    void start();
    void reloadAll();
    void reload(const QString& kind);

    const std::vector<WidgetInstance>& instances() const { return instances_; }
    const std::vector<Shown>& shown() const { return shown_; }

  private:
    const LoadedWidget* widget(const QString& kind) const;
    std::vector<WidgetInstance> defaultInstances() const;
    void show(std::size_t index);
    void moved(std::size_t index, QPoint position);

    std::vector<LoadedWidget> widgets_;
    InstanceStore store_;
    widgetkit::Clock clock_;
    std::chrono::milliseconds reloadInterval_;
    std::vector<WidgetInstance> instances_;
    std::vector<Shown> shown_;
    std::map<QString, ReloadCoalescer*> reloads_;
};

}  // namespace corvanta::host
