#include "Session/EventLogModel.h"

namespace corvanta {

int EventLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant EventLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= count()) return {};
    const LogEntry& entry = entries_[std::size_t(index.row())];
    switch (role) {
        case IdRole:
            return entry.id;
        case TimestampRole:
            return entry.timestamp;
        case Qt::DisplayRole:
        case MessageRole:
            return entry.message;
        default:
            return {};
    }
}

QHash<int, QByteArray> EventLogModel::roleNames() const {
    return {{IdRole, "id"}, {TimestampRole, "timestamp"}, {MessageRole, "message"}};
}

void EventLogModel::append(LogEntry entry) {
    const int row = count();
    beginInsertRows({}, row, row);
    entries_.push_back(std::move(entry));
    endInsertRows();
    if (count() > capacity) {
        const int dropped = count() - keptAfterTrim;
        beginRemoveRows({}, 0, dropped - 1);
        entries_.erase(entries_.begin(), entries_.begin() + dropped);
        endRemoveRows();
    }
    emit countChanged();
}

void EventLogModel::clear() {
    if (entries_.empty()) return;
    beginResetModel();
    entries_.clear();
    endResetModel();
    emit countChanged();
}

}  // namespace corvanta
