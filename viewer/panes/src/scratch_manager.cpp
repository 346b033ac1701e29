#include "tw/panes/scratch_manager.hpp"

#include <QHeaderView>
#include <QTreeView>

namespace tw::viewer {

namespace {
// Twips to pixels at the usual 96 dots per inch (15 twips a pixel).
int TwipsToPixels(int twips) { return (twips + 7) / 15; }
}  // namespace

ScratchManager::ScratchManager(QObject* parent) : QAbstractTableModel(parent) {}

QString ScratchManager::KeyOf(qint32 id) { return QLatin1Char('A') + QString::number(id); }

QString ScratchManager::Key(int row) const { return KeyOf(m_rows[std::size_t(row)].id); }

int ScratchManager::RowOfKey(const QString& key) const {
    if (!key.startsWith(QLatin1Char('A'))) return -1;
    bool ok = false;
    const qint32 id = key.mid(1).toInt(&ok);
    // Only the plain decimal spelling is a key ("A007" is not the key of 7).
    if (!ok || KeyOf(id) != key) return -1;
    return m_rowOfId.value(id, -1);
}

void ScratchManager::Add(qint32 id, const QString& text) {
    const auto found = m_rowOfId.constFind(id);
    if (found == m_rowOfId.cend()) {
        const int row = int(m_rows.size());
        beginInsertRows({}, row, row);
        m_rows.push_back({id, text});
        m_rowOfId.insert(id, row);
        endInsertRows();
        return;
    }
    const int row = *found;
    m_rows[std::size_t(row)].text = text;
    emit dataChanged(index(row, 1), index(row, 1));
}

void ScratchManager::Clear() {
    beginResetModel();
    m_rows.clear();
    m_rowOfId.clear();
    endResetModel();
}

void ScratchManager::AttachView(QTreeView* view) {
    view->setModel(this);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->header()->setStretchLastSection(false);
    view->setColumnWidth(0, TwipsToPixels(kIdWidthTwips));
    view->setColumnWidth(1, TwipsToPixels(kMessageWidthTwips));
}

int ScratchManager::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ScratchManager::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant ScratchManager::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(m_rows.size())) return {};
    const Row& r = m_rows[std::size_t(index.row())];
    if (role == Qt::DisplayRole) return index.column() == 0 ? QString::number(r.id) : r.text;
    if (role == Qt::UserRole) return KeyOf(r.id);
    return {};
}

QVariant ScratchManager::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section == 0) return QStringLiteral("Id");
    if (section == 1) return QStringLiteral("Scratch Message");
    return {};
}

}  // namespace tw::viewer
