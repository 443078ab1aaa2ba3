#pragma once

#include <QComboBox>
#include <QListView>
#include <QPointer>
#include <functional>

// ComboBox1: the floating description editor. Its drop-down list is a plain
// child of the window instead of Qt's popup, because a popup takes the
// keyboard: here the operator keeps typing into the text field while the
// list is down, and the first entry that begins with the typed text is
// highlighted. Nothing is highlighted until the operator types, nor while
// the text is empty, so Enter never puts an unchosen word on the ticket.
class TDescriptionCombo : public QComboBox {
    Q_OBJECT
public:
    explicit TDescriptionCombo(QWidget* parent = nullptr);

    void showPopup() override;
    void hidePopup() override;
    bool isListShown() const;
    // The entry the open list highlights, -1 when none.
    int highlighted() const;
    // The typing limit; 0 or less means no limit. Text that is already
    // longer stays whole.
    void setMaxLength(int length);
    int maxLength() const { return m_maxLength; }

    QStringList items() const;
    void setItems(const QStringList& items);

protected:
    void hideEvent(QHideEvent* event) override;
    // While the list is down the arrow keys move its highlight, from the
    // entry typing highlighted, and show that entry in the field: Enter
    // takes what the field shows.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void highlightPrefix(const QString& text);
    void placeList();

    QPointer<QListView> m_list;
    int m_maxLength = 14;
};

class QLineEdit;

// Every edit the operator makes in a description field (typing, pasting,
// dropping) goes through vetDescriptionEdit; text the program sets does not.
void installDescriptionVetting(QLineEdit* edit, std::function<int()> limit);
