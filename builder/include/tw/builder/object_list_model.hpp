#pragma once
// The rows of the object list (lvwObjects) with their check marks, shown through a list view.

#include "tw/builder/object_rows.hpp"

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>

#include <vector>

namespace tw::builder {

class ObjectListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // icons: the dialog's image list, indexed by ObjectRow::icon.
    explicit ObjectListModel(QList<QIcon> icons, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Removes every row and every column header.
    void Clear();
    void SetColumns(std::vector<ObjectColumn> columns);
    const std::vector<ObjectColumn>& Columns() const { return m_columns; }
    // Appends rows, unticked.
    void AppendRows(const std::vector<ObjectRow>& rows);
    const ObjectRow& Row(int row) const { return m_rows[static_cast<std::size_t>(row)].row; }
    bool IsChecked(int row) const { return m_rows[static_cast<std::size_t>(row)].checked; }
    void SetAllChecked(bool checked);
    // The texts of the ticked rows, in list order.
    QStringList CheckedTexts() const;

private:
    struct Entry {
        ObjectRow row;
        bool checked = false;
    };
    QList<QIcon> m_icons;
    std::vector<ObjectColumn> m_columns;
    std::vector<Entry> m_rows;
};

}  // namespace tw::builder
