#pragma once

#include "archive/archivetable.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>

// The archive grid on screen. Once something is loaded, grid row 0 (the
// first loaded line) is the fixed title row, shown as the view's horizontal
// header so it stays in place while the rows scroll and its borders resize
// the columns; view row v then shows grid row v + 1. With nothing loaded the
// single empty row is an ordinary row and there is no header.
class ArchiveTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    const ArchiveTable& table() const { return m_table; }
    bool hasTitleRow() const { return m_table.rowCount() > 1; }
    void setTable(ArchiveTable&& table);

    int gridRow(int viewRow) const { return hasTitleRow() ? viewRow + 1 : viewRow; }
    int viewRow(int gridRow) const { return hasTitleRow() ? gridRow - 1 : gridRow; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    ArchiveTable m_table;
};

class ArchiveCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// StringGrid1 of the archive browser: four columns, whole rows selected,
// columns resized by dragging the title row, read only.
class TArchiveGrid : public QTableView {
    Q_OBJECT
public:
    explicit TArchiveGrid(QWidget* parent = nullptr);

    ArchiveTableModel* archiveModel() const { return m_model; }
    const ArchiveTable& table() const { return m_model->table(); }

    // Replaces the content: with anything loaded, row 0 becomes the title
    // row, row 1 the current row and the view scrolls to the top.
    void setTable(ArchiveTable&& table);

    // The current row in grid rows (row 0 being the title row).
    int row() const;
    void setRow(int row);
    int rowCount() const { return table().rowCount(); }
    // Rows below the title row that are fully visible now.
    int visibleRowCount() const;

private:
    ArchiveTableModel* m_model = nullptr;
};
