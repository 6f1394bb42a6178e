#include "corvanta/widgetkit/QtCaches.h"

#include <QFile>

#include <cstdlib>
#include <filesystem>

#include "corvanta/support/UserFolders.h"

namespace corvanta::widgetkit {

void keepQtCachesInTheUsersFolders() {
    for (const char* name : {"XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && !std::filesystem::path(value).is_absolute()) ::unsetenv(name);
    }
    const auto cache = userFolders::cacheHome();
    const QByteArray bytes = cache ? QByteArray::fromStdString(cache->string()) : QByteArray();
    if (bytes.isEmpty() || QFile::encodeName(QFile::decodeName(bytes)) != bytes) {
        ::setenv("QML_DISABLE_DISK_CACHE", "1", 0);
    }
}

}  // namespace corvanta::widgetkit
