#pragma once

#include <QPoint>
#include <QString>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "corvanta/host/WriteReport.h"
#include "corvanta/widgetkit/Timeline.h"

namespace corvanta::host {

// One widget on the desktop.
struct WidgetInstance {
    QString kind;
    widgetkit::WidgetFamily family = widgetkit::WidgetFamily::systemSmall;
    QPoint position;

    bool operator==(const WidgetInstance&) const = default;
};

// The instance file's text: the list, in order; throws json::DecodeError (or a parse error) for a
// text that is not such a list.
std::vector<WidgetInstance> decodeInstances(const std::string& text);
std::string encodeInstances(const std::vector<WidgetInstance>& instances);

// The host's list of instances, a small JSON file:
//   {"instances": [{"kind": "...", "family": "small", "x": 24, "y": 24}, ...]}
// Instances of kinds that no plug-in offers are kept as they are. The user may keep the file as a
// link (a dotfile manager's): a link to a regular file is read and written through, the link kept;
// a link to anything else is set aside like any file that is no list, its target left as it is.
class InstanceStore {
  public:
    explicit InstanceStore(std::filesystem::path file);

    // $XDG_CONFIG_HOME/Corvanta/widget-host.json (~/.config when unset).
    static std::filesystem::path defaultFile();

    // The stored instances; none when there is no file. A file that cannot be read as such a
    // list is set aside (renamed, else copied, beside it as "widget-host.json.unreadable", then
    // "….unreadable-2" and on) and reads as none; when it cannot be set aside, later saves are
    // refused so that it is never overwritten.
    std::optional<std::vector<WidgetInstance>> load();
    // The same reading with nothing set aside and nothing said: for deciding whether the host
    // has anything to show before it knows it can show it.
    std::optional<std::vector<WidgetInstance>> peek() const;
    // False when the file could not be written or must not be; said in the log when saving
    // begins to fail and when it works again, not at each save.
    bool save(const std::vector<WidgetInstance>& instances);

    const std::filesystem::path& file() const { return file_; }

  private:
    struct Reading {
        std::optional<std::vector<WidgetInstance>> instances;
        // Why the file there is no list; empty when there is none or it was read.
        QString problem;
    };
    Reading read() const;
    void setAside();

    std::filesystem::path file_;
    WriteReport report_;
    bool writable_ = true;
};

}  // namespace corvanta::host
