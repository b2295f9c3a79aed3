#include "editors/frm_sel_color.h"

#include "foundation/colour_models.h"
#include "foundation/numbers.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/frm_rollup.h"
#include "ui/ole2_color.h"
#include "ui/ole_qt_bridge.h"
#include "ui/rv_clip_detector.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdlib>

QColor ColorOfRef(int32_t Color) { return QColor(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF); }

void DrawSunkenEdge(QPainter& P, const QRect& R)
{
    const int L = R.left(), T = R.top(), Rt = R.right(), B = R.bottom();
    // One-pixel lines as filled rectangles, which cost a palette of cells
    // far less than drawn lines.
    const auto Across = [&P](int X1, int X2, int Y, const QColor& C) {
        P.fillRect(std::min(X1, X2), Y, std::abs(X2 - X1) + 1, 1, C);
    };
    const auto Down = [&P](int X, int Y1, int Y2, const QColor& C) {
        P.fillRect(X, std::min(Y1, Y2), 1, std::abs(Y2 - Y1) + 1, C);
    };
    const QColor Shadow(160, 160, 160), Dark(64, 64, 64), White(255, 255, 255), Light(227, 227, 227);
    Across(L, Rt - 1, T, Shadow);
    Down(L, T, B - 1, Shadow);
    Across(L + 1, Rt - 2, T + 1, Dark);
    Down(L + 1, T + 1, B - 2, Dark);
    Across(L, Rt, B, White);
    Down(Rt, T, B, White);
    Across(L + 1, Rt - 1, B - 1, Light);
    Down(Rt - 1, T + 1, B - 1, Light);
}

void PaintField(QPainter& P, QSize Size, int Mode, int32_t Fixed, int32_t H, int32_t S, int32_t V)
{
    for (int Row = 0; Row < FieldRows(Mode); ++Row)
        for (int Col = 0; Col < FieldCols(Mode); ++Col) {
            int32_t Hc = H, Sc = S, Vc = V;
            const int32_t C = CellColor(Mode, Col, Row, Fixed, Hc, Sc, Vc);
            if (C < 0)
                continue;
            const QRect R = CellRect(Size, Mode, Col, Row);
            const QRect Inner = R.adjusted(2, 2, -2, -2);
            P.fillRect(Inner, ColorOfRef(C));
            DrawSunkenEdge(P, R);
        }
}

QImage GrabWholeScreen(QPoint At, QRect& Geometry)
{
    QScreen* Screen = QGuiApplication::screenAt(At);
    if (!Screen)
        Screen = QGuiApplication::primaryScreen();
    if (!Screen)
        return {};
    Geometry = Screen->geometry();
    return Screen->grabWindow(0).toImage();
}

int32_t ScreenPixelColor(const QImage& Screen, const QRect& Geometry, QPoint Global)
{
    if (Screen.isNull() || !Geometry.contains(Global) || Geometry.width() <= 0 || Geometry.height() <= 0)
        return -1;
    // A screen of a higher pixel density grabs more pixels than it has points.
    const int X = int(int64_t(Global.x() - Geometry.left()) * Screen.width() / Geometry.width());
    const int Y = int(int64_t(Global.y() - Geometry.top()) * Screen.height() / Geometry.height());
    if (X < 0 || Y < 0 || X >= Screen.width() || Y >= Screen.height())
        return -1;
    const QRgb C = Screen.pixel(X, Y);
    return qRed(C) | (qGreen(C) << 8) | (qBlue(C) << 16);
}

TMyHintWindow::TMyHintWindow(QWidget* Parent) : QWidget(Parent, Qt::ToolTip | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
}

void TMyHintWindow::ActivateHint(QPoint Global, const QString& Text, int32_t Color)
{
    FText = Text;
    FColor = Color;
    const QRect Bounds = fontMetrics().boundingRect(QRect(0, 0, 300, 1000), Qt::TextWordWrap, Text);
    resize(Bounds.width() + 6, Bounds.height() + 4);
    move(Global + QPoint(0, 20));
    show();
    update();
}

void TMyHintWindow::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    P.fillRect(rect(), ColorOfRef(FColor));
    P.setPen(ColorOfRef(SwatchTextColor(FColor)));
    P.drawText(rect().adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, FText);
    P.setPen(Qt::black);
    P.drawRect(rect().adjusted(0, 0, -1, -1));
}

