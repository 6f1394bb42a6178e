#pragma once

#include <QtQml/qqmlregistration.h>

#include <QColor>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>
#include <functional>

class QQmlEngine;
class QJSEngine;

namespace corvanta {

// The dashboard's rules (DashboardRules) for the views: takes the session model's values as QML
// sees them (records, undefined, dates) and gives back texts, fractions and flags. Dates are
// JavaScript dates or seconds since 1970. 64-bit figures leave here already formatted.
//
// `now` is the views' clock, in seconds since 1970: the system's unless a test fixes it.
class DashboardLogic : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(int performanceCores READ performanceCores WRITE setPerformanceCores NOTIFY
                   performanceCoresChanged)
    Q_PROPERTY(QVariant fixedNow READ fixedNow WRITE setFixedNow NOTIFY fixedNowChanged)
    // The object itself, announced anew when the interface language changes. Views call the
    // methods that answer with texts through it, so such a binding is evaluated again at once in
    // the new language (a bare read of a language property would be compiled away).
    Q_PROPERTY(corvanta::DashboardLogic* texts READ texts NOTIFY languageChanged)

  public:
    explicit DashboardLogic(QObject* parent = nullptr);
    static DashboardLogic* create(QQmlEngine* engine, QJSEngine*);

    int performanceCores() const { return performanceCores_; }
    void setPerformanceCores(int cores);
    // Seconds since 1970 that now() returns instead of the system clock; undefined: the clock.
    QVariant fixedNow() const { return fixedNow_; }
    void setFixedNow(const QVariant& seconds);
    DashboardLogic* texts() { return this; }
    Q_INVOKABLE double now() const;
    // A date (or seconds) as seconds since 1970; NaN when absent.
    Q_INVOKABLE double seconds(const QVariant& date) const;

    // Gauges.
    Q_INVOKABLE double hashRateFraction(double megahashesPerSecond) const;
    Q_INVOKABLE double sweepPeriod(double megahashesPerSecond) const;
    Q_INVOKABLE int percent(double fraction) const;
    Q_INVOKABLE double arcClamp(double fraction) const;
    Q_INVOKABLE double sweepPhase(double anchorPhase, double secondsSinceAnchor,
                                  double period) const;
    Q_INVOKABLE bool sweepDotShown(bool active, bool reduceMotion, double period) const;
    Q_INVOKABLE QString fixed(double value, int decimals) const;
    // `colour` at `opacity` of its own opacity (palette colours may already be translucent).
    Q_INVOKABLE QColor faded(const QColor& colour, double opacity) const;
    // Status line, uptime and machine card.
    Q_INVOKABLE QString statusLabel(int runState, const QString& failureMessage) const;
    // The status line of a session that may be paused, and the pause's caption.
    Q_INVOKABLE QString statusLine(int runState, const QString& failureMessage, bool manuallyPaused,
                                   bool governorPaused, const QString& governorReason) const;
    Q_INVOKABLE QString pauseCaption(bool manuallyPaused, bool governorPaused,
                                     const QString& governorReason) const;
    Q_INVOKABLE QString uptimeLine(const QVariant& startedAt, double now) const;
    Q_INVOKABLE QVariantMap machine(const QVariant& cpuUsage) const;
    // Sync card: {bar, percent, counts}.
    Q_INVOKABLE QVariantMap sync(const QVariant& blocks, const QVariant& headers,
                                 double percent) const;
    Q_INVOKABLE bool lacksPeers(const QVariant& noPeersSince, double now) const;
    // Picker: {lit, pauseLit, throttle}.
    Q_INVOKABLE QVariantMap picker(int runState, const QString& powerMode, bool manuallyPaused,
                                   bool governorPaused, const QVariant& effectiveWorkerCount,
                                   bool throttled) const;
    // Schedule grid.
    Q_INVOKABLE int gridColumn(double x, double width) const;
    Q_INVOKABLE QString gridRowMode(double y, double rowHeight, double rowSpacing) const;
    Q_INVOKABLE double hourLabelCentre(int hour, double width) const;
    // Network pulse: {elapsed, bar, waiting}; draws as a formatted count and its caption.
    Q_INVOKABLE QVariantMap pulse(const QVariant& tipAt, double now) const;
    Q_INVOKABLE QVariantMap draws(const QVariant& sessionStartHeight,
                                  const QVariant& freshChainStatus) const;
    // Gains card and bottom bar.
    Q_INVOKABLE QString gainsAmount(const QVariant& earnings, bool coversConfiguredAddress,
                                    const QVariant& persistedHistoryTotalSats) const;
    // From the number of blocks in the history (not the records: a long history is never
    // handed to a view).
    Q_INVOKABLE QString blocksFoundSubtitle(const QVariant& count) const;
    Q_INVOKABLE QString lastUpdateLabel(const QVariant& updatedAt, double now) const;
    Q_INVOKABLE bool showsReviewPrompt(bool advancedPanelOpen, bool payoutNeedsAttention,
                                       double firstLaunchAt, bool answered, double now) const;
    // Candidate card: {kind, before, count, after, text}.
    Q_INVOKABLE QVariantMap candidate(const QVariant& validation) const;
    // Header.
    Q_INVOKABLE QString networkName(const QVariant& network) const;
    Q_INVOKABLE QString networkHelp(const QVariant& network) const;
    Q_INVOKABLE QString toggledTheme(const QString& current) const;
    // Mini dashboard: {status, colour} of the footer, and the tiles' and chips' texts.
    Q_INVOKABLE QVariantMap miniStatus(int runState, bool isHashing, const QVariant& syncBlocks,
                                       const QVariant& syncHeaders, double syncPercent,
                                       const QString& failureMessage, bool manuallyPaused = false,
                                       bool governorPaused = false,
                                       const QString& governorReason = {}) const;
    Q_INVOKABLE QString miniMachineValue(const QVariant& cpuUsage) const;
    Q_INVOKABLE QString miniGainsValue(const QVariant& earnings, bool coversConfiguredAddress,
                                       const QVariant& persistedHistoryTotalSats) const;
    Q_INVOKABLE QString miniModeLabel(const QVariant& effectiveWorkerCount,
                                      const QString& requestedMode) const;
    Q_INVOKABLE QString miniWorkersLabel(const QVariant& effectiveWorkerCount) const;
    Q_INVOKABLE QString miniUptimeLabel(const QVariant& startedAt, double now) const;
    Q_INVOKABLE QString capitalized(const QString& text) const;
    // Where the review prompt's answers lead.
    Q_INVOKABLE QUrl reviewLink() const;
    Q_INVOKABLE QUrl supportLink() const;
    // Block found: {height, reward}.
    Q_INVOKABLE QVariantMap blockFound(const QVariant& presentation) const;

  signals:
    void performanceCoresChanged();
    void fixedNowChanged();
    void languageChanged();

  private:
    int performanceCores_;
    QVariant fixedNow_;
};

}  // namespace corvanta
