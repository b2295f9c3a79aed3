// The system's edit: an optional ellipsis button inside its right edge, the
// number and hexadecimal key filters, Escape putting back a cancel text, Enter
// moving to the next control, and a changed text that can be refused when the
// edit is left. TSpeedButtonWex is the flat, non-focusable button that sits
// inside edits.
#pragma once

#include "ui/number_key_filter.h"
#include "ui/wex_events.h"

#include <QAbstractButton>
#include <QLineEdit>

#include <functional>

class QMouseEvent;

using TMouseEventWex = std::function<void(QObject* Sender, QMouseEvent* Event)>;
// Other: the widget that takes the focus when it is lost; nil when gained.
using TFocusEventWex = std::function<void(QObject* Sender, QWidget* Other)>;
using TCancelEvent = std::function<void(QObject* Sender, QString& Text)>;

// A raised face (sunken while down) with its glyph centred; it never takes
// the focus. OnPaint runs after the face is painted.
class TSpeedButtonWex : public QAbstractButton {
    Q_OBJECT
public:
    explicit TSpeedButtonWex(QWidget* Parent = nullptr);

    void SetGlyph(const QString& ResourceName);
    QSize sizeHint() const override;

    std::function<void(TSpeedButtonWex* Sender, QPainter& Canvas)> OnPaint;
    TMouseEventWex OnMouseDown;
    TMouseEventWex OnMouseMove; // only while a button is held
    TMouseEventWex OnMouseUp;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    QPixmap FGlyph;
};

enum TEditWexStyle { eksSimple, eksEllipsis };

class TCustomEditWex : public QLineEdit {
    Q_OBJECT
public:
    explicit TCustomEditWex(QWidget* Parent = nullptr);

    TEditWexStyle Style() const { return FStyle; }
    // eksEllipsis shows the ellipsis button and makes Enter stay in the edit.
    void SetStyle(TEditWexStyle Value);
    TEditWexInputType InputType = ekitNormal;

    QString CancelText; // what Escape puts back with UseCancel; taken at focus-in
    bool UseCancel = false;
    bool EnterNext = false;

    TCancelEvent OnCancel;
    TChangingEvent OnChanging;
    TFocusEventWex OnSetFocus;
    TFocusEventWex OnKillFocus;
    TMouseEventWex OnButtonMouseDown;
    TMouseEventWex OnButtonMouseUp;
    TNotifyEvent OnChange; // every change of the text

    TSpeedButtonWex* EllipsisButton() const { return FButton; }

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

    // The width the buttons take at the right edge; they are laid out there.
    virtual int LayoutButtons();
    void UpdateLayout();
    // The ellipsis button's mouse: down focuses the edit and fires
    // OnButtonMouseDown; up fires OnButtonMouseUp and puts the caret at the end.
    virtual void ButtonMouseDown(QMouseEvent* Event);
    virtual void ButtonMouseMove(QMouseEvent* Event);
    virtual void ButtonMouseUp(QMouseEvent* Event);
    // Runs the leaving rule: a changed text is offered to OnChanging and put
    // back when refused.
    virtual void DoExit();
    // Focus lost for good: not to a menu or list of this window.
    static bool IsLeaving(const QFocusEvent* Event);
    // Writes Text while the change veto and the text reading are off.
    void WriteText(const QString& Text);
    virtual void TextChanged();

    int FUpdating = 0;

private:
    TEditWexStyle FStyle = eksSimple;
    TSpeedButtonWex* FButton;
    QString FLastText; // the text last taken when the edit was left
};

class TEditWex : public TCustomEditWex {
    Q_OBJECT
public:
    using TCustomEditWex::TCustomEditWex;
};

// The width a line edit has for its text now: the style's contents
// rectangle less the text margins (buttons) and the edit's own two pixels a
// side, as the edit lays its text out.
int EditTextRoom(const QLineEdit* Edit);
// The width Edit needs to show Text whole, without scrolling it.
int EditWidthFor(const QLineEdit* Edit, const QString& Text);
// Widens Edit (never narrows it) to show the widest of Texts whole.
void FitEditWidth(QLineEdit* Edit, const QStringList& Texts);
