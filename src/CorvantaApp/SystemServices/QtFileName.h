#pragma once

#include <QString>

#include <filesystem>
#include <memory>

#include "corvanta/support/UniqueFd.h"

namespace corvanta {

// A path of the user's as Qt's file classes can name it. Qt takes file names as text and gives
// them back to the system as UTF-8, so a path whose bytes are not UTF-8 (a home named in Latin-1,
// "caf\xE9") would be taken for another ("caf\xEF\xBF\xBD") and written there. Such a path is
// named through this process's descriptor of the deepest folder of it that exists, as
// /proc/self/fd/N/<the rest>, the rest being made below it as usual (the folders of a rest that
// Qt could not name either are made at once). The descriptor is held for as long as any copy of
// this lives; a copy names the same place.
class QtFileName {
  public:
    // Names nothing.
    QtFileName() = default;
    explicit QtFileName(std::filesystem::path path);

    // The path as given; empty for none.
    const std::filesystem::path& path() const { return path_; }
    // The name to give Qt, and anything that takes the same name; empty when the path cannot be
    // named: no /proc to name it through, or its folder cannot be made.
    const QString& name() const { return name_; }
    // The path as people read it, bytes that are not UTF-8 shown as U+FFFD.
    QString shown() const;

  private:
    std::filesystem::path path_;
    std::shared_ptr<const UniqueFd> folder_;
    QString name_;
};

}  // namespace corvanta
