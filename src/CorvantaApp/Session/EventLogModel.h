#pragma once

#include <QAbstractListModel>

#include <deque>

#include "Session/SessionRecords.h"

namespace corvanta {

// The session's in-memory event log as a list the views show, oldest first. It grows to 1,000
// lines; the 1,001st append drops the oldest so that the newest 500 remain, in one row removal.
class EventLogModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

  public:
    static constexpr int capacity = 1000;
    static constexpr int keptAfterTrim = 500;

    enum Role { IdRole = Qt::UserRole + 1, TimestampRole, MessageRole };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return int(entries_.size()); }
    const std::deque<LogEntry>& entries() const { return entries_; }

    void append(LogEntry entry);
    void clear();

  signals:
    void countChanged();

  private:
    std::deque<LogEntry> entries_;
};

}  // namespace corvanta
