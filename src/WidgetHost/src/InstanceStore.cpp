#include "corvanta/host/InstanceStore.h"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "corvanta/host/PluginFolder.h"
#include "corvanta/shared/RegularFile.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/StrictJson.h"
#include "corvanta/widgetkit/ConfigFolder.h"

namespace corvanta::host {

namespace fs = std::filesystem;

std::vector<WidgetInstance> decodeInstances(const std::string& text) {
    const json::Value root = json::parse(text);
    const json::Value list = json::required<json::Value>(root, "instances");
    if (!list.is_array()) throw json::DecodeError("instances", "expected an array");
    std::vector<WidgetInstance> instances;
    for (const json::Value& item : list) {
        const auto familyText = QString::fromStdString(json::required<std::string>(item, "family"));
        const auto family = widgetkit::familyNamed(familyText);
        if (!family) throw json::DecodeError("family", "expected \"small\" or \"medium\"");
        instances.push_back(
            {QString::fromStdString(json::required<std::string>(item, "kind")), *family,
             QPoint(json::required<int>(item, "x"), json::required<int>(item, "y"))});
    }
    return instances;
}

std::string encodeInstances(const std::vector<WidgetInstance>& instances) {
    json::Value list = json::Value::array();
    for (const auto& instance : instances) {
        list.push_back({{"kind", instance.kind.toStdString()},
                        {"family", widgetkit::familyName(instance.family).toStdString()},
                        {"x", instance.position.x()},
                        {"y", instance.position.y()}});
    }
    return json::dump(json::Value{{"instances", list}}, 2) + "\n";
}

InstanceStore::InstanceStore(fs::path file)
    : file_(std::move(file)),
      report_(QStringLiteral("the widgets"), QString::fromStdString(file_.string())) {}

fs::path InstanceStore::defaultFile() {
    return widgetkit::corvantaConfigFolder() / "widget-host.json";
}

namespace {

// A list of 64 widgets is a few kilobytes; a file far larger is not one.
constexpr std::size_t largestList = 1024 * 1024;

bool isLink(const fs::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

QString whatALinkLeadsTo(const RegularFileText& read) {
    using Outcome = RegularFileText::Outcome;
    switch (read.outcome) {
        case Outcome::read:
            break;
        case Outcome::absent:
            return QStringLiteral("nothing");
        case Outcome::notRegular:
            return QStringLiteral("something other than a regular file");
        case Outcome::failed:
            if (read.error == EFBIG) return QStringLiteral("a file of more than 1 MiB");
            if (read.error == ELOOP) return QStringLiteral("nothing (a loop of links)");
            return QStringLiteral("a file it cannot read (%1)")
                .arg(QString::fromStdString(std::generic_category().message(read.error)));
    }
    return {};
}

}  // namespace

InstanceStore::Reading InstanceStore::read() const {
    // A link the user keeps there (a dotfile manager's) is read through when it leads to a regular
    // file within the bound, on the descriptor opened; to anything else it is no list.
    const bool link = isLink(file_);
    const auto read = readRegularFile(file_, largestList);
    using Outcome = RegularFileText::Outcome;
    if (link && read.outcome != Outcome::read) {
        return {std::nullopt,
                QStringLiteral("the instance file %1 is a link to %2; the link is "
                               "set aside, its target left as it is")
                    .arg(QString::fromStdString(file_.string()), whatALinkLeadsTo(read))};
    }
    if (read.outcome == Outcome::absent) return {};
    if (read.outcome == Outcome::notRegular) {
        return {std::nullopt, QStringLiteral("the instance file %1 is not a regular file; set "
                                             "aside, not read")
                                  .arg(QString::fromStdString(file_.string()))};
    }
    try {
        if (read.outcome == Outcome::failed)
            throw std::system_error(read.error, std::generic_category());
        return {decodeInstances(read.text), {}};
    } catch (const std::exception& problem) {
        return {std::nullopt, QStringLiteral("unreadable instance file %1 - %2")
                                  .arg(QString::fromStdString(file_.string()),
                                       QString::fromLocal8Bit(problem.what()))};
    }
}

std::optional<std::vector<WidgetInstance>> InstanceStore::load() {
    auto reading = read();
    if (!reading.problem.isEmpty()) {
        qCWarning(hostLog).noquote() << reading.problem;
        setAside();
    }
    return std::move(reading.instances);
}

std::optional<std::vector<WidgetInstance>> InstanceStore::peek() const {
    return read().instances;
}

void InstanceStore::setAside() {
    std::error_code error;
    fs::path aside = file_;
    aside += ".unreadable";
    // A link among the names set aside is taken too, whatever it leads to.
    for (int n = 2; fs::exists(fs::symlink_status(aside, error)); ++n) {
        aside = file_;
        aside += ".unreadable-" + std::to_string(n);
    }
    fs::rename(file_, aside, error);
    // A link is only ever renamed: a copy would read its target.
    if (error && !isLink(file_)) fs::copy_file(file_, aside, error);
    if (error) {
        writable_ = false;
        qCWarning(hostLog).noquote()
            << "could not set" << file_.c_str() << "aside; the widgets will not be stored";
        return;
    }
    qCWarning(hostLog).noquote() << "set the unreadable instance file aside as" << aside.c_str();
}

bool InstanceStore::save(const std::vector<WidgetInstance>& instances) {
    if (!writable_) return false;
    const std::string text = encodeInstances(instances);
    std::optional<QString> failure;
    if (text.size() > largestList) {
        failure = QStringLiteral("a list of %1 widgets is past the 1 MiB the host reads")
                      .arg(instances.size());
    } else {
        try {
            // Through a link the user keeps, into its target: the link stays a link. A link that
            // leads nowhere now is refused, never replaced.
            writeFileAtomically(writePlaceThroughLink(file_), text);
        } catch (const std::exception& problem) {
            failure = QString::fromLocal8Bit(problem.what());
        }
    }
    report_.after(failure);
    return !failure;
}

}  // namespace corvanta::host
