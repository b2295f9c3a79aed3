#include "ui/panel_button.h"

#include "foundation/geometry_types.h"
#include "paint/fill_value.h"
#include "platform/qt/window_routines.h"
#include "raster/gradation_picture.h"
#include "ui/ole2_color.h"
#include "ui/ole2_gradation.h"
#include "ui/ole2_pen.h"
#include "ui/ole_qt_bridge.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <cstdlib>
#include <strings.h>
#include <vector>

namespace {

QColor QColorOf(int32_t C)
{
    return QColor(C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF);
}

// The fill value of Text; false for one that does not read.
bool ReadFill(const std::string& Text, TFillValue& Value)
{
    try {
        return StrToFillValue(Text, Value);
    } catch (const std::exception&) {
        return false;
    }
}

// A press that moves farther than this (across plus down) starts a drag.
constexpr int DragThreshold = 3;

} // namespace

int32_t ColorToRGB(int32_t Color, const QWidget* Widget)
{
    if (Color >= 0)
        return Color & 0xFFFFFF;
    const QColor C = Widget ? Widget->palette().color(QPalette::Button) : QColor(0xF0, 0xF0, 0xF0);
    return C.red() | (C.green() << 8) | (C.blue() << 16);
}

// ---------------------------------------------------------------- TPanelWex

TPanelWex::TPanelWex(QWidget* Parent) : QFrame(Parent) {}

void TPanelWex::SetCaption(const QString& Value)
{
    FCaption = Value;
    update();
}

void TPanelWex::SetAlignment(Qt::Alignment Value)
{
    FAlignment = Value;
    update();
}

void TPanelWex::SetColor(int32_t Value)
{
    FColor = Value;
    update();
}

void TPanelWex::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    P.fillRect(rect(), QColorOf(ColorToRGB(FColor, this)));
}

// ---------------------------------------------------------------- TPanelButton

TPanelButton::TPanelButton(QWidget* Parent) : TPanelWex(Parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

int32_t TPanelButton::FaceColor() const
{
    return ColorToRGB(Color(), this);
}

void TPanelButton::PaintValue(QPainter&, const QRect&) {}

QColor TPanelButton::CaptionColor() const { return palette().color(QPalette::ButtonText); }

void TPanelButton::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    TRect R{0, 0, width(), height()};
    const bool Focused = hasFocus();
    if (Focused) {
        P.setPen(Qt::black);
        P.drawRect(0, 0, width() - 1, height() - 1);
        R = TRect{1, 1, width() - 1, height() - 1};
    }
    DrawBevelFrame(P, R, !FPressed, FaceColor());
    PaintValue(P, QRect(R.Left + 2, R.Top + 2, R.Right - R.Left - 4, R.Bottom - R.Top - 4));
    if (!Caption().isEmpty()) {
        const int H = P.fontMetrics().height();
        const QRect Line(R.Left, R.Top + (R.Bottom - R.Top - H) / 2, R.Right - R.Left, H);
        P.setPen(CaptionColor());
        P.drawText(Line, int(Alignment() | Qt::AlignVCenter) | Qt::TextExpandTabs, Caption());
    }
    if (Focused && !FPressed) {
        QPen Dots(Qt::black, 0);
        Dots.setDashPattern({1, 1});
        P.setPen(Dots);
        P.setBrush(Qt::NoBrush);
        P.drawRect(rect().adjusted(4, 4, -5, -5));
    }
}

void TPanelButton::Click()
{
    if (FPressed)
        return;
    QPointer<TPanelButton> Self(this);
    FPressed = true;
    repaint();
    if (OnClick)
        OnClick(this);
    if (!Self)
        return;
    FPressed = false;
    repaint();
}

void TPanelButton::focusInEvent(QFocusEvent* Event)
{
    TPanelWex::focusInEvent(Event);
    update();
}

void TPanelButton::focusOutEvent(QFocusEvent* Event)
{
    TPanelWex::focusOutEvent(Event);
    update();
}

void TPanelButton::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
        Event->accept();
        Click();
        return;
    }
    TPanelWex::keyPressEvent(Event);
}

void TPanelButton::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
        FClickPending = true;
    }
}

