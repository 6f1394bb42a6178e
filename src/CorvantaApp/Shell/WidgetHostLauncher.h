#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace corvanta {

// The desktop widgets' host for this session: the application starts it when the session has
// none, so that a user's widgets appear from the first launch on, and only for users of the
// application. The host keeps itself to one per session, so a race between two starts is
// harmless.
namespace WidgetHostLauncher {

// The host installed beside this program (bin/), or the build folder's bin/ beside tools/;
// empty when neither is there, or when the application runs off screen (no desktop to show
// widgets on).
QString hostProgram();

// Asks the bus, without waiting, whether the host's name has an owner, and starts `program` in
// a session of its own when it has none (or when there is no bus to ask). `context` bounds the
// wait for the answer. The pending question, which goes once answered; null when none was asked.
QObject* startIfNone(QDBusConnection bus, const QString& program, QObject* context);

// Asks for the widget gallery: `program` opens it, or has the host already running open it.
// The host started at launch shows nothing for a user who removed every widget, so this is the
// way back to them.
void openGallery(const QString& program);

}  // namespace WidgetHostLauncher
}  // namespace corvanta
