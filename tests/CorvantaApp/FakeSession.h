#pragma once

#include <QQmlComponent>
#include <QQmlEngine>
#include <QStringList>

#include <memory>

// The QML stand-in for the session model (fake/FakeSessionModel.qml), for tests in C++.
namespace corvanta::testing {

inline QObject* makeFakeSession(QQmlEngine& engine, QObject* parent = nullptr) {
    QQmlComponent component(&engine, QUrl::fromLocalFile(CORVANTA_FAKE_SESSION));
    QObject* session = component.create();
    if (session == nullptr) qFatal("%s", qPrintable(component.errorString()));
    QQmlEngine::setObjectOwnership(session, QQmlEngine::CppOwnership);
    session->setParent(parent);
    return session;
}

inline QStringList calls(const QObject& session) {
    return session.property("calls").toStringList();
}

}  // namespace corvanta::testing
