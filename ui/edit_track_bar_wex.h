// The number edit of every dialog and panel: a value Position between Min and
// Max, quantised to Precision, stepped by the arrow and page keys and by two
// repeat buttons, and dragged on a pop-up track bar that opens under the edit
// while its button is held.
//
// Typing: the value stored is the value shown. A typed number above Max
// becomes Max at once and the edit shows it (more digits could only take it
// further; likewise a negative number below Min becomes Min), with a beep.
// A text that holds no value yet ("", "-", or "5" on the way to "50" when
// Min is 10) changes nothing and tells nothing; when the edit is left or
// Enter is pressed it settles: a short number becomes the limit, no number
// puts back the last value taken (or the text it had, when none was typed).
//
// Live change, then commit: every change of the value fires OnChange (the
// owner applies it without recording); OnCommit fires once per edit, when
// Enter is pressed, when the edit is left and when a run of stepping or a
// track-bar drag ends (OnModifyEnd), and only when the text differs from the
// one the edit had when it got the focus or last committed; each of these
// settles the text first, so the text committed is always a value within the
// range. A value set by the owner commits nothing.
//
// Escape, for an owner that sets OnRevert: the edit shows the text it last
// committed again and tells the owner, which puts back what the live changes
// since then changed (a typed value has two endings: committed or undone).
// Escape during a track-bar drag, for every owner: the value and text from
// before the drag come back (the owner hears of it as of each step), the run
// ends and nothing is committed; an owner with OnRevert is told when the
// text is the committed one again.
#pragma once

#include "ui/edit_wex.h"

#include <QSlider>

#include <memory>
#include <utility>
#include <vector>

class QLabel;
class QTimer;

// Clicks at once when pressed, again after RepeatDelay and then every
// RepeatInterval milliseconds while it is held.
class TTimerSpeedButtonWex : public TSpeedButtonWex {
    Q_OBJECT
public:
    explicit TTimerSpeedButtonWex(QWidget* Parent = nullptr);
    ~TTimerSpeedButtonWex() override;

    int RepeatDelay = 400;
    int RepeatInterval = 100;
    TNotifyEvent OnClick;

    const QTimer* RepeatTimer() const { return FTimer.get(); } // nil before the first press

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    std::unique_ptr<QTimer> FTimer;
};

// A horizontal track bar with ticks set one by one under the channel (the
// first and last position always have one) and an optional selection range
// shown in the channel.
class TTrackBarWex : public QSlider {
    Q_OBJECT
public:
    explicit TTrackBarWex(QWidget* Parent = nullptr);

    bool EnableSelRange = true;
    int SelStart = 0;
    int SelEnd = 0;
    void SetTick(int Position);
    void ClearTicks();
    const std::vector<int>& Ticks() const { return FTicks; }
    // The x of the centre of the thumb standing at Position.
    int PositionX(int Position) const;
    // The position whose thumb centre stands nearest to X.
    int PositionAtX(int X) const;
    // The centre of the thumb where it stands now.
    QPoint ThumbCentre() const;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    std::vector<int> FTicks;
};

// The track bar of the pop-up: tells its pop-up when the button goes up.
class TTrackBarWexChild : public TTrackBarWex {
    Q_OBJECT
public:
    using TTrackBarWex::TTrackBarWex;
    TNotifyEvent OnMouseUp;

protected:
    void mouseReleaseEvent(QMouseEvent* Event) override;
};

class TCustomEditTrackBarWex;

// The borderless window under the edit holding the track bar and its labels.
class TfrmPopup : public QWidget {
    Q_OBJECT
public:
    explicit TfrmPopup(TCustomEditTrackBarWex* Edit);
    TTrackBarWexChild* TrackBar() const { return FTrackBar; }
    std::vector<QLabel*> Labels() const; // those shown

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    void PlaceLabels(const std::vector<std::pair<QLabel*, int>>& Placed);
    TTrackBarWexChild* FTrackBar;
};

// Where the pop-up of Size goes: its top at Top, its left so that the thumb
// ThumbX pixels inside it stands under MouseX, all kept inside Area (the
// screen's work area); a pop-up wider or taller than Area starts at its edge.
QPoint PopupPlace(int MouseX, int ThumbX, int Top, QSize Size, const QRect& Area);

enum TEditTrackBarWexStyle { etbksNormal, etbksExp1, etbksExp2 };
enum TEditTrackBarWexButton { etbkbUpDown = 1, etbkbTrackBar = 2 };
using TEditTrackBarWexButtons = int; // a set of TEditTrackBarWexButton bits

class TCustomEditTrackBarWex : public TCustomEditWex {
    Q_OBJECT
public:
    explicit TCustomEditTrackBarWex(QWidget* Parent = nullptr);
    ~TCustomEditTrackBarWex() override;