TPickerBox::TPickerBox(QSize Size, QWidget* Parent) : QWidget(Parent)
{
    setFixedSize(Size);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

QImage TPickerBox::Picture()
{
    QImage Image(size(), QImage::Format_RGB32);
    Image.fill(palette().color(QPalette::Window));
    QPainter P(&Image);
    if (OnPaint)
        OnPaint(P);
    return Image;
}

void TPickerBox::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    P.fillRect(rect(), palette().color(QPalette::Window));
    if (OnPaint)
        OnPaint(P);
}

void TPickerBox::mousePressEvent(QMouseEvent* E)
{
    if (E->button() == Qt::LeftButton && OnMouseDown)
        OnMouseDown(E);
}

void TPickerBox::mouseMoveEvent(QMouseEvent* E)
{
    if (FHint && FHint->isVisible() && !FHintCell.contains(E->position().toPoint()))
        FHint->hide();
    if (E->buttons() != Qt::NoButton && OnMouseMove)
        OnMouseMove(E);
}

void TPickerBox::mouseReleaseEvent(QMouseEvent* E)
{
    if (E->button() == Qt::LeftButton && OnMouseUp)
        OnMouseUp(E);
}

void TPickerBox::mouseDoubleClickEvent(QMouseEvent* E)
{
    if (E->button() == Qt::LeftButton && OnDblClick)
        OnDblClick(E);
}

bool TPickerBox::event(QEvent* Event)
{
    if (Event->type() == QEvent::ToolTip && OnHint) {
        auto* Help = static_cast<QHelpEvent*>(Event);
        const TCellHint Hint = OnHint(Help->pos());
        if (Hint.Text.isEmpty()) {
            if (FHint)
                FHint->hide();
            return QWidget::event(Event); // the box's own tool tip, if any
        }
        if (!FHint)
            FHint = new TMyHintWindow(this);
        FHintCell = Hint.Cell;
        FHint->ActivateHint(Help->globalPos(), Hint.Text, Hint.Color);
        return true;
    }
    return QWidget::event(Event);
}

void TPickerBox::leaveEvent(QEvent* Event)
{
    if (FHint)
        FHint->hide();
    QWidget::leaveEvent(Event);
}

namespace {

const QSize FieldSize(260, 260);
const QSize BarSize(40, 260);

QString SpoitHintOk() { return QStringLiteral("スポイト：押したまま画面上の色の上へ動かすと、その色を取ります"); }
QString SpoitHintOff()
{
    return QStringLiteral("スポイトは使えません：この表示環境では画面の内容を読み取れません");
}

TEditTrackBarWex* MakeEdit(QWidget* Parent, double Max)
{
    auto* E = new TEditTrackBarWex(Parent);
    E->SetMin(0);
    E->SetMax(Max);
    E->setFixedWidth(70);
    return E;
}

} // namespace

