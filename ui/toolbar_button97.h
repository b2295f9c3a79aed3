// The toolbar button: flat with a border while the mouse is over it (the
// border goes within 125 ms of the cursor leaving, by one polling timer
// shared by every button), down states within a group of siblings,
// repeating while held, a drop-down menu on the whole button or on an arrow
// part, and a glyph from a strip or an image list beside its caption.
#pragma once

#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QAction;
class QShortcut;
class QTimer;

// The images of a list, all of one size; an index without a picture holds
// a null pixmap.
struct TImageList97 {
    QSize Size{16, 16};
    std::vector<QPixmap> Images;
};

enum TButtonDisplayMode { dmBoth, dmGlyphOnly, dmTextOnly };
enum TButtonLayout97 { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonState97 { bsUp = 0, bsDisabled = 1, bsDown = 2, bsExclusive = 3, bsHot = 4 };

class TToolbarButton97;
using TButtonDropdownEvent = std::function<void(TToolbarButton97* Sender, bool& ShowMenu, bool& RemoveClicks)>;

// Where glyph, caption and arrow go in a content rectangle of Size; the
// rules of the button's Margin, Spacing and Layout.
struct TButtonLayoutResult {
    QPoint GlyphPos;
    QRect TextRect;
    QRect ArrowRect;
};
TButtonLayoutResult CalcButtonLayout(const QSize& Client, const QSize& GlyphSize, const QSize& TextSize,
                                     int32_t ArrowWidth, TButtonLayout97 Layout, int32_t Margin, int32_t Spacing);

// The disabled face of a glyph, as every button of the program shows it: the
// glyph's silhouette embossed (highlight one pixel right and down, shadow on
// top), one pixel wider and taller than Glyph.
QPixmap DisabledGlyph97(const QImage& Glyph);

class TToolbarButton97 : public QWidget {
    Q_OBJECT
    // The owner's number for the button, also as the "Tag" property: a
    // declared property is found first, where a dynamic one is looked for
    // only after every property of the widget classes.
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
public:
    explicit TToolbarButton97(QWidget* Parent = nullptr);
    ~TToolbarButton97() override;

    int Tag() const { return FTag; }
    void SetTag(int Value) { FTag = Value; }

    // --- action link: the button clicks the action, follows its enabled
    // and checked state, and shows its caption and hint.
    QAction* Action() const { return FAction.data(); }
    void SetAction(QAction* Value);