    double Position() const { return FPosition; }
    // Quantised to Precision (halves away from zero), then limited to Max and
    // Min; the text shows it (hexadecimal with Hex).
    void SetPosition(double Value);
    double Min() const { return FMin; }
    void SetMin(double Value); // above Max: Max follows
    double Max() const { return FMax; }
    void SetMax(double Value); // below Min: Min follows
    double Precision() const { return FPrecision; }
    // Ignored unless > 0; other than 1 with Hex: EUserError.
    void SetPrecision(double Value);
    double LineSize = 1;
    double PageSize = 5;
    double TrackBarMin() const { return FTrackBarMin; }
    void SetTrackBarMin(double Value);
    double TrackBarMax() const { return FTrackBarMax; }
    void SetTrackBarMax(double Value);
    TEditTrackBarWexStyle TrackBarStyle() const { return FTrackBarStyle; }
    // The two exponential scales need Min > 0: a lower Min becomes Precision.
    void SetTrackBarStyle(TEditTrackBarWexStyle Value);
    bool Hex() const { return FHex; }
    void SetHex(bool Value); // sets Precision to 1
    bool Wrap = false;
    // A number below Min is no value rather than Min: while typed it may be
    // on its way ("0" of "05"); left or entered there, it beeps and settles
    // back to the last value taken (a size below its least changes nothing).
    bool RefuseBelowMin = false;
    TEditTrackBarWexButtons Buttons() const { return FButtons; }
    void SetButtons(TEditTrackBarWexButtons Value);

    TNotifyEvent OnModifyStart;
    TNotifyEvent OnModifyEnd;
    TNotifyEvent OnCommit;
    TNotifyEvent OnRevert;

    TTimerSpeedButtonWex* UpButton() const { return FUp; }
    TTimerSpeedButtonWex* DownButton() const { return FDown; }
    // Settles the typed text and commits it, as Enter does; a run of
    // stepping or a track-bar drag ends first (and commits, as its end does).
    void CommitTyped();
    TfrmPopup* Popup() const { return FPopup.get(); } // nil while closed
    void ClosePopup();

    // The pop-up's scale: the value range [Low, High], the number of
    // positions, the value of a position and the position of a value.
    void TrackBarRange(double& Low, double& High) const;
    int TrackBarCount() const;
    double TrackBarValue(int Index) const;
    int TrackBarIndex(double Value) const;
    // The widest text a value of the range shows, in the edit's font.
    QString WidestText() const;

    // Four significant digits of the range: Value rounded to a power of ten
    // 10^floor(log10(max(|Min|, |Max|)) - 3).
    double RoundSignificant(double Value) const;

    // What a typed text holds for this edit.
    struct TTyped {
        enum TKind { None, Short, Taken } Kind = None; // no number; not in reach yet; a value
        double Number = 0; // the number as typed
        double Value = 0;  // what is stored (for Short: what leaving settles to)
        bool Reshow = false; // the text must show Value now: more keys cannot change it
        bool Refused = false; // below Min where RefuseBelowMin: no value, said by a beep
    };
    TTyped ReadTyped(const QString& Text) const;
    // The text that shows Value.
    QString ShownText(double Value) const;

protected:
    bool event(QEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;
    int LayoutButtons() override;
    void ButtonMouseDown(QMouseEvent* Event) override;
    void ButtonMouseMove(QMouseEvent* Event) override;
    void ButtonMouseUp(QMouseEvent* Event) override;
    void DoExit() override;
    void TextChanged() override;

private:
    friend class TfrmPopup;
    double Limited(double Value) const; // quantised, then held to Max and Min
    void PutPosition(double Value);
    void Reapply(); // an owner's change: the value again, committing nothing
    void UpdateInputType();
    void Settle();
    void StartModify();
    void EndModify();
    void Commit();
    void Revert();
    void CancelDrag();
    void Step(bool Up, double Size, double Below);
    void ButtonStep(bool Up);
    void StepTo(double Value);
    void TrackBarMoved(int Index);
    void DragTo(int GlobalX);

    double FPosition = 0;
    double FMin = 0;
    double FMax = 100;
    double FPrecision = 1;
    double FTrackBarMin = 0;
    double FTrackBarMax = 0;
    TEditTrackBarWexStyle FTrackBarStyle = etbksNormal;
    bool FHex = false;
    TEditTrackBarWexButtons FButtons = etbkbUpDown | etbkbTrackBar;
    bool FModifying = false;
    bool FWriting = false; // the control writes its own text
    bool FTyped = false;   // a value was taken from typing since the last commit
    bool FReverting = false; // Escape writes the committed text back: no change to tell
    QString FCommittedText;
    TTimerSpeedButtonWex* FUp;
    TTimerSpeedButtonWex* FDown;
    std::unique_ptr<TfrmPopup> FPopup;
    // The drag of the pop-up's thumb follows the pointer from where it was
    // pressed: the thumb moves as far as the pointer does.
    int FDragMouseX = 0;
    int FDragThumbX = 0;
    // What the edit held when the drag began, for Escape to put back.
    double FDragStartPosition = 0;
    QString FDragStartText;
    bool FDragStartTyped = false;
};

class TEditTrackBarWex : public TCustomEditTrackBarWex {
    Q_OBJECT
public:
    using TCustomEditTrackBarWex::TCustomEditTrackBarWex;
};