TfrmSelColor::TfrmSelColor(QWidget* Owner) : QDialog(Owner)
{
    setWindowTitle(QStringLiteral("色の選択"));
    auto* Main = new QHBoxLayout(this);

    PageControl = new QTabWidget(this);
    TabSheetFull = new QWidget;
    TabSheetPallete = new QWidget;
    TabSheetWeb = new QWidget;
    PageControl->addTab(TabSheetFull, QStringLiteral("フルカラー"));
    PageControl->addTab(TabSheetPallete, QStringLiteral("パレット"));
    PageControl->addTab(TabSheetWeb, QStringLiteral("Web"));
    Main->addWidget(PageControl);

    pbox = new TPickerBox(FieldSize, TabSheetFull);
    pboxVBar = new TPickerBox(BarSize, TabSheetFull);
    cboxBlock = new QCheckBox(QStringLiteral("ブロック表示"), TabSheetFull);
    auto* Full = new QGridLayout(TabSheetFull);
    Full->addWidget(pbox, 0, 0);
    Full->addWidget(pboxVBar, 0, 1);
    Full->addWidget(cboxBlock, 1, 0, 1, 2);

    pboxPalette = new TPickerBox(QSize(300, 200), TabSheetPallete);
    (new QVBoxLayout(TabSheetPallete))->addWidget(pboxPalette, 0, Qt::AlignTop);
    pboxWeb = new TPickerBox(QSize(306, 221), TabSheetWeb);
    (new QVBoxLayout(TabSheetWeb))->addWidget(pboxWeb, 0, Qt::AlignTop);

    auto* Side = new QVBoxLayout;
    Main->addLayout(Side);
    pboxColor = new TPickerBox(QSize(72, 64), this);
    pboxSpoit = new TPickerBox(QSize(32, 32), this);
    auto* Top = new QHBoxLayout;
    Top->addWidget(pboxColor);
    Top->addWidget(pboxSpoit, 0, Qt::AlignBottom);
    Side->addLayout(Top);

    auto* Grid = new QGridLayout;
    Side->addLayout(Grid);
    QRadioButton** Radios[6] = {&rbtnRed, &rbtnGrn, &rbtnBlu, &rbtnHue, &rbtnSat, &rbtnBri};
    TEditTrackBarWex** Edits[6] = {&edtRed, &edtGrn, &edtBlu, &edtHue, &edtSat, &edtBri};
    const char* Captions[6] = {"R:", "G:", "B:", "H:", "S:", "V:"};
    const double Max[6] = {255, 255, 255, 360, 100, 100};
    QLabel** Labels[3] = {&lblR, &lblG, &lblB};
    for (int I = 0; I < 6; ++I) {
        *Radios[I] = new QRadioButton(QString::fromUtf8(Captions[I]), this);
        *Edits[I] = MakeEdit(this, Max[I]);
        Grid->addWidget(*Radios[I], I, 0);
        Grid->addWidget(*Edits[I], I, 1);
        if (I < 3) {
            *Labels[I] = new QLabel(this);
            Grid->addWidget(*Labels[I], I, 2);
        } else {
            Grid->addWidget(new QLabel(I == 3 ? QStringLiteral("°") : QStringLiteral("%"), this), I, 2);
        }
        QObject::connect(*Radios[I], &QRadioButton::clicked, this, [this, I] { rbtnClick(I); });
        (*Edits[I])->OnChange = [this, I](QObject*) { edtFactorChange(I); };
    }
    rbtnRed->setChecked(true);
    cboxHex = new QCheckBox(QStringLiteral("16進数"), this);
    Side->addWidget(cboxHex);

    auto* Clip = new QHBoxLayout;
    sbtnColorCopy = new QToolButton(this);
    sbtnColorCopy->setText(QStringLiteral("コピー"));
    sbtnColorCopy->setToolTip(QStringLiteral("選択色をクリップボードにコピー"));
    sbtnColorPaste = new QToolButton(this);
    sbtnColorPaste->setText(QStringLiteral("貼付け"));
    sbtnColorPaste->setToolTip(QStringLiteral("色をクリップボードから貼付け"));
    Clip->addWidget(sbtnColorCopy);
    Clip->addWidget(sbtnColorPaste);
    Side->addLayout(Clip);

    btnApply = new QPushButton(QStringLiteral("テスト"), this);
    cboxPreview = new QCheckBox(QStringLiteral("即テスト"), this);
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    btnHelp = new QPushButton(QStringLiteral("ヘルプ(&H)"), this);
    btnOK->setDefault(true);
    for (QWidget* W : {static_cast<QWidget*>(btnApply), static_cast<QWidget*>(cboxPreview),
                       static_cast<QWidget*>(btnOK), static_cast<QWidget*>(btnCancel),
                       static_cast<QWidget*>(btnHelp)})
        Side->addWidget(W);
    Side->addStretch();
    btnApply->hide();
    cboxPreview->hide();

    QObject::connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    QObject::connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // The application's help for the form's help context, also when the
    // caller gave it none (the application then shows its contents).
    QObject::connect(btnHelp, &QPushButton::clicked, this, [this] { ShowApplicationHelp(HelpContext); });
    QObject::connect(btnApply, &QPushButton::clicked, this, [this] {
        if (FApply)
            FApply(FColor, FContext);
    });
    QObject::connect(cboxPreview, &QCheckBox::toggled, this, [this] { cboxPreviewClick(); });
    QObject::connect(cboxHex, &QCheckBox::toggled, this, [this] { cboxHexClick(); });
    QObject::connect(cboxBlock, &QCheckBox::toggled, this, [this] { RepaintAll(); });
    QObject::connect(sbtnColorCopy, &QToolButton::clicked, this, [this] {
        OleSetClipboard(MakeCom<TOle2DataObjColorWex>(FColor).Get());
    });
    QObject::connect(sbtnColorPaste, &QToolButton::clicked, this, [this] {
        TComPtr<IDataObject> Data;
        if (OleGetClipboard(Data) != S_OK)
            return;
        const int32_t C = TOle2DataObjColorWex::GetColor(Data.Get());
        if (C >= 0)
            SetColor(C);
    });

    pbox->OnPaint = [this](QPainter& P) { PaintFieldBox(P); };
    pbox->OnMouseDown = [this](QMouseEvent* E) {
        if (cboxBlock->isChecked()) {
            GridMouseDown(FSelected, pbox->size(), E->position().toPoint());
            return;
        }
        FFieldDrag = true;
        FieldMouse(E->position().toPoint());
    };
    pbox->OnMouseMove = [this](QMouseEvent* E) {
        if (FFieldDrag)
            FieldMouse(E->position().toPoint());
    };
    pbox->OnMouseUp = [this](QMouseEvent*) { FFieldDrag = false; };
    pbox->OnDblClick = [this](QMouseEvent*) {
        if (cboxBlock->isChecked())
            btnOK->click();
    };
    pbox->OnHint = [this](QPoint At) { return FieldHint(At); };
    pboxVBar->OnHint = [this](QPoint At) { return BarHint(At); };
    pboxVBar->OnPaint = [this](QPainter& P) { PaintBar(P); };
    pboxVBar->OnMouseDown = [this](QMouseEvent* E) {
        FBarDrag = !cboxBlock->isChecked();
        BarMouse(E->position().toPoint());
    };
    pboxVBar->OnMouseMove = [this](QMouseEvent* E) {
        if (FBarDrag)
            BarMouse(E->position().toPoint());
    };
    pboxVBar->OnMouseUp = [this](QMouseEvent*) { FBarDrag = false; };

    struct GridPage {
        TPickerBox* Box;
        int Mode;
    };
    for (const GridPage G : {GridPage{pboxPalette, 6}, GridPage{pboxWeb, 7}}) {
        TPickerBox* Box = G.Box;
        const int Mode = G.Mode;
        Box->OnPaint = [this, Box, Mode](QPainter& P) {
            PaintField(P, Box->size(), Mode, 0, FValues[3], FValues[4], FValues[5]);
        };
        Box->OnMouseDown = [this, Box, Mode](QMouseEvent* E) { GridMouseDown(Mode, Box->size(), E->position().toPoint()); };
        Box->OnDblClick = [this, Box, Mode](QMouseEvent* E) {
            int C = 0, R = 0;
            if (CellAt(Box->size(), E->position().toPoint(), Mode, C, R))
                btnOK->click();
        };
        Box->OnHint = [Box, Mode](QPoint At) {
            TCellHint Hint;
            int C = 0, R = 0, H = 0, S = 0, V = 0;
            if (CellAt(Box->size(), At, Mode, C, R)) {
                Hint.Text = CellHintText(Mode, C, R, 0, 0, 0, 0);
                Hint.Color = CellColor(Mode, C, R, 0, H, S, V);
                Hint.Cell = CellRect(Box->size(), Mode, C, R);
            }
            return Hint;
        };
    }

    pboxColor->OnPaint = [this](QPainter& P) { PaintSwatch(P); };
    pboxColor->OnMouseDown = [this](QMouseEvent* E) {
        if (E->position().y() >= pboxColor->height() / 2)
            SetColor(FStartColor);
    };

    pboxSpoit->OnPaint = [this](QPainter& P) { PaintSpoit(P); };
    pboxSpoit->OnMouseDown = [this](QMouseEvent* E) {
        if (!pboxSpoit->isEnabled() || !FGrab)
            return;
        FScreen = FGrab(E->globalPosition().toPoint(), FScreenGeometry);
        if (FScreen.isNull())
            return;
        FSpoitCapture = true;
        pboxSpoit->setCursor(Qt::CrossCursor);
        pboxSpoit->update();
        SpoitMove(E->globalPosition().toPoint());
    };
    pboxSpoit->OnMouseMove = [this](QMouseEvent* E) {
        if (FSpoitCapture)
            SpoitMove(E->globalPosition().toPoint());
    };
    pboxSpoit->OnMouseUp = [this](QMouseEvent*) {
        FSpoitCapture = false;
        FScreen = QImage();
        pboxSpoit->unsetCursor();
        pboxSpoit->update();
    };
    SetScreenGrab(GrabWholeScreen, true);

    RvClipDetector = new TRvClipDetector(this);
    try {
        RvClipDetector->SetOnClipChange([this](QObject*) { ClipChanged(); });
    } catch (const Exception&) {
        // Without a window system there is no watch; the button follows the
        // clipboard as it was when the form opened.
    }
    ClipChanged();
    FillFields();
}

