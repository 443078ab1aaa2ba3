#include "ticket/stringgrid.h"

#include "platform/formfont.h"
#include "ticket/cellstyle.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kRowHeight = 20;

QColor fillColour(CellStyle::Fill fill, const QPalette& palette) {
    switch (fill) {
    case CellStyle::Fill::Aqua:
        return QColor(0, 255, 255);
    case CellStyle::Fill::Yellow:
        return QColor(255, 255, 0);
    case CellStyle::Fill::Selection:
        return palette.color(QPalette::Highlight);
    case CellStyle::Fill::Background:
        break;
    }
    return palette.color(QPalette::Base);
}

// Every visible cell is painted after each weighing, so the font and its
// metrics are made once rather than per cell.
const QFont& gridFont() {
    static const QFont f = formFontPixels(16);
    return f;
}

const QFontMetrics& gridMetrics() {
    static const QFontMetrics fm(gridFont());
    return fm;
}

void paintCell(QPainter* painter, const QRect& rect, const QString& text, int column, int row,
               int rowCount, bool selected, const QPalette& palette) {
    const QFontMetrics& fm = gridMetrics();
    const CellStyle style = ticketCellStyle(column, row, rowCount, selected, rect.width(),
                                            text.isEmpty() ? 0 : fm.horizontalAdvance(text));
    painter->fillRect(rect, fillColour(style.fill, palette));
    if (text.isEmpty())
        return;
    painter->save();
    painter->setFont(gridFont());
    painter->setPen(style.fill == CellStyle::Fill::Selection
                        ? palette.color(QPalette::HighlightedText)
                        : QColor(Qt::black));
    painter->setClipRect(rect);
    painter->drawText(QPoint(rect.left() + style.textLeft, rect.top() + fm.ascent()), text);
    painter->restore();
}

} // namespace

TicketGridModel::TicketGridModel(TicketGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), m_grid(grid), m_announcedRows(grid.rowCount() - 1),
      m_announcedColumns(grid.columnCount()) {}

int TicketGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_announcedRows;
}

int TicketGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_announcedColumns;
}

QVariant TicketGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return m_grid.cell(index.column(), index.row() + 1);
}

bool TicketGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    m_grid.setCell(index.column(), index.row() + 1, value.toString());
    emit dataChanged(index, index);
    return true;
}

QVariant TicketGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return m_grid.cell(section, 0);
}

Qt::ItemFlags TicketGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Only descriptions are typed: an edited weight would not change the sum,
    // and a stray key must not become the printed total.
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == TicketGrid::Description && m_grid.isBodyRow(index.row() + 1))
        return flags | Qt::ItemIsEditable;
    return flags;
}

void TicketGridModel::sync(int firstChangedRow) {
    if (m_grid.columnCount() != m_announcedColumns) {
        beginResetModel();
        m_announcedColumns = m_grid.columnCount();
        m_announcedRows = m_grid.rowCount() - 1;
        endResetModel();
        return;
    }
    const int target = m_grid.rowCount() - 1;
    if (target > m_announcedRows) {
        beginInsertRows(QModelIndex(), m_announcedRows, target - 1);
        m_announcedRows = target;
        endInsertRows();
    } else if (target < m_announcedRows) {
        beginRemoveRows(QModelIndex(), target, m_announcedRows - 1);
        m_announcedRows = target;
        endRemoveRows();
    }
    if (firstChangedRow <= 0)
        emit headerDataChanged(Qt::Horizontal, 0, m_announcedColumns - 1);
    const int first = std::max(0, firstChangedRow - 1);
    if (m_announcedRows > 0 && first < m_announcedRows)
        emit dataChanged(index(first, 0), index(m_announcedRows - 1, m_announcedColumns - 1));
}

void TicketCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const int rows = index.model()->rowCount() + 1;
    paintCell(painter, option.rect, index.data().toString(), index.column(), index.row() + 1, rows,
              option.state & QStyle::State_Selected, option.palette);
}

