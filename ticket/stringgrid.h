#pragma once

#include "ticket/ticketgrid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

// The ticket grid on screen. The column-title row (row 0 of the ticket) is
// the view's horizontal header, so it stays in place while the body scrolls
// and its borders resize the columns; view row v shows ticket row v + 1.
class TicketGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TicketGridModel(TicketGrid& grid, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Tells the views what changed in the ticket since the last call: rows
    // added or removed at the end, and the cells from `firstChangedRow` (a
    // ticket row) to the last row.
    void sync(int firstChangedRow);

private:
    TicketGrid& m_grid;
    int m_announcedRows = 0;
    int m_announcedColumns = 0;
};

class TicketCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

signals:
    void editorCreated(QWidget* editor) const;
};

class TicketHeaderView : public QHeaderView {
    Q_OBJECT
public:
    explicit TicketHeaderView(QWidget* parent = nullptr);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

// StringGrid1: a string grid with the ticket's painting, operator range
// selection and column resizing, no row resizing, and cell editing that the
// main window switches on and off.
class TStringGrid : public QTableView {
    Q_OBJECT
public:
    TStringGrid(TicketGrid& grid, QWidget* parent = nullptr);

    TicketGrid& ticket() { return m_grid; }
    TicketGridModel* ticketModel() const { return m_model; }
    TicketCellDelegate* cellDelegate() const { return m_delegate; }

    // Current cell in ticket coordinates (row 0 is the column-title row).
    int col() const;
    int row() const;
    void setCol(int column);
    void setRow(int row);
    QRect cellRect(int column, int row) const; // in viewport coordinates

    void setEditing(bool on);
    bool editing() const { return m_editing; }
    bool isEditorOpen() const { return state() == QAbstractItemView::EditingState; }
    QString editorText() const;
    // Closes the cell editor, if open, keeping its text in the cell.
    void commitOpenEditor();

    // Applies the ticket's column widths (hidden columns included).
    void applyColumnWidths();
    // Ends a mouse operation in progress (a range selection or a drag).
    void cancelMouseOperation();

    // The key-down that the main window hands over from the description
    // combo box: processed as the grid's own key handling, without the
    // focus-chain handling of Tab.
    void keyDown(QKeyEvent* event);

signals:
    void cellSelected(int column, int row);
    void keyDownReceived(int key);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TicketGrid& m_grid;
    TicketGridModel* m_model = nullptr;
    TicketCellDelegate* m_delegate = nullptr;
    bool m_editing = false;
    bool m_mouseCancelled = false; // until the button that started it is released
    QPointer<QLineEdit> m_editor;
};