TfrmSelColor::~TfrmSelColor() = default;

TCellHint TfrmSelColor::FieldHint(QPoint At) const
{
    TCellHint Hint;
    int C = 0, R = 0;
    if (!cboxBlock->isChecked() || !CellAt(pbox->size(), At, FSelected, C, R))
        return Hint;
    int32_t H = FValues[3], S = FValues[4], V = FValues[5];
    Hint.Text = CellHintText(FSelected, C, R, FValues[FSelected], H, S, V);
    Hint.Color = CellColor(FSelected, C, R, FValues[FSelected], H, S, V);
    Hint.Cell = CellRect(pbox->size(), FSelected, C, R);
    return Hint;
}

TCellHint TfrmSelColor::BarHint(QPoint At) const
{
    TCellHint Hint;
    if (!cboxBlock->isChecked())
        return Hint;
    for (int I = 0; I < BarCells(FSelected); ++I) {
        const QRect Cell = BarCellRect(pboxVBar->size(), FSelected, I);
        if (!Cell.adjusted(1, 1, -1, -1).contains(At))
            continue;
        int32_t V[6];
        std::copy(FValues, FValues + 6, V);
        V[FSelected] = BarCellValue(FSelected, I);
        DeriveComponents(FSelected, V);
        Hint.Color = ColorOfComponents(V);
        Hint.Cell = Cell;
        if (FSelected < 3) {
            Hint.Text = QStringLiteral("RGB = $") +
                        QStringLiteral("%1").arg(SwapRB(Hint.Color), 6, 16, QChar('0')).toUpper();
        } else {
            Hint.Text = QStringLiteral("色相 = %1\n彩度 = %2 %\n明度 = %3 %")
                            .arg(int(std::nearbyint(V[3] / 1000.0)))
                            .arg(int(std::nearbyint(V[4] * 100.0 / 256)))
                            .arg(int(std::nearbyint(V[5] * 100.0 / 255)));
        }
        return Hint;
    }
    return Hint;
}

