#pragma once
// The scratch list: one row per scratch identifier with the latest text sent under it.

#include <QAbstractTableModel>
#include <QHash>
#include <QString>

#include <vector>

class QTreeView;

namespace tw::viewer {

// Keeps the rows of `lvwScratch` and shows them as a two-column table model ("Id",
// "Scratch Message"). Each row has the key "A" + identifier; a row is appended when its
// identifier first arrives and keeps its place afterwards.
class ScratchManager : public QAbstractTableModel {
    Q_OBJECT
public:
    // Column widths at start, in twips.
    static constexpr int kIdWidthTwips = 1279;
    static constexpr int kMessageWidthTwips = 2540;

    explicit ScratchManager(QObject* parent = nullptr);

    // Puts the text into the row of the identifier, appending the row if there is none.
    void Add(qint32 id, const QString& text);
    // Removes every row.
    void Clear();

    int Count() const { return int(m_rows.size()); }
    // Key, identifier and text of a 0-based row.
    QString Key(int row) const;
    qint32 Id(int row) const { return m_rows[std::size_t(row)].id; }
    const QString& Text(int row) const { return m_rows[std::size_t(row)].text; }
    // The 0-based row with the key ("A42"), -1 when there is none.
    int RowOfKey(const QString& key) const;
    static QString KeyOf(qint32 id);

    // Shows the list in a view: model, header captions and the start widths.
    void AttachView(QTreeView* view);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        qint32 id;
        QString text;
    };
    std::vector<Row> m_rows;
    QHash<qint32, int> m_rowOfId;
};

}  // namespace tw::viewer
