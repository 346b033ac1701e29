#include "tw/builder/object_list_model.hpp"

namespace tw::builder {

ObjectListModel::ObjectListModel(QList<QIcon> icons, QObject* parent)
    : QAbstractTableModel(parent), m_icons(std::move(icons)) {}

int ObjectListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ObjectListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ObjectListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Entry& e = m_rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            if (column == 0) return e.row.text;
            return column - 1 < e.row.subItems.size() ? e.row.subItems.at(column - 1) : QString();
        case Qt::CheckStateRole:
            if (column == 0) return e.checked ? Qt::Checked : Qt::Unchecked;
            return {};
        case Qt::DecorationRole:
            if (column == 0 && e.row.icon >= 0 && e.row.icon < m_icons.size()) return m_icons.at(e.row.icon);
            return {};
        default:
            return {};
    }
}

bool ObjectListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0 || index.row() >= rowCount()) return false;
    m_rows[static_cast<std::size_t>(index.row())].checked = value.value<Qt::CheckState>() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

QVariant ObjectListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) return {};
    return m_columns[static_cast<std::size_t>(section)].header;
}

Qt::ItemFlags ObjectListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

void ObjectListModel::Clear() {
    beginResetModel();
    m_rows.clear();
    m_columns.clear();
    endResetModel();
}

void ObjectListModel::SetColumns(std::vector<ObjectColumn> columns) {
    beginResetModel();
    m_columns = std::move(columns);
    endResetModel();
}

void ObjectListModel::AppendRows(const std::vector<ObjectRow>& rows) {
    if (rows.empty()) return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
    for (const ObjectRow& r : rows) m_rows.push_back({r, false});
    endInsertRows();
}

void ObjectListModel::SetAllChecked(bool checked) {
    if (m_rows.empty()) return;
    for (Entry& e : m_rows) e.checked = checked;
    emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

QStringList ObjectListModel::CheckedTexts() const {
    QStringList out;
    for (const Entry& e : m_rows) {
        if (e.checked) out << e.row.text;
    }
    return out;
}

}  // namespace tw::builder
