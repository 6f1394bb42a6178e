#pragma once

#include <QTranslator>

class QQmlEngine;

namespace corvanta {

class Localization;

// Lets QML's qsTr() read the same table as L(): the French source text is the key, and a text
// the table lacks (or French) is left to the source. Installed on the application by install(),
// which also re-translates every loaded binding of `engine` when the language changes.
class AppTranslator : public QTranslator {
    Q_OBJECT

  public:
    explicit AppTranslator(const Localization& localization, QObject* parent = nullptr);

    QString translate(const char* context, const char* sourceText,
                      const char* disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override { return false; }

    static AppTranslator* install(Localization& localization, QQmlEngine& engine);

  private:
    const Localization& localization_;
};

}  // namespace corvanta