void TPanelButton::mouseReleaseEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton || !FClickPending)
        return;
    FClickPending = false;
    if (rect().contains(Event->position().toPoint()))
        Click();
}

// ---------------------------------------------------------------- TPanelButtonDropSource

TPanelButtonDropSource::TPanelButtonDropSource(QWidget* Parent) : TPanelButton(Parent) {}

TPanelButtonDropSource::~TPanelButtonDropSource()
{
    if (FDropTarget)
        RevokeDragDrop(this);
}

void TPanelButtonDropSource::RegisterTarget(const TFormatEtcList& Formats)
{
    if (FDropTarget) {
        RevokeDragDrop(this);
        FDropTarget = nullptr;
    }
    if (Formats.empty())
        return;
    FDropTarget = MakeCom<TDropTarget>(Formats);
    // A value dragged from this button is not dropped back on it.
    const TDropTargetEvent Answer = [this](IDataObject*, uint32_t, POINTL, uint32_t& Effect) {
        Effect = FDraggingFromHere ? DROPEFFECT_NONE : DROPEFFECT_COPY;
    };
    FDropTarget->OnDragEnter = Answer;
    FDropTarget->OnDragOver = Answer;
    FDropTarget->OnDrop = [this](IDataObject* Data, uint32_t KeyState, POINTL Pt, uint32_t& Effect) {
        Dropped(Data, KeyState, Pt, Effect);
    };
    RegisterDragDrop(this, FDropTarget.Get());
}

void TPanelButtonDropSource::StartDrag()
{
    FDraggingFromHere = true;
    try {
        DoStartDrag();
    } catch (...) {
        FDraggingFromHere = false;
        throw;
    }
    FDraggingFromHere = false;
}

void TPanelButtonDropSource::mousePressEvent(QMouseEvent* Event)
{
    TPanelButton::mousePressEvent(Event);
    if (Event->button() == Qt::LeftButton) {
        FPressPoint = Event->position().toPoint();
        FDragPending = true;
    }
}

void TPanelButtonDropSource::mouseMoveEvent(QMouseEvent* Event)
{
    if (!FDragPending)
        return;
    const QPoint D = Event->position().toPoint() - FPressPoint;
    if (std::abs(D.x()) + std::abs(D.y()) > DragThreshold) {
        FDragPending = false;
        CancelClick();
        StartDrag();
    }
}

void TPanelButtonDropSource::mouseReleaseEvent(QMouseEvent* Event)
{
    FDragPending = false;
    TPanelButton::mouseReleaseEvent(Event);
}

// ---------------------------------------------------------------- the value buttons

TPanelColorButton::TPanelColorButton(QWidget* Parent) : TPanelButtonDropSource(Parent)
{
    RegisterTarget({MakeFormatEtc(CFWexColor())});
}

int32_t TPanelColorButton::FaceColor() const
{
    return ColorToRGB(Color(), this);
}

QColor TPanelColorButton::CaptionColor() const
{
    return Color() >= 0 ? QColorOf(CaptionColorOver(Color())) : TPanelButton::CaptionColor();
}

void TPanelColorButton::Dropped(IDataObject* DataObj, uint32_t, POINTL, uint32_t& Effect)
{
    Effect = DROPEFFECT_COPY;
    const int32_t C = TOle2DataObjColorWex::GetColor(DataObj);
    if (C >= 0 && OnColorDropped)
        OnColorDropped(this, C);
}

void TPanelColorButton::DoStartDrag()
{
    DragDropColor(ColorToRGB(Color(), this));
}

TPanelPenButton::TPanelPenButton(QWidget* Parent) : TPanelButtonDropSource(Parent)
{
    RegisterTarget({MakeFormatEtc(CFTavroPen())});
}

void TPanelPenButton::Dropped(IDataObject* DataObj, uint32_t, POINTL, uint32_t& Effect)
{
    Effect = DROPEFFECT_COPY;
    TrecPenData Pen{};
    if (TOle2DataObjPenWex::GetPen(DataObj, Pen) && OnPenDropped)
        OnPenDropped(this, Pen);
}

void TPanelPenButton::DoStartDrag()
{
    if (OnDragStart)
        OnDragStart(this);
}

