#pragma once

#include <QtQml/qqmlregistration.h>
#include <QColor>
#include <QObject>

namespace corvanta {

// The application palette the views draw with, light or dark as "rigwell.appTheme" says
// ("dark" is dark, anything else light). The app shell completes it.
class Theme : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool dark READ dark CONSTANT)
    Q_PROPERTY(QColor accent READ accent CONSTANT)
    Q_PROPERTY(QColor surfaceViolet READ surfaceViolet CONSTANT)
    Q_PROPERTY(QColor textSecondary READ textSecondary CONSTANT)

  public:
    // Reads the theme from the default preferences.
    explicit Theme(QObject* parent = nullptr);
    Theme(bool dark, QObject* parent);

    bool dark() const { return dark_; }
    QColor accent() const;
    QColor surfaceViolet() const;
    QColor textSecondary() const;

  private:
    bool dark_;
};

}  // namespace corvanta
