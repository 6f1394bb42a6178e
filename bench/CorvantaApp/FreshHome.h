#pragma once

// A home of its own for a program the application benchmarks start: home, XDG and 0700 runtime
// folders and the support folder under `root`, no session bus, the software renderer.

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QString>

namespace corvanta::bench {

inline QProcessEnvironment freshHome(const QString& root) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"home", "config", "data", "cache", "runtime", "support"}) {
        QDir(root).mkpath(name);
    }
    QFile(root + "/runtime")
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment.insert("HOME", root + "/home");
    environment.insert("XDG_CONFIG_HOME", root + "/config");
    environment.insert("XDG_DATA_HOME", root + "/data");
    environment.insert("XDG_CACHE_HOME", root + "/cache");
    environment.insert("XDG_RUNTIME_DIR", root + "/runtime");
    environment.insert("CORVANTA_SUPPORT_DIR", root + "/support");
    environment.insert("QT_QUICK_BACKEND", "software");
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    return environment;
}

}  // namespace corvanta::bench