TPanelPaintFillButton::TPanelPaintFillButton(QWidget* Parent) : TPanelButtonDropSource(Parent) {}

void TPanelPaintFillButton::SetKinds(TPanelPaintFillButtonKinds Value)
{
    FKinds = Value;
    TFormatEtcList Formats;
    if (FKinds & (1u << ppfbkMono))
        Formats.push_back(MakeFormatEtc(CFWexColor()));
    if (FKinds & (1u << ppfbkGrad))
        Formats.push_back(MakeFormatEtc(CFZelbarGradation()));
    RegisterTarget(Formats);
}

void TPanelPaintFillButton::SetFillValue(const std::string& Value)
{
    FFillValue = Value;
    FPreview = QImage();
    update();
}

void TPanelPaintFillButton::Dropped(IDataObject* DataObj, uint32_t, POINTL, uint32_t& Effect)
{
    Effect = DROPEFFECT_COPY;
    std::string Text;
    // A text past any gradation's size is none (and is not converted).
    TDataObject::GetDataString(DataObj, Text, TTextDataObject::GetFormats(), MaxGradationTextBytes);
    constexpr size_t HeaderLength = sizeof GradationClipboardHeader - 1;
    std::string Fill;
    if (Text.size() >= HeaderLength && strncasecmp(Text.c_str(), GradationClipboardHeader, HeaderLength) == 0) {
        Fill = "20" + Text.substr(HeaderLength);
    } else {
        const int32_t C = TOle2DataObjColorWex::GetColor(DataObj);
        if (C < 0)
            return; // neither a gradation nor a colour: nothing to take
        Fill = "1" + QString::asprintf("%06X", unsigned(C)).toStdString();
    }
    if (OnDropped)
        OnDropped(this, Fill);
}

void TPanelPaintFillButton::DoStartDrag()
{
    if (OnDragStart)
        OnDragStart(this);
}

int32_t TPanelPaintFillButton::FaceColor() const
{
    TFillValue V;
    if (ReadFill(FFillValue, V) && V.Method == FillMethodColor)
        return V.Color & 0xFFFFFF;
    return ColorToRGB(Color(), this);
}

QColor TPanelPaintFillButton::CaptionColor() const
{
    TFillValue V;
    if (ReadFill(FFillValue, V) && V.Method == FillMethodColor)
        return QColorOf(CaptionColorOver(V.Color));
    return TPanelButton::CaptionColor();
}

void TPanelPaintFillButton::PaintValue(QPainter& Canvas, const QRect& Inner)
{
    if (Inner.isEmpty())
        return;
    if (FPreview.size() != Inner.size()) {
        TFillValue V;
        if (!ReadFill(FFillValue, V) || V.Method != FillMethodGradation)
            return;
        // The gradation over the face colour, as a fill lays it over a picture.
        const QColor Face = QColorOf(FaceColor());
        QImage Img(Inner.size(), QImage::Format_RGB32);
        Img.fill(Face);
        const int W = Img.width();
        const TGradationRenderer R(0, 0, W - 1, Img.height() - 1, V.Gradation);
        const int64_t G = std::clamp<int32_t>(V.Gradation.iOpacity, 0, 255);
        std::vector<uint8_t> Color(static_cast<size_t>(W) * 3);
        std::vector<uint8_t> Opacity(static_cast<size_t>(W));
        for (int Y = 0; Y < Img.height(); ++Y) {
            R.RenderRow(0, Y, W, Color.data(), Opacity.data());
            auto* Row = reinterpret_cast<QRgb*>(Img.scanLine(Y));
            for (int X = 0; X < W; ++X) {
                const int64_t A = (G * Opacity[size_t(X)] + 255) >> 8;
                auto Mix = [A](int D, int C) { return int((D * (255 - A) + C * A + 255) >> 8); };
                const uint8_t* C = &Color[size_t(X) * 3];
                Row[X] = qRgb(Mix(qRed(Row[X]), C[2]), Mix(qGreen(Row[X]), C[1]), Mix(qBlue(Row[X]), C[0]));
            }
        }
        FPreview = Img;
    }
    Canvas.drawImage(Inner.topLeft(), FPreview);
}