void TfrmSelColor::keyPressEvent(QKeyEvent* Event)
{
    // Inside the fill editor the key goes on to the editor.
    if (Event->key() == Qt::Key_F1 && isWindow()) {
        ShowKeyHelp(this, HelpContext);
        return;
    }
    QDialog::keyPressEvent(Event);
}

void TfrmSelColor::ClipChanged() { sbtnColorPaste->setEnabled(ClipboardHasColor()); }

namespace {

// One grab tells whether the platform lets us read the screen at all; the
// answer holds for the whole run, so the real screen is grabbed once only.
bool ScreenGrabWorks(const TScreenGrab& Grab, bool Default)
{
    QRect Geometry;
    if (!Default)
        return Grab && !Grab(QPoint(0, 0), Geometry).isNull();
    static const bool Works = !GrabWholeScreen(QPoint(0, 0), Geometry).isNull();
    return Works;
}

} // namespace

void TfrmSelColor::SetScreenGrab(TScreenGrab Grab, bool Default)
{
    FGrab = std::move(Grab);
    const bool Works = ScreenGrabWorks(FGrab, Default);
    pboxSpoit->setEnabled(Works);
    pboxSpoit->setToolTip(Works ? SpoitHintOk() : SpoitHintOff());
    pboxSpoit->update();
}

