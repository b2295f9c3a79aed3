// The system's combo box: Enter can move to the next control or stay in the
// box, the drop-down list can be wider than the box, number input types
// filter the keys, the close of the list is announced, and a changed text
// can be refused when the box is left.
#pragma once

#include "ui/number_key_filter.h"
#include "ui/wex_events.h"

#include <QComboBox>

class TCustomComboBoxWex : public QComboBox {
    Q_OBJECT
public:
    explicit TCustomComboBoxWex(QWidget* Parent = nullptr);

    bool EnterNext = false;   // Enter moves the focus to the next control
    bool WantReturns = false; // Enter stays here instead of reaching the dialog
    int DropDownWidth = 0;    // least width of the list; 0: the box's width
    TEditWexInputType InputType = ekitNormal; // ekitHex filters nothing here
    TNotifyEvent OnCloseUp;   // the list closes
    TChangingEvent OnChanging;

    void showPopup() override;
    void hidePopup() override;

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;

private:
    QString FLastText; // the text last taken when the box was left
    int FUpdating = 0;
};

class TComboBoxWex : public TCustomComboBoxWex {
    Q_OBJECT
public:
    using TCustomComboBoxWex::TCustomComboBoxWex;
};
