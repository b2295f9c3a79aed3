// Panel buttons: swatches for a colour, a pen or a fill that take the focus,
// paint a raised face (pressed while clicked) with their caption, and are
// drag sources and drop targets for the value they show.
#pragma once

#include "foundation/pen_text.h"
#include "ui/drop_target.h"
#include "ui/wex_events.h"

#include <QFrame>
#include <QImage>

#include <cstdint>
#include <functional>
#include <string>

class QPainter;

// Colours are 0x00BBGGRR; a negative value is the system's button face.
inline constexpr int32_t clBtnFace = int32_t(0x8000000F);
// Color as 0x00BBGGRR, system colours resolved from Widget's palette.
int32_t ColorToRGB(int32_t Color, const QWidget* Widget);
// A caption over a face of colour Face (0x00BBGGRR): Face XOR 0xC0C0C0,
// which differs from it by 64 or more in every channel, so that black and
// white faces and every colour between read alike.
constexpr int32_t CaptionColorOver(int32_t Face) { return (Face ^ 0xC0C0C0) & 0xFFFFFF; }

class TPanelWex : public QFrame {
    Q_OBJECT
public:
    explicit TPanelWex(QWidget* Parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& Value);
    // Qt::AlignLeft, Qt::AlignHCenter or Qt::AlignRight.
    Qt::Alignment Alignment() const { return FAlignment; }
    void SetAlignment(Qt::Alignment Value);
    int32_t Color() const { return FColor; }
    void SetColor(int32_t Value);

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QString FCaption;
    Qt::Alignment FAlignment = Qt::AlignHCenter;
    int32_t FColor = clBtnFace;
};

class TPanelButton : public TPanelWex {
    Q_OBJECT
public:
    explicit TPanelButton(QWidget* Parent = nullptr);

    bool Pressed() const { return FPressed; }
    // Unless pressed already: pressed, painted, OnClick, released, painted.
    void Click();
    TNotifyEvent OnClick;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    // The colour of the face and what the face shows of the value inside
    // the bevel (Inner), under the caption.
    virtual int32_t FaceColor() const;
    virtual void PaintValue(QPainter& Canvas, const QRect& Inner);
    // The caption's colour: the button text colour, unless the face shows
    // the value's colour.
    virtual QColor CaptionColor() const;
    // The press under way will not click when released.
    void CancelClick() { FClickPending = false; }

private:
    bool FPressed = false;
    bool FClickPending = false;
};

class TPanelButtonDropSource : public TPanelButton {
    Q_OBJECT
public:
    explicit TPanelButtonDropSource(QWidget* Parent = nullptr);
    ~TPanelButtonDropSource() override;

    virtual void Dropped(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect) = 0;
    virtual void DoStartDrag() = 0;
    // DoStartDrag, known meanwhile as a drag from this button.
    void StartDrag();
    TDropTarget* DropTarget() const { return FDropTarget.Get(); }

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    // Drops of Formats (none: no drops) from now on; a drag from this button
    // is refused here.
    void RegisterTarget(const TFormatEtcList& Formats);

private:
    TComPtr<TDropTarget> FDropTarget;
    QPoint FPressPoint;
    bool FDragPending = false;
    bool FDraggingFromHere = false;
};

class TPanelColorButton : public TPanelButtonDropSource {
    Q_OBJECT
public:
    explicit TPanelColorButton(QWidget* Parent = nullptr);
    // Takes "Wex_Color".
    void Dropped(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect) override;
    // Drags Color.
    void DoStartDrag() override;
    std::function<void(QObject* Sender, int32_t Color)> OnColorDropped;

protected:
    int32_t FaceColor() const override;
    QColor CaptionColor() const override; // over a colour: CaptionColorOver
};

class TPanelPenButton : public TPanelButtonDropSource {
    Q_OBJECT
public:
    explicit TPanelPenButton(QWidget* Parent = nullptr);
    // Takes "Tavro_Pen"; a record that does not read is refused.
    void Dropped(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect) override;
    // OnDragStart: the owner builds the pen record and calls DragDropPen.
    void DoStartDrag() override;
    std::function<void(QObject* Sender, const TrecPenData& Pen)> OnPenDropped;
    TNotifyEvent OnDragStart;
};

enum TPanelPaintFillButtonKind { ppfbkNone, ppfbkMono, ppfbkGrad, ppfbkPicture, ppfbkPlane, ppfbkEnvPicture };
using TPanelPaintFillButtonKinds = uint32_t; // bit 1 << kind for each kind in the set

class TPanelPaintFillButton : public TPanelButtonDropSource {
    Q_OBJECT
public:
    explicit TPanelPaintFillButton(QWidget* Parent = nullptr);

    TPanelPaintFillButtonKinds Kinds() const { return FKinds; }
    // Takes "Wex_Color" with ppfbkMono and "Zelbar Gradation" with ppfbkGrad;
    // nothing without either.
    void SetKinds(TPanelPaintFillButtonKinds Value);
    // The fill value text shown: a colour fills the face, a gradation is
    // painted inside the bevel; other values show the face colour.
    const std::string& FillValue() const { return FFillValue; }
    void SetFillValue(const std::string& Value);

    // A gradation's text becomes "20" + its comma text, a colour "1" + its
    // six hexadecimal digits (0x00BBGGRR); OnDropped gets it.
    void Dropped(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect) override;
    void DoStartDrag() override;
    std::function<void(QObject* Sender, const std::string& FillText)> OnDropped;
    TNotifyEvent OnDragStart;

protected:
    int32_t FaceColor() const override;
    void PaintValue(QPainter& Canvas, const QRect& Inner) override;
    QColor CaptionColor() const override; // over a colour fill: CaptionColorOver

private:
    TPanelPaintFillButtonKinds FKinds = 0;
    std::string FFillValue;
    QImage FPreview; // the gradation at the size last painted
};
