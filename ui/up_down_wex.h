// The system's up-down control for plain integer edits: two stacked repeat
// buttons that step Position between Min and Max and show it in the
// associated edit, beside it or inside its right edge, keeping the edit's
// caret where it was.
#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class QLineEdit;
class TTimerSpeedButtonWex;

enum TUDBtnType { btNext, btPrev };

class TCustomUpDownWex : public QWidget {
    Q_OBJECT
public:
    explicit TCustomUpDownWex(QWidget* Parent = nullptr);

    int Min = 0;
    int Max = 100;
    int Increment = 1;
    bool Wrap = false;
    bool ArrowKeys = true; // Up and Down in the associated edit step too

    int Position() const { return FPosition; }
    // Limited to Min and Max; the associated edit shows it, caret kept.
    void SetPosition(int Value);
    QLineEdit* Associate() const { return FAssociate; }
    // Beside the edit at its right end (the edit narrows by this control's
    // width), or inside it with Inner.
    void SetAssociate(QLineEdit* Edit);

    // A step: btNext when it went up, btPrev when it went down; fired before
    // the new position is stored.
    std::function<void(QObject* Sender, TUDBtnType Button)> OnClick;

    TTimerSpeedButtonWex* UpButton() const { return FUp; }
    TTimerSpeedButtonWex* DownButton() const { return FDown; }

protected:
    void resizeEvent(QResizeEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    virtual void Place();
    virtual void ButtonDown() {}
    void StepBy(int Delta);

    QPointer<QLineEdit> FAssociate;

private:
    int FPosition = 0;
    TTimerSpeedButtonWex* FUp;
    TTimerSpeedButtonWex* FDown;
};

class TUpDownWex : public TCustomUpDownWex {
    Q_OBJECT
public:
    using TCustomUpDownWex::TCustomUpDownWex;

    bool Inner() const { return FInner; }
    // Inside the edit: at (edit right - own width - 2, edit top + 2), the
    // edit's height - 4 high.
    void SetInner(bool Value);
    bool FocusControl = true; // a press first focuses the associated edit

protected:
    void Place() override;
    void ButtonDown() override;

private:
    bool FInner = false;
};