void TfrmSelColor::SpoitMove(QPoint Global)
{
    if (!FScreenGeometry.contains(Global)) { // onto another screen
        QRect Geometry;
        QImage Screen = FGrab(Global, Geometry);
        if (!Screen.isNull() && Geometry.contains(Global)) {
            FScreen = std::move(Screen);
            FScreenGeometry = Geometry;
        }
    }
    const int32_t C = ScreenPixelColor(FScreen, FScreenGeometry, Global);
    if (C >= 0 && C != FColor)
        SetColor(C);
}

void TfrmSelColor::SetCallerValues(intptr_t Context, TColorProc Apply, TColorProc Preview)
{
    FContext = Context;
    FApply = std::move(Apply);
    FPreview = std::move(Preview);
    btnApply->setVisible(bool(FApply));
    cboxPreview->setVisible(bool(FPreview));
}

void TfrmSelColor::SetStartColor(int32_t Color)
{
    FStartColor = Color & 0xFFFFFF;
    ++FUpdating;
    FColor = FStartColor;
    FValues[0] = FColor & 0xFF;
    FValues[1] = (FColor >> 8) & 0xFF;
    FValues[2] = (FColor >> 16) & 0xFF;
    DeriveComponents(0, FValues);
    FillFields();
    --FUpdating;
    RepaintAll();
}

void TfrmSelColor::SetColor(int32_t Color, bool FromHSV)
{
    ++FUpdating;
    FColor = Color & 0xFFFFFF;
    FValues[0] = FColor & 0xFF;
    FValues[1] = (FColor >> 8) & 0xFF;
    FValues[2] = (FColor >> 16) & 0xFF;
    if (!FromHSV)
        DeriveComponents(0, FValues);
    FillFields();
    --FUpdating;
    RepaintAll();
    if (cboxPreview->isChecked() && FPreview)
        FPreview(FColor, FContext);
}

void TfrmSelColor::SetValues(const int32_t Values[6], bool FromHSV)
{
    std::copy(Values, Values + 6, FValues);
    SetColor(ColorOfComponents(Values), FromHSV);
}

void TfrmSelColor::SetComponent(int Component, int32_t Value)
{
    int32_t V[6];
    std::copy(FValues, FValues + 6, V);
    V[Component] = Value;
    DeriveComponents(Component, V);
    SetValues(V, Component >= 3);
}

void TfrmSelColor::FillFields()
{
    ++FUpdating;
    const bool Hex = cboxHex->isChecked();
    TEditTrackBarWex* Rgb[3] = {edtRed, edtGrn, edtBlu};
    QLabel* Labels[3] = {lblR, lblG, lblB};
    for (int I = 0; I < 3; ++I) {
        if (I != FTyping) // the user's text stays as typed, leading zeros and all
            Rgb[I]->SetPosition(FValues[I]);
        Labels[I]->setText(Hex ? QStringLiteral("(%1)").arg(FValues[I])
                               : QStringLiteral("($%1)").arg(FValues[I], 2, 16, QChar('0')).toUpper());
    }
    const double Shown[3] = {std::nearbyint(FValues[3] / 1000.0), std::nearbyint(FValues[4] * 100.0 / 256),
                             std::nearbyint(FValues[5] * 100.0 / 255)};
    TEditTrackBarWex* Hsv[3] = {edtHue, edtSat, edtBri};
    for (int I = 0; I < 3; ++I)
        if (I + 3 != FTyping && (Hsv[I]->Position() != Shown[I] || Hsv[I]->text().isEmpty()))
            Hsv[I]->SetPosition(Shown[I]);
    --FUpdating;
}