QWidget* TicketCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setFont(gridFont());
        line->setFrame(false);
    }
    emit editorCreated(editor);
    return editor;
}

void TicketCellDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex&) const {
    editor->setGeometry(option.rect);
}

TicketHeaderView::TicketHeaderView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(false);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Interactive);
    setStretchLastSection(false);
    setMinimumSectionSize(0);
    setFixedHeight(kRowHeight + 1);
}

void TicketHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid())
        return;
    const QString text =
        model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
    const int rows = model() ? model()->rowCount() + 1 : 2;
    paintCell(painter, rect, text, logicalIndex, 0, rows, false, palette());
    painter->save();
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->restore();
}

TStringGrid::TStringGrid(TicketGrid& grid, QWidget* parent)
    : QTableView(parent), m_grid(grid), m_model(new TicketGridModel(grid, this)),
      m_delegate(new TicketCellDelegate(this)) {
    setObjectName(QStringLiteral("StringGrid1"));
    setHorizontalHeader(new TicketHeaderView(this));
    setModel(m_model);
    setItemDelegate(m_delegate);
    setFont(gridFont());
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setEditing(false);
    applyColumnWidths();
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (current.isValid())
                    emit cellSelected(current.column(), current.row() + 1);
            });
    connect(m_delegate, &TicketCellDelegate::editorCreated, this,
            [this](QWidget* editor) { m_editor = qobject_cast<QLineEdit*>(editor); });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) {
                // Hiding a section reports a size of 0; the ticket keeps -1.
                if (!m_grid.isHidden(section) && !isColumnHidden(section))
                    m_grid.setColumnWidth(section, size);
            });
}

int TStringGrid::col() const {
    return currentIndex().isValid() ? currentIndex().column() : 0;
}

int TStringGrid::row() const {
    return currentIndex().isValid() ? currentIndex().row() + 1 : 1;
}

void TStringGrid::setCol(int column) {
    if (column == col() && currentIndex().isValid())
        return;
    setCurrentIndex(m_model->index(row() - 1, column));
}

void TStringGrid::setRow(int row) {
    if (row == this->row() && currentIndex().isValid())
        return;
    setCurrentIndex(m_model->index(row - 1, col()));
}

QRect TStringGrid::cellRect(int column, int row) const {
    return visualRect(m_model->index(row - 1, column));
}

void TStringGrid::setEditing(bool on) {
    m_editing = on;
    setEditTriggers(on ? QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                             QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked
                       : QAbstractItemView::NoEditTriggers);
}

QString TStringGrid::editorText() const {
    if (m_editor && isEditorOpen())
        return m_editor->text();
    return m_grid.cell(col(), row());
}

void TStringGrid::commitOpenEditor() {
    if (!m_editor || !isEditorOpen())
        return;
    commitData(m_editor);
    closeEditor(m_editor, QAbstractItemDelegate::NoHint);
}

void TStringGrid::applyColumnWidths() {
    for (int c = 0; c < m_grid.columnCount(); ++c) {
        const int w = m_grid.columnWidth(c);
        setColumnHidden(c, w < 0);
        if (w >= 0) {
            horizontalHeader()->resizeSection(c, w);
            m_grid.setColumnWidth(c, w); // resizeSection may report a clamped size
        }
    }
}

void TStringGrid::cancelMouseOperation() {
    setState(QAbstractItemView::NoState);
    m_mouseCancelled = QApplication::mouseButtons() != Qt::NoButton;
}

void TStringGrid::mouseMoveEvent(QMouseEvent* event) {
    // The click that opened the description editor must not go on as a
    // range selection or a drag.
    if (m_mouseCancelled)
        return;
    QTableView::mouseMoveEvent(event);
}

void TStringGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (m_mouseCancelled) {
        m_mouseCancelled = false;
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

void TStringGrid::keyDown(QKeyEvent* event) {
    emit keyDownReceived(event->key());
    QTableView::keyPressEvent(event);
}