    Qt::Alignment Alignment() const { return FAlignment; }
    void SetAlignment(Qt::Alignment Value);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool Value);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& Value);
    TButtonDisplayMode DisplayMode() const { return FDisplayMode; }
    void SetDisplayMode(TButtonDisplayMode Value);
    bool Down() const { return FDown; }
    void SetDown(bool Value);
    bool DropdownAlways() const { return FDropdownAlways; }
    void SetDropdownAlways(bool Value);
    bool DropdownArrow() const { return FDropdownArrow; }
    void SetDropdownArrow(bool Value);
    int32_t DropdownArrowWidth() const { return FDropdownArrowWidth; }
    void SetDropdownArrowWidth(int32_t Value);
    bool DropdownCombo() const { return FDropdownCombo; }
    void SetDropdownCombo(bool Value);
    QMenu* DropdownMenu() const { return FDropdownMenu.data(); }
    void SetDropdownMenu(QMenu* Value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool Value);
    const QPixmap& Glyph() const { return FGlyph; }
    void SetGlyph(const QPixmap& Value);
    int32_t GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int32_t Value);
    bool HighlightWhenDown() const { return FHighlightWhenDown; }
    void SetHighlightWhenDown(bool Value);
    int32_t ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int32_t Value);
    const TImageList97* Images() const { return FImages; }
    void SetImages(const TImageList97* Value);
    TButtonLayout97 Layout() const { return FLayout; }
    void SetLayout(TButtonLayout97 Value);
    // -1 centres; values below -1 are ignored.
    int32_t Margin() const { return FMargin; }
    void SetMargin(int32_t Value);
    bool NoBorder() const { return FNoBorder; }
    void SetNoBorder(bool Value);
    // 1 to 5 images in the strip (up, disabled, down, exclusive, hot);
    // anything else becomes 1, and so does every value with Images.
    int32_t NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int32_t Value);
    bool Opaque() const { return FOpaque; }
    void SetOpaque(bool Value);
    bool Repeating() const { return FRepeating; }
    void SetRepeating(bool Value) { FRepeating = Value; }
    int32_t RepeatDelay = 400;
    int32_t RepeatInterval = 100;
    bool ShowBorderWhenInactive() const { return FShowBorderWhenInactive; }
    void SetShowBorderWhenInactive(bool Value) { FShowBorderWhenInactive = Value; }
    int32_t Spacing() const { return FSpacing; }
    void SetSpacing(int32_t Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    static const char* Version() { return "Toolbar97 version 1.77"; }

    // --- state
    TButtonState97 State() const { return FState; }
    bool MouseInControl() const { return FMouseInControl; }
    bool MenuIsDown() const { return FMenuIsDown; }
    static TToolbarButton97* HotButton();
    // The hover timer's interval, 125 ms.
    static int32_t HoverInterval();
    // Whether the shared hover timer is polling now.
    static bool HoverTimerActive();
    // The widget under the mouse as the hover timer asks for it; tests put
    // their own in.
    static std::function<QWidget*()> ControlUnderCursor;

    // Clicks the button as a left click would (groups, drop-down, action).
    void Click();

    // The image shown for a state (the generated disabled face included).
    QPixmap StateImage(TButtonState97 State);

    // --- events
    std::function<void(TToolbarButton97*)> OnClick;
    std::function<void(TToolbarButton97*)> OnDblClick;
    TButtonDropdownEvent OnDropdown;
    std::function<void(TToolbarButton97*)> OnMouseEnter;
    std::function<void(TToolbarButton97*)> OnMouseExit;

    void MouseEntered();
    void MouseLeft();

protected:
    bool event(QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    friend void ToolbarButtonHookProc(int32_t Code, QObject* Target, QEvent* Event);
    static void HoverTick();
    void FrameworkClick();
    void UpdateExclusive();
    void UpdateUsesDropdown();
    void ActionChanged();
    void RepeatTick();
    bool InsideMainPart(const QPoint& P) const;
    void Redraw();

    QPointer<QAction> FAction;
    int FTag = 0;
    Qt::Alignment FAlignment = Qt::AlignHCenter;
    bool FAllowAllUp = false;
    QString FCaption;
    TButtonDisplayMode FDisplayMode = dmBoth;
    bool FDown = false;
    bool FDropdownAlways = false;
    bool FDropdownArrow = true;
    int32_t FDropdownArrowWidth = 9;
    bool FDropdownCombo = false;
    QPointer<QMenu> FDropdownMenu;
    bool FFlat = true;
    QPixmap FGlyph;
    int32_t FGroupIndex = 0;
    bool FHighlightWhenDown = true;
    int32_t FImageIndex = -1;
    const TImageList97* FImages = nullptr;
    TButtonLayout97 FLayout = blGlyphLeft;
    int32_t FMargin = -1;
    bool FNoBorder = false;
    int32_t FNumGlyphs = 1;
    bool FOpaque = true;
    bool FRepeating = false;
    bool FShowBorderWhenInactive = false;
    int32_t FSpacing = 4;
    bool FWordWrap = false;

    TButtonState97 FState = bsUp;
    bool FMouseInControl = false;
    bool FDragging = false;
    bool FArrowPressed = false;
    bool FMenuIsDown = false;
    bool FUsesDropdown = false;
    bool FInsideWhileDragging = false;
    bool FDropPresses = false;
    QTimer* FRepeatTimer = nullptr;
    QShortcut* FAccelerator = nullptr;
};