void TfrmSelColor::edtFactorChange(int Component)
{
    TEditTrackBarWex* Edits[6] = {edtRed, edtGrn, edtBlu, edtHue, edtSat, edtBri};
    const std::string Text = Edits[Component]->text().trimmed().toStdString();
    if (FUpdating != 0 || Text.empty())
        return;
    int64_t Typed = 0;
    if (Component < 3 && cboxHex->isChecked()) {
        uint32_t V = 0;
        if (!ReadHexValue(Text, V))
            return;
        Typed = V;
    } else {
        double V = 0;
        try {
            V = StrToFloat(Text);
        } catch (const EConvertError&) {
            return;
        }
        if (!std::isfinite(V))
            return;
        Typed = RoundOff(V);
    }
    static const int64_t FieldMax[6] = {255, 255, 255, 360, 100, 100};
    Typed = std::clamp<int64_t>(Typed, 0, FieldMax[Component]);
    int32_t Value = int32_t(Typed);
    if (Component == ccHue)
        Value *= 1000;
    else if (Component == ccSat)
        Value = int32_t(RoundOff(Typed * 256 / 100.0));
    else if (Component == ccBri)
        Value = int32_t(RoundOff(Typed * 255 / 100.0));
    if (Value == FValues[Component])
        return;
    FTyping = Component;
    SetComponent(Component, Value);
    FTyping = -1;
}

void TfrmSelColor::rbtnClick(int Component)
{
    FSelected = Component;
    RepaintAll();
}

void TfrmSelColor::SetSelected(int Component)
{
    QRadioButton* Radios[6] = {rbtnRed, rbtnGrn, rbtnBlu, rbtnHue, rbtnSat, rbtnBri};
    Radios[std::clamp(Component, 0, 5)]->setChecked(true);
    rbtnClick(std::clamp(Component, 0, 5));
}

void TfrmSelColor::cboxHexClick()
{
    const bool Hex = cboxHex->isChecked();
    for (TEditTrackBarWex* E : {edtRed, edtGrn, edtBlu}) {
        ++FUpdating;
        E->SetHex(Hex);
        E->PageSize = Hex ? 8 : 5;
        --FUpdating;
    }
    FillFields();
}

void TfrmSelColor::cboxPreviewClick()
{
    btnApply->setEnabled(!cboxPreview->isChecked());
    if (cboxPreview->isChecked() && FPreview)
        FPreview(FColor, FContext);
}

void TfrmSelColor::SetPage(int Page) { PageControl->setCurrentIndex(std::clamp(Page, 1, 3) - 1); }

int TfrmSelColor::ActivePage() const { return PageControl->currentIndex() + 1; }

void TfrmSelColor::RepaintAll()
{
    for (TPickerBox* B : {pbox, pboxVBar, pboxPalette, pboxWeb, pboxColor})
        B->update();
}

void TfrmSelColor::FieldMouse(QPoint At)
{
    int32_t V[6];
    std::copy(FValues, FValues + 6, V);
    FieldValuesAt(FSelected, pbox->size(), At, V);
    SetValues(V, FSelected >= 3);
}

void TfrmSelColor::BarMouse(QPoint At)
{
    if (cboxBlock->isChecked()) {
        const int N = BarCells(FSelected);
        for (int I = 0; I < N; ++I)
            if (BarCellRect(pboxVBar->size(), FSelected, I).adjusted(1, 1, -1, -1).contains(At)) {
                SetComponent(FSelected, BarCellValue(FSelected, I));
                return;
            }
        return;
    }
    SetComponent(FSelected, BarValueAt(FSelected, At.y(), pboxVBar->height()));
}

void TfrmSelColor::GridMouseDown(int Mode, QSize Box, QPoint At)
{
    int C = 0, R = 0;
    if (!CellAt(Box, At, Mode, C, R))
        return;
    int32_t H = FValues[3], S = FValues[4], V = FValues[5];
    const int32_t Color = CellColorHSB(Mode, C, R, Mode < 3 ? FValues[Mode] : 0, H, S, V);
    if (Color < 0)
        return;
    FValues[3] = H;
    FValues[4] = S;
    FValues[5] = V;
    SetColor(Color, true);
}

