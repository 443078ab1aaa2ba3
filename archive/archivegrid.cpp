#include "archive/archivegrid.h"

#include "platform/formfont.h"
#include <QHeaderView>
#include <QPainter>

namespace {

constexpr int kRowHeight = 20;
const QColor kChangedText(255, 0, 0);
const QColor kChangedBackground(255, 215, 215);

const QFont& gridFont() {
    static const QFont f = formFontPixels(16);
    return f;
}

} // namespace

void ArchiveTableModel::setTable(ArchiveTable&& table) {
    beginResetModel();
    m_table = std::move(table);
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, ArchiveTable::kColumns - 1);
}

int ArchiveTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return hasTitleRow() ? m_table.rowCount() - 1 : m_table.rowCount();
}

int ArchiveTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ArchiveTable::kColumns;
}

QVariant ArchiveTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    return m_table.cellText(gridRow(index.row()), index.column());
}

QVariant ArchiveTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !hasTitleRow())
        return {};
    return m_table.cellText(0, section);
}

void ArchiveCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const auto* model = qobject_cast<const ArchiveTableModel*>(index.model());
    if (!model)
        return;
    const int row = model->gridRow(index.row());
    const QPalette& palette = option.palette;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    QColor background = palette.color(selected ? QPalette::Highlight : QPalette::Base);
    QColor text = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const ArchiveRowFill fill = archiveRowFill(row, model->table().cell(row, 0));
    if (fill != ArchiveRowFill::Normal) {
        background = fill == ArchiveRowFill::Yellow ? QColor(255, 255, 0) : QColor(0, 255, 255);
        // The colour wins over the selection; the selection's colour moves
        // to the text so that the current row still shows.
        text = palette.color(selected ? QPalette::Highlight : QPalette::Text);
    }
    // A ticket changed after its seal: red text, on pink where the row has
    // no colour of its own, so that totals and date rows stay recognisable.
    // The current row keeps the selection's colours.
    if (model->table().changed(row) && !selected) {
        text = kChangedText;
        if (fill == ArchiveRowFill::Normal)
            background = kChangedBackground;
    }
    painter->fillRect(option.rect, background);
    painter->setPen(text);
    painter->setFont(option.font);
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      model->table().cellText(row, index.column()));
}

TArchiveGrid::TArchiveGrid(QWidget* parent)
    : QTableView(parent), m_model(new ArchiveTableModel(this)) {
    setObjectName(QStringLiteral("StringGrid1"));
    setModel(m_model);
    setItemDelegate(new ArchiveCellDelegate(this));
    setFont(gridFont());
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    QHeaderView* title = horizontalHeader();
    title->setSectionsClickable(false);
    title->setHighlightSections(false);
    title->setSectionResizeMode(QHeaderView::Interactive);
    title->setStretchLastSection(false);
    title->setMinimumSectionSize(0);
    title->setDefaultAlignment(Qt::AlignLeft | Qt::AlignTop);
    title->setFixedHeight(kRowHeight + 1);
    title->hide();
}

void TArchiveGrid::setTable(ArchiveTable&& table) {
    m_model->setTable(std::move(table));
    horizontalHeader()->setVisible(m_model->hasTitleRow());
    setRow(m_model->hasTitleRow() ? 1 : 0);
    scrollToTop();
}

int TArchiveGrid::row() const {
    const QModelIndex current = currentIndex();
    if (current.isValid())
        return m_model->gridRow(current.row());
    return m_model->hasTitleRow() ? 1 : 0;
}

void TArchiveGrid::setRow(int row) {
    const QModelIndex index =
        m_model->index(m_model->viewRow(row), std::max(0, currentIndex().column()));
    if (!index.isValid())
        return;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    scrollTo(index);
}

int TArchiveGrid::visibleRowCount() const {
    return viewport()->height() / verticalHeader()->defaultSectionSize();
}
