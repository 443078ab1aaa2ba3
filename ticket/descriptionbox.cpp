#include "ticket/descriptionbox.h"

#include "platform/formfont.h"
#include "platform/localeconventions.h"
#include "ticket/descriptiontext.h"
#include "ticket/ticketgrid.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <memory>

TDescriptionCombo::TDescriptionCombo(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("ComboBox1"));
    setAccessibleName(TicketGrid::captions().at(TicketGrid::Description)); // the cell it edits
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setDuplicatesEnabled(true);
    setFont(formFontPixels(15));
    setMaxLength(14);
    installDescriptionVetting(lineEdit(), [this] { return m_maxLength; });
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        if (isListShown())
            highlightPrefix(text);
    });
}

void TDescriptionCombo::setMaxLength(int length) {
    m_maxLength = length;
}

QStringList TDescriptionCombo::items() const {
    QStringList out;
    out.reserve(count());
    for (int i = 0; i < count(); ++i)
        out.append(itemText(i));
    return out;
}

void TDescriptionCombo::setItems(const QStringList& items) {
    const QString text = currentText();
    clear();
    addItems(items);
    setCurrentIndex(-1);
    setEditText(text);
}

void TDescriptionCombo::showPopup() {
    QWidget* host = window();
    if (!m_list) {
        m_list = new QListView(host);
        m_list->setObjectName(QStringLiteral("ComboBox1List"));
        m_list->setFocusPolicy(Qt::NoFocus);
        m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_list->setModel(model());
        m_list->setUniformItemSizes(true);
        connect(m_list, &QListView::clicked, this, [this](const QModelIndex& index) {
            setCurrentIndex(index.row());
            hidePopup();
        });
    }
    placeList();
    m_list->show();
    m_list->raise();
    // Only typing highlights: Enter on a list just dropped down keeps the
    // text the operator had, even an empty one.
    m_list->setCurrentIndex(QModelIndex());
}

void TDescriptionCombo::hidePopup() {
    if (m_list)
        m_list->hide();
}

bool TDescriptionCombo::isListShown() const {
    return m_list && m_list->isVisible();
}

int TDescriptionCombo::highlighted() const {
    if (!isListShown() || !m_list->currentIndex().isValid())
        return -1;
    return m_list->currentIndex().row();
}

void TDescriptionCombo::hideEvent(QHideEvent* event) {
    hidePopup();
    QComboBox::hideEvent(event);
}

void TDescriptionCombo::keyPressEvent(QKeyEvent* event) {
    const bool down = event->key() == Qt::Key_Down;
    if (!isListShown() || count() == 0 || event->modifiers() != Qt::NoModifier ||
        (!down && event->key() != Qt::Key_Up)) {
        QComboBox::keyPressEvent(event);
        return;
    }
    const int from = highlighted();
    const int to =
        from < 0 ? (down ? 0 : count() - 1) : std::clamp(from + (down ? 1 : -1), 0, count() - 1);
    m_list->setCurrentIndex(model()->index(to, 0));
    m_list->scrollTo(m_list->currentIndex());
    setCurrentIndex(to);
    event->accept();
}

void TDescriptionCombo::highlightPrefix(const QString& text) {
    if (!m_list)
        return;
    m_list->setCurrentIndex(QModelIndex());
    if (text.isEmpty())
        return; // every entry begins with nothing; none was chosen
    const LocaleConventions& lc = conventions();
    const QString wanted = lc.toUpper(text);
    for (int i = 0; i < count(); ++i) {
        if (lc.toUpper(itemText(i)).startsWith(wanted)) {
            m_list->setCurrentIndex(model()->index(i, 0));
            m_list->scrollTo(m_list->currentIndex());
            return;
        }
    }
}

void TDescriptionCombo::placeList() {
    QWidget* host = window();
    const QPoint below = mapTo(host, QPoint(0, height()));
    const int rows = std::clamp(count(), 1, 8);
    const int rowHeight = 16;
    m_list->setGeometry(below.x(), below.y(), width(), rows * rowHeight + 4);
}

void installDescriptionVetting(QLineEdit* edit, std::function<int()> limit) {
    // textEdited comes before textChanged and carries only the operator's
    // edits; the text before the edit is the last one textChanged reported.
    auto before = std::make_shared<QString>(edit->text());
    QObject::connect(edit, &QLineEdit::textChanged, edit,
                     [edit, before](const QString&) { *before = edit->text(); });
    QObject::connect(edit, &QLineEdit::textEdited, edit,
                     [edit, before, limit](const QString& after) {
                         const DescriptionEdit vetted =
                             vetDescriptionEdit(*before, after, edit->cursorPosition(), limit());
                         if (vetted.text == after)
                             return;
                         edit->setText(vetted.text);
                         edit->setCursorPosition(vetted.cursor);
                     });
}