void TfrmSelColor::PaintFieldBox(QPainter& P)
{
    const QSize Size = pbox->size();
    if (cboxBlock->isChecked()) {
        PaintField(P, Size, FSelected, FValues[FSelected], FValues[3], FValues[4], FValues[5]);
        return;
    }
    const int W = Size.width() - 4, H = Size.height() - 4;
    QImage Image(W, H, QImage::Format_RGB32);
    for (int Y = 0; Y < H; ++Y) {
        auto* Line = reinterpret_cast<QRgb*>(Image.scanLine(Y));
        for (int X = 0; X < W; ++X) {
            const int32_t C = FieldColorAt(FSelected, Size, QPoint(X + 2, Y + 2), FValues);
            Line[X] = qRgb(C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF);
        }
    }
    P.drawImage(2, 2, Image);
    DrawSunkenEdge(P, QRect(0, 0, Size.width(), Size.height()));
    int XC = 0, YC = 0;
    FieldAxes(FSelected, XC, YC);
    const QPoint At(AxisPixelOf(XC, FValues[XC], Size.width()), AxisPixelOf(YC, FValues[YC], Size.height()));
    P.setBrush(Qt::NoBrush);
    P.setPen(Qt::black);
    P.drawRect(QRect(At - QPoint(2, 2), At + QPoint(2, 2)));
    P.setPen(Qt::white);
    P.drawRect(QRect(At - QPoint(3, 3), At + QPoint(3, 3)));
}

void TfrmSelColor::PaintBar(QPainter& P)
{
    const QSize Size = pboxVBar->size();
    int32_t V[6];
    if (cboxBlock->isChecked()) {
        for (int I = 0; I < BarCells(FSelected); ++I) {
            std::copy(FValues, FValues + 6, V);
            V[FSelected] = BarCellValue(FSelected, I);
            DeriveComponents(FSelected, V);
            const QRect R = BarCellRect(Size, FSelected, I);
            P.fillRect(R.adjusted(2, 2, -2, -2), ColorOfRef(ColorOfComponents(V)));
            DrawSunkenEdge(P, R);
        }
        return;
    }
    const int H = Size.height();
    for (int Y = 2; Y < H - 2; ++Y) {
        std::copy(FValues, FValues + 6, V);
        V[FSelected] = BarValueAt(FSelected, Y, H);
        DeriveComponents(FSelected, V);
        P.fillRect(QRect(8, Y, Size.width() - 16, 1), ColorOfRef(ColorOfComponents(V)));
    }
    DrawSunkenEdge(P, QRect(6, 0, Size.width() - 12, H));
    const int Y = BarPixelOf(FSelected, FValues[FSelected], H);
    P.setPen(Qt::NoPen);
    P.setBrush(Qt::black);
    const QPoint Left[3] = {{0, Y - 4}, {5, Y}, {0, Y + 4}};
    const QPoint Right[3] = {{Size.width() - 1, Y - 4}, {Size.width() - 6, Y}, {Size.width() - 1, Y + 4}};
    P.drawPolygon(Left, 3);
    P.drawPolygon(Right, 3);
}

void TfrmSelColor::PaintSwatch(QPainter& P)
{
    const QSize Size = pboxColor->size();
    const int Half = Size.height() / 2;
    const struct {
        QRect R;
        int32_t C;
        QString Caption;
    } Sides[2] = {{QRect(0, 0, Size.width(), Half), FColor, QStringLiteral("新")},
                  {QRect(0, Half, Size.width(), Size.height() - Half), FStartColor, QStringLiteral("旧")}};
    for (const auto& Side : Sides) {
        P.fillRect(Side.R, ColorOfRef(Side.C));
        P.setPen(ColorOfRef(SwatchTextColor(Side.C)));
        P.drawText(Side.R.adjusted(3, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, Side.Caption);
    }
    DrawSunkenEdge(P, QRect(QPoint(0, 0), Size));
}

void TfrmSelColor::PaintSpoit(QPainter& P)
{
    const QRect R(QPoint(0, 0), pboxSpoit->size());
    if (FSpoitCapture)
        DrawSunkenEdge(P, R);
    else
        P.drawRect(R.adjusted(0, 0, -1, -1));
    // ImageSpoit: a pipette from the upper right to its tip at the lower left.
    P.setRenderHint(QPainter::Antialiasing);
    const QColor Ink = pboxSpoit->isEnabled() ? QColor(Qt::black) : QColor(Qt::gray);
    P.setPen(QPen(Ink, 3, Qt::SolidLine, Qt::RoundCap));
    P.drawLine(QPointF(21, 11), QPointF(10, 22));
    P.setPen(QPen(Ink, 1.5));
    P.drawLine(QPointF(10, 22), QPointF(7, 25));
    P.setBrush(Ink);
    P.drawEllipse(QPointF(23, 9), 3.5, 3.5);
}
