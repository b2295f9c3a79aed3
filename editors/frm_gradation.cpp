#include "editors/frm_gradation.h"

#include "ui/preview_dialogs.h"

#include "editors/color_dialog_wex.h"
#include "editors/frm_sel_color.h"
#include "editors/grad_stop_bar.h"
#include "editors/style_dialog.h"
#include "editors/style_items.h"
#include "foundation/ini_file.h"
#include "model/default_data.h"
#include "foundation/user_error.h"
#include "ui/edit_wex.h"
#include "ui/frm_rollup.h"
#include "ui/ole2_gradation.h"
#include "ui/ole2_text_header.h"
#include "ui/ole_interfaces.h"
#include "ui/ole_qt_bridge.h"
#include "editors/trans_dialog_wex.h"
#include "foundation/text_fields.h"
#include "raster/gradation_picture.h"
#include "raster/rec_picture.h"
#include "platform/message_box.h"
#include "platform/regular_file.h"
#include "platform/clipboard_formats.h"
#include "platform/qt/clipboard.h"
#include "platform/qt/screen_cursors.h"
#include "platform/qt/qt_services.h"
#include "ui/number_key_filter.h"
#include "foundation/platform_wrappers.h"
#include "raster/twain.h"
#include "store/picture_store.h"
#include "ui/restore_pos.h"
#include "ui/rv_clip_detector.h"
#include "ui/work_area.h"

#include <QApplication>
#include <QBuffer>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>
#include <limits>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

// The record's pixels as an image, through its 24-bit form.
QImage ImageOfRecord(const TrecPicture& Src)
{
    if (!Src.pBIHeader || !Src.pBits)
        return QImage();
    TrecPicture P;
    RecPictureConvertTo24(P, Src, false);
    // A 24-bit source lends its own handles; they stay the source's.
    const bool Shared = P.pBIHeader == Src.pBIHeader;
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    QImage Image;
    if (H && P.pBits && H->biWidth > 0 && H->biHeight != 0) {
        const int Width = H->biWidth, Height = std::abs(H->biHeight);
        const int64_t Line = CalcLineBytes(Width, 24);
        Image = QImage(Width, Height, QImage::Format_RGB888);
        for (int Y = 0; Y < Height; ++Y) {
            const uint8_t* Row = P.pBits + int64_t(Height - 1 - Y) * Line;
            uint8_t* Dst = Image.scanLine(Y);
            for (int X = 0; X < Width; ++X) {
                Dst[3 * X] = Row[3 * X + 2];
                Dst[3 * X + 1] = Row[3 * X + 1];
                Dst[3 * X + 2] = Row[3 * X];
            }
        }
    }
    if (Shared)
        P = TrecPicture{};
    else
        RecPictureClear(P);
    return Image;
}

QCursor HandCursor(bool Closed)
{
    const std::optional<QCursor> C = LoadCursorResource(Closed ? "CHNDCLS" : "CHNDOPN");
    return C ? *C : QCursor(Closed ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
}

} // namespace

TPictView::TPictView(QScrollArea& Box, QWidget* Parent) : QWidget(Parent), FBox(Box)
{
    setCursor(HandCursor(false));
}

void TPictView::SetImage(const QImage& Image)
{
    FImage = Image;
    // At least the viewport, so a small picture sits in its middle.
    const QSize View = FBox.viewport()->size();
    resize(std::max(View.width(), FImage.width()), std::max(View.height(), FImage.height()));
    update();
}

void TPictView::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    P.fillRect(rect(), QColor(0x80, 0x80, 0x80));
    if (!FImage.isNull())
        P.drawImage((width() - FImage.width()) / 2, (height() - FImage.height()) / 2, FImage);
}

void TPictView::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton)
        return;
    FPanning = true;
    FDown = Event->globalPosition().toPoint();
    FScrollAtDown = QPoint(FBox.horizontalScrollBar()->value(), FBox.verticalScrollBar()->value());
    setCursor(HandCursor(true));
}

void TPictView::mouseMoveEvent(QMouseEvent* Event)
{
    if (!FPanning)
        return;
    // The picture follows the hand: the scroll position moves against it.
    const QPoint D = Event->globalPosition().toPoint() - FDown;
    FBox.horizontalScrollBar()->setValue(FScrollAtDown.x() - D.x());
    FBox.verticalScrollBar()->setValue(FScrollAtDown.y() - D.y());
}

void TPictView::mouseReleaseEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton || !FPanning)
        return;
    FPanning = false;
    setCursor(HandCursor(false));
}

TFillCodeParts SplitFillCode(const std::string& Code)
{
    TFillCodeParts P;
    if (Code.empty())
        return P;
    P.Kind = Code[0] - '0';
    P.Rest = Code.substr(1);
    if (P.Kind == 2 || P.Kind == 4) {
        P.Rotate = P.Rest.empty() || P.Rest[0] == '1';
        if (!P.Rest.empty())
            P.Rest.erase(0, 1);
    }
    return P;
}

int GradOpacityOfPercent(int Percent)
{
    return (Percent * 255 + 50) / 100;
}

namespace {

// A five-pointed star filling a 400 x 200 box, the stand-in outline.
QPainterPath StarPath()
{
    QPainterPath Path;
    for (int I = 0; I < 10; ++I) {
        const double R = I % 2 ? 0.4 : 1.0;
        const double A = -M_PI / 2 + I * M_PI / 5;
        const QPointF P(200 + 200 * R * std::cos(A), 105 + 105 * R * std::sin(A));
        if (I == 0)
            Path.moveTo(P);
        else
            Path.lineTo(P);
    }
    Path.closeSubpath();
    return Path;
}

std::string HexOfColor(int32_t Color)
{
    char Buf[16];
    std::snprintf(Buf, sizeof Buf, "%X", static_cast<unsigned>(Color));
    return Buf;
}

// The "#" edit speaks as the grid's colour cells and the web do: red first,
// six digits, while the fill code keeps the colour value's own order.
QString RgbTextOfColor(int32_t Color)
{
    const unsigned C = static_cast<unsigned>(Color);
    return QString::asprintf("%02X%02X%02X", C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF);
}

// Text that is not one to six hexadecimal digits (a leading "#" allowed)
// keeps the colour.
int32_t ColorOfRgbText(const std::string& Text, int32_t Default)
{
    const size_t From = !Text.empty() && Text[0] == '#' ? 1 : 0;
    if (Text.size() <= From || Text.size() - From > 6 ||
        Text.find_first_not_of("0123456789abcdefABCDEF", From) != std::string::npos)
        return Default;
    const int32_t V = static_cast<int32_t>(std::stoul(Text.substr(From), nullptr, 16));
    return ((V & 0xFF) << 16) | (V & 0xFF00) | ((V >> 16) & 0xFF);
}

// The gradation over a Width x Height box, with its opacity as alpha.
QImage RenderGradation(const TrecGradation& G, int Width, int Height)
{
    TDIBPicture C, A;
    RecPictureRenderGradation(TRect{0, 0, Width - 1, Height - 1}, Width, Height, C.FrecPicture, A.FrecPicture, G);
    QImage Out(Width, Height, QImage::Format_ARGB32);
    const int64_t CLine = RecPictureGetImageSize(C.FrecPicture) / Height;
    const int64_t ALine = RecPictureGetImageSize(A.FrecPicture) / Height;
    for (int Y = 0; Y < Height; ++Y) {
        const uint8_t* CRow = C.FrecPicture.pBits + int64_t(Height - 1 - Y) * CLine;
        const uint8_t* ARow = A.FrecPicture.pBits + int64_t(Height - 1 - Y) * ALine;
        auto* Dst = reinterpret_cast<QRgb*>(Out.scanLine(Y));
        for (int X = 0; X < Width; ++X)
            Dst[X] = qRgba(CRow[3 * X + 2], CRow[3 * X + 1], CRow[3 * X], ARow[X]);
    }
    return Out;
}

// Drops (with a beep) the typed characters a number edit cannot take:
// digits only, or with Real also "-" and "."; control keys pass.
class TNumberKeyFilter : public QObject {
public:
    TNumberKeyFilter(QObject* Owner, bool Real) : QObject(Owner), FReal(Real) {}

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() != QEvent::KeyPress)
            return QObject::eventFilter(Watched, Event);
        const QString T = static_cast<QKeyEvent*>(Event)->text();
        if (T.size() != 1 || T[0] < QChar(' '))
            return false;
        const QChar C = T[0];
        if (C.isDigit() || (FReal && (C == '-' || C == '.')))
            return false;
        MessageBeep(0);
        return true;
    }

private:
    bool FReal;
};

} // namespace

// ---- preview ----

TGradPreview::TGradPreview(TfrmGradation& Form, QWidget* Parent) : QWidget(Parent), FForm(Form)
{
    setFixedSize(TfrmGradation::PreviewWidth, TfrmGradation::PreviewHeight);
}

QPoint TGradPreview::PointAt(int Which) const
{
    const QRectF B = FForm.PreviewPath().boundingRect();
    const int W = std::max(1, int(B.width())), H = std::max(1, int(B.height()));
    const TGradationObject& G = const_cast<TfrmGradation&>(FForm).Gradation();
    return QPoint(GradUnitToPreview(Which == 1 ? G.iX1 : G.iX2, W, FForm.Zoom(), width()),
                  GradUnitToPreview(Which == 1 ? G.iY1 : G.iY2, H, FForm.Zoom(), height()));
}

void TGradPreview::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    P.fillRect(rect(), Qt::black);
    const QRectF B = FForm.PreviewPath().boundingRect();
    const double Z = FForm.Zoom() / 100.0;
    QTransform T;
    T.translate(width() / 2.0, height() / 2.0);
    T.scale(Z, Z);
    T.translate(-B.center().x(), -B.center().y());
    const QPainterPath Shape = T.map(FForm.PreviewPath());
    const QRect Box = Shape.boundingRect().toAlignedRect();
    if (Box.width() > 0 && Box.height() > 0) {
        P.setClipPath(Shape);
        P.drawImage(Box.topLeft(), RenderGradation(FForm.Gradation(), Box.width(), Box.height()));
        P.setClipping(false);
    }
    P.setPen(Qt::darkGray);
    P.drawRect(rect().adjusted(0, 0, -1, -1));
    for (int I = 1; I <= 2; ++I) {
        const QPoint At = PointAt(I);
        TAnchorPnt(static_cast<uint8_t>(I), At.x(), At.y()).Draw(P);
    }
}

void TGradPreview::mousePressEvent(QMouseEvent* Event)
{
    const QPoint M = Event->position().toPoint();
    FMode = 0;
    for (int I = 1; I <= 2 && !FMode; ++I) {
        const QPoint At = PointAt(I);
        if (TAnchorPnt(static_cast<uint8_t>(I), At.x(), At.y()).HitTest(M.x(), M.y()))
            FMode = static_cast<uint8_t>(I);
    }
    if (FMode) {
        const QRectF B = FForm.PreviewPath().boundingRect();
        const TGradationObject& G = FForm.Gradation();
        FForm.SetStatus(GradPointsText(G.iX1, G.iY1, G.iX2, G.iY2, std::max(1, int(B.width())),
                                       std::max(1, int(B.height()))));
    }
}

void TGradPreview::mouseMoveEvent(QMouseEvent* Event)
{
    if (!FMode)
        return;
    QPoint M(std::clamp(Event->position().toPoint().x(), 0, width() - 1),
             std::clamp(Event->position().toPoint().y(), 0, height() - 1));
    if (Event->modifiers() == Qt::ShiftModifier) {
        // Shift alone: on the rays from the other point at the drawing
        // defaults' angle step.
        const TDefaultData* Defaults = GetDefaultAttributes();
        const QPoint Other = PointAt(FMode == 1 ? 2 : 1);
        int32_t X = M.x(), Y = M.y();
        ConstrainToAngle(Other.x(), Other.y(), X, Y, Defaults ? Defaults->AngleStep : 15.0);
        M = QPoint(X, Y);
    }
    const QRectF B = FForm.PreviewPath().boundingRect();
    const int W = std::max(1, int(B.width())), H = std::max(1, int(B.height()));
    TGradationObject& G = FForm.Gradation();
    const int32_t X = PreviewToGradUnit(M.x(), W, FForm.Zoom(), width());
    const int32_t Y = PreviewToGradUnit(M.y(), H, FForm.Zoom(), height());
    (FMode == 1 ? G.iX1 : G.iX2) = X;
    (FMode == 1 ? G.iY1 : G.iY2) = Y;
    FForm.SetStatus(GradPointsText(G.iX1, G.iY1, G.iX2, G.iY2, W, H));
    FForm.Changed();
}

void TGradPreview::mouseReleaseEvent(QMouseEvent*)
{
    FMode = 0;
    FForm.SetStatus("");
}

// ---- form ----

TfrmGradation::TfrmGradation(QWidget* Owner, TMemIniFile* Settings, std::string Section, std::string FlagsName,
                             std::string PosName, std::string PictDirName, bool PictOnly, bool PictNoGeometry)
    : QDialog(Owner), FSettings(Settings), FSection(std::move(Section)), FFlagsName(std::move(FlagsName)),
      FPosName(std::move(PosName)), FPictDirName(std::move(PictDirName)), FPictOnly(PictOnly),
      FPictNoGeometry(PictNoGeometry)
{
    setWindowTitle(QString::fromUtf8("塗り方法設定"));
    FGrad.iX1 = FGrad.iY1 = 3000;
    FGrad.iX2 = FGrad.iY2 = 13000;
    FGrad.iOpacity = 255;
    FGrad.iRepeatCount = 1;
    BuildControls();
    // Flags: page, quick test, hexadecimal, block. A page from another
    // version or a damaged file falls back to the nearest one offered.
    const std::vector<int32_t> V = ReadPickerSetting(FSettings, FSection, FFlagsName);
    if (V.size() >= 1)
        FPage = std::clamp<int32_t>(V[0], 1, 3);
    if (V.size() >= 2)
        cboxQuickTest->setChecked(V[1] != 0);
    if (V.size() >= 3)
        FHex = V[2] != 0;
    if (V.size() >= 4)
        FBlock = V[3] != 0;
    frmMono->SetPage(FPage);
    frmMono->cboxHex->setChecked(FHex);
    frmMono->cboxBlock->setChecked(FBlock);
    btnApply->setEnabled(!cboxQuickTest->isChecked());
    ApplyKind(0, "");
}

TfrmGradation::~TfrmGradation()
{
    FPage = std::clamp(frmMono->ActivePage(), 1, 3);
    FHex = frmMono->cboxHex->isChecked();
    FBlock = frmMono->cboxBlock->isChecked();
    WritePickerSetting(FSettings, FSection, FFlagsName,
                       std::to_string(FPage) + "," + (cboxQuickTest->isChecked() ? "1" : "0") + "," +
                           (FHex ? "1" : "0") + "," + (FBlock ? "1" : "0"));
}

void TfrmGradation::BuildControls()
{
    auto* Root = new QVBoxLayout(this);
    auto* Kinds = new QHBoxLayout;
    auto* Group = new QButtonGroup(this);
    const std::pair<QRadioButton**, const char*> Buttons[] = {
        {&rbtnFTNone, "なし"}, {&rbtnFTSolid, "単色"}, {&rbtnFTGrad, "グラデーション"}, {&rbtnFTPict, "画像"}};
    const int KindOf[] = {5, 1, 2, 4};
    for (int I = 0; I < 4; ++I) {
        *Buttons[I].first = new QRadioButton(QString::fromUtf8(Buttons[I].second), this);
        Group->addButton(*Buttons[I].first, KindOf[I]);
        Kinds->addWidget(*Buttons[I].first);
    }
    rbtnFTSolid->setVisible(!FPictOnly);
    rbtnFTGrad->setVisible(!FPictOnly);
    connect(Group, &QButtonGroup::idClicked, this, [this](int K) {
        if (K == FKind)
            return;
        // A kind chosen by hand goes on from the value the editor holds.
        const std::string Rotate = cboxRotate->isChecked() ? "1" : "0";
        ApplyKind(K, K == 1 ? HexOfColor(FColor) : K == 2 ? Rotate + FGrad.GradationToStr()
                                             : K == 4 ? Rotate + FillPictParamToStr(FPict) : "");
    });
    cboxRotate = new QCheckBox(QString::fromUtf8("図形と共に移動・回転"), this);
    connect(cboxRotate, &QCheckBox::toggled, this, [this] { Changed(); });
    Kinds->addWidget(cboxRotate);
    Root->addLayout(Kinds);

    // Solid colour.
    pnlMono = new QWidget(this);
    auto* Mono = new QHBoxLayout(pnlMono);
    edtHex = new QLineEdit(pnlMono);
    // Only what names a colour (up to six hexadecimal digits) is taken, so
    // the edit never shows more than the colour it stands for.
    edtHex->setValidator(new QRegularExpressionValidator(QRegularExpression("#?[0-9A-Fa-f]{0,6}"), edtHex));
    BeepOnRefusedKeys(edtHex);
    btnColor = new QPushButton(QString::fromUtf8("色の選択..."), pnlMono);
    frmMono = new TfrmSelColor(pnlMono);
    frmMono->setWindowFlags(Qt::Widget);
    // Every colour the picker shows becomes the fill colour at once; its own
    // buttons belong to a dialog and have no place here.
    frmMono->SetCallerValues(0, nullptr, [this](int32_t C, intptr_t) {
        if (!FLock)
            SetColor(C);
    });
    frmMono->cboxPreview->setChecked(true);
    for (QWidget* W : std::initializer_list<QWidget*>{frmMono->cboxPreview, frmMono->btnOK, frmMono->btnCancel,
                                                     frmMono->btnHelp, frmMono->btnApply})
        W->hide();
    frmMono->SetPage(FPage);
    auto* MonoCol = new QVBoxLayout;
    auto* HexRow = new QHBoxLayout;
    HexRow->addWidget(new QLabel("#", pnlMono));
    HexRow->addWidget(edtHex);
    HexRow->addWidget(btnColor);
    MonoCol->addWidget(frmMono);
    MonoCol->addLayout(HexRow);
    Mono->addLayout(MonoCol);
    connect(edtHex, &QLineEdit::textEdited, this, [this](const QString& T) {
        if (!FLock && !T.isEmpty())
            SetColor(ColorOfRgbText(T.toStdString(), FColor));
    });
    // Left, it shows the colour as the fill holds it: an emptied edit its
    // colour again, "ff" as "0000FF".
    connect(edtHex, &QLineEdit::editingFinished, this, [this] { edtHex->setText(RgbTextOfColor(FColor)); });
    connect(btnColor, &QPushButton::clicked, this, [this] {
        TColorDialogWex Dlg(this);
        Dlg.SetStorage(FSettings);
        Dlg.RegistryKey = FSection;
        Dlg.RegistryName = "ColDlgNuri";
        Dlg.Color = FColor;
        const int32_t Old = FColor;
        Dlg.OnPreview = [this](int32_t C, intptr_t) { SetColor(C); };
        if (Dlg.Execute())
            SetColor(Dlg.Color);
        else
            SetColor(Old);
    });
    Root->addWidget(pnlMono);

    // Gradation.
    pnlGrad = new QWidget(this);
    auto* GradLay = new QGridLayout(pnlGrad);
    pboxBars = new TGradStopBars(pnlGrad, 258);
    pboxBars->SetGradation(&FGrad);
    pboxBars->OnChange = [this] { Changed(); };
    pboxBars->OnStatus = [this](const std::string& S) { SetStatus(S); };
    pboxBars->PickColor = [this](int32_t& V, const std::function<void(int32_t)>& Live) {
        TColorDialogWex Dlg(this);
        Dlg.SetStorage(FSettings);
        Dlg.RegistryKey = FSection;
        Dlg.RegistryName = "ColDlgNuri";
        Dlg.Color = V;
        Dlg.OnPreview = [Live](int32_t C, intptr_t) { Live(C); };
        const bool Ok = Dlg.Execute();
        V = Dlg.Color;
        return Ok;
    };
    pboxBars->PickTrans = [this](int32_t& V, const std::function<void(int32_t)>& Live) {
        TTransDialogWex Dlg(this);
        Dlg.SetStorage(FSettings);
        Dlg.RegistryKey = FSection;
        Dlg.RegistryName = "TransDlg";
        Dlg.Trans = V;
        Dlg.OnPreview = [Live](int32_t C, intptr_t) { Live(C); };
        const bool Ok = Dlg.Execute();
        V = Dlg.Trans;
        return Ok;
    };
    pboxPreView = new TGradPreview(*this, pnlGrad);
    GradLay->addWidget(pboxBars, 0, 0, 1, 4);
    GradLay->addWidget(pboxPreView, 1, 0, 1, 4);
    auto Combo = [this](std::initializer_list<const char*> Items) {
        auto* C = new QComboBox(pnlGrad);
        for (const char* I : Items)
            C->addItem(QString::fromUtf8(I));
        return C;
    };
    cmbType = Combo({"直線", "放射状", "楕円", "円（正円）", "長方形", "正方形"});
    cmbWay = Combo({"一方向", "折り返し", "繰り返し"});
    cmbInterpolation = Combo({"直線的", "なめらか"});
    cmbInterpolation->setVisible(false);
    cmbZoomGrad = Combo({"10%", "25%", "50%", "100%"});
    const std::pair<QComboBox*, uint8_t TrecGradation::*> Combos[] = {
        {cmbType, &TrecGradation::bShape}, {cmbWay, &TrecGradation::bRepetition},
        {cmbInterpolation, &TrecGradation::bInterpolation}};
    for (const auto& [C, Field] : Combos)
        connect(C, &QComboBox::currentIndexChanged, this, [this, Field](int I) {
            if (FLock || I < 0)
                return;
            FGrad.*Field = static_cast<uint8_t>(I);
            Changed();
        });
    connect(cmbZoomGrad, &QComboBox::currentIndexChanged, this, [this](int I) {
        if (!FLock && I >= 0)
            SetZoomIndex(I);
    });
    edtLoopNum = NewNumberEdit(pnlGrad, MinGradRepeat, MaxGradRepeat);
    edtTrans = NewNumberEdit(pnlGrad, 0, 100);
    edtHOffest = NewNumberEdit(pnlGrad, -MaxGradHueShift, MaxGradHueShift);
    edtVOffest = NewNumberEdit(pnlGrad, -MaxGradOffset, MaxGradOffset);
    edtVScale = NewNumberEdit(pnlGrad, 0, MaxGradScale);
    edtSOffest = NewNumberEdit(pnlGrad, -MaxGradOffset, MaxGradOffset);
    edtSScale = NewNumberEdit(pnlGrad, 0, MaxGradScale);
    IntEdit(edtLoopNum, [this](int V) { FGrad.iRepeatCount = V; });
    IntEdit(edtHOffest, [this](int V) { FGrad.Adjust.iHueShift = V; });
    IntEdit(edtVOffest, [this](int V) { FGrad.Adjust.iBrightOffset = V; });
    IntEdit(edtVScale, [this](int V) { FGrad.Adjust.iBrightScale = V; });
    IntEdit(edtSOffest, [this](int V) { FGrad.Adjust.iSatOffset = V; });
    IntEdit(edtSScale, [this](int V) { FGrad.Adjust.iSatScale = V; });
    WireNumberEdit(
        edtTrans, [this](double V) {
            FGrad.iOpacity = GradOpacityOfPercent(static_cast<int>(std::lround(V)));
            Changed();
        });
    btnReverse = new QPushButton(QString::fromUtf8("反転"), pnlGrad);
    connect(btnReverse, &QPushButton::clicked, this, [this] { pboxBars->Reverse(); });
    btnDoCottection = new QPushButton(QString::fromUtf8("補正折込"), pnlGrad);
    connect(btnDoCottection, &QPushButton::clicked, this, [this] {
        for (auto& S : FGrad.ColStops)
            S.Color = AdjustColorHSB(S.Color, FGrad.Adjust);
        FGrad.Adjust = TrecColorAdjust{};
        pboxBars->RebuildAnchors();
        LoadGradControls();
        Changed();
    });
    sbtnGraCopy = new QPushButton(QString::fromUtf8("コピー"), pnlGrad);
    sbtnGraPaste = new QPushButton(QString::fromUtf8("貼付け"), pnlGrad);
    btnStyleAdd = new QPushButton(QString::fromUtf8("スタイル追加"), pnlGrad);
    btnStyleLoad = new QPushButton(QString::fromUtf8("スタイル読込"), pnlGrad);
    connect(sbtnGraCopy, &QPushButton::clicked, this, [this] {
        OleSetClipboard(
            MakeCom<TDataObjectGradation>(std::string(GradationClipboardHeader) + FGrad.GradationToStr()).Get());
        sbtnGraPaste->setEnabled(true);
    });
    connect(sbtnGraPaste, &QPushButton::clicked, this, [this] {
        std::string Body;
        const TClipboardText Got = ReadClipboardGradation(Body);
        if (Got == TClipboardText::TooLarge) {
            MessageBox(this, ClipboardTooLargeMessage(MaxGradationTextBytes), "警告", MB_OK | MB_ICONWARNING);
            return;
        }
        if (Got != TClipboardText::Read)
            return;
        // The rotate digit stays as it is.
        if (Body.empty() || !ApplyGradationText(Body, false)) {
            MessageBox(this, GradationPasteRefused, "警告", MB_OK | MB_ICONWARNING);
            return;
        }
        Changed();
    });
    Style = new TStyle(this);
    Style->RegistryKey = FSection;
    Style->RegistryName = StyleLibraryInfo(TStyleKind::Gradation).RegistryName;
    Style->HelpContext = StyleLibraryInfo(TStyleKind::Gradation).HelpContext;
    Style->EnableSetting = true;
    Style->SetIniFile(FSettings);
    Style->LateDrawing = true;
    Style->OnDrawCell = [](QPainter& P, const std::string& Title, const TObject*, const QRect& R, bool Selected) {
        P.fillRect(R, Selected ? QColor(0x80, 0x80, 0x80) : QColor(0xF0, 0xF0, 0xF0));
        P.fillRect(R.adjusted(2, 2, -2, -2), QColor(0xC0, 0xC0, 0xC0));
        P.setPen(Qt::black);
        P.drawText(R.adjusted(4, 4, -4, -4), Qt::AlignBottom | Qt::AlignHCenter, QString::fromStdString(Title));
    };
    Style->OnDrawCellLate = [](QPainter& P, const std::string& Title, const TObject* Item, const QRect& R, bool) {
        const auto* G = dynamic_cast<const TobjStyleItemGrad*>(Item);
        const QRect In = R.adjusted(3, 3, -3, -3);
        if (G && In.width() > 0 && In.height() > 0) {
            TGradationObject Grad;
            try {
                Grad.StrToGradation(G->Text);
            } catch (...) {
            }
            for (int Y = 0; Y < In.height(); Y += 8)
                for (int X = 0; X < In.width(); X += 8)
                    P.fillRect(QRect(In.left() + X, In.top() + Y, 8, 8).intersected(In),
                               ((X / 8 + Y / 8) % 2) ? Qt::black : Qt::white);
            P.drawImage(In.topLeft(), RenderGradation(Grad, In.width(), In.height()));
        }
        const QRect T = R.adjusted(4, 4, -4, -4);
        P.setPen(Qt::white);
        for (const QPoint D : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)})
            P.drawText(T.translated(D), Qt::AlignBottom | Qt::AlignHCenter, QString::fromStdString(Title));
        P.setPen(Qt::black);
        P.drawText(T, Qt::AlignBottom | Qt::AlignHCenter, QString::fromStdString(Title));
    };
    {
        std::string Folder = FSettings ? FSettings->FileName() : std::string();
        Folder = Folder.substr(0, Folder.find_last_of('/') == std::string::npos ? 0 : Folder.find_last_of('/'));
        // Until the user stores a style of their own, the delivered library
        // beside the program stands in.
        SetStyleFolders(Folder, QCoreApplication::applicationDirPath().toStdString());
    }
    connect(btnStyleAdd, &QPushButton::clicked, this, [this] {
        auto Item = std::make_unique<TobjStyleItemGrad>();
        Item->Text = FGrad.GradationToStr();
        std::unique_ptr<TObject> Data = std::move(Item);
        Style->Add(Data); // a refused item is freed with Data
    });
    connect(btnStyleLoad, &QPushButton::clicked, this, [this] {
        std::string Text;
        bool Got = false;
        if (Style->Select([&](const TObject& Item) {
                if (const auto* G = dynamic_cast<const TobjStyleItemGrad*>(&Item)) {
                    Text = G->Text;
                    Got = true;
                }
            }) && Got) {
            if (Text.empty() || !ApplyGradationText(Text, false)) {
                MessageBox(this, "このスタイルのグラデーションは読み込めないため、適用できません。", "警告",
                           MB_OK | MB_ICONWARNING);
                return;
            }
            Changed();
        }
    });
    int Row = 2;
    auto Put = [&](const char* Label, QWidget* W) {
        GradLay->addWidget(new QLabel(QString::fromUtf8(Label), pnlGrad), Row / 2 + 1, (Row % 2) * 2);
        GradLay->addWidget(W, Row / 2 + 1, (Row % 2) * 2 + 1);
        ++Row;
    };
    Put("形状", cmbType);
    Put("方向", cmbWay);
    Put("繰り返し数", edtLoopNum);
    Put("不透明度(%)", edtTrans);
    Put("色相", edtHOffest);
    Put("明度", edtVOffest);
    Put("明度倍率(%)", edtVScale);
    Put("彩度", edtSOffest);
    Put("彩度倍率(%)", edtSScale);
    Put("表示倍率", cmbZoomGrad);
    GradLay->addWidget(btnReverse, Row / 2 + 2, 0);
    GradLay->addWidget(btnDoCottection, Row / 2 + 2, 1);
    GradLay->addWidget(sbtnGraCopy, Row / 2 + 3, 0);
    GradLay->addWidget(sbtnGraPaste, Row / 2 + 3, 1);
    GradLay->addWidget(btnStyleAdd, Row / 2 + 3, 2);
    GradLay->addWidget(btnStyleLoad, Row / 2 + 3, 3);
    Root->addWidget(pnlGrad);

    // Picture.
    pnlPicture = new QWidget(this);
    auto* PictLay = new QGridLayout(pnlPicture);
    edtX = NewNumberEdit(pnlPicture, -MaxFillPictExtent, MaxFillPictExtent);
    edtY = NewNumberEdit(pnlPicture, -MaxFillPictExtent, MaxFillPictExtent);
    edtWidth = NewNumberEdit(pnlPicture, 1, MaxFillPictExtent);
    edtHeight = NewNumberEdit(pnlPicture, 1, MaxFillPictExtent);
    edtDegree = NewNumberEdit(pnlPicture, -360, 360, 0.01);
    PictEdit(edtX, &TFillPictParam::iOffsetX);
    PictEdit(edtY, &TFillPictParam::iOffsetY);
    PictEdit(edtWidth, &TFillPictParam::iWidth);
    PictEdit(edtHeight, &TFillPictParam::iHeight);
    WireNumberEdit(
        edtDegree, [this](double V) {
            FPict.dAngle = V;
            Changed();
        });
    const std::pair<const char*, TEditTrackBarWex*> PictEdits[] = {
        {"X", edtX}, {"Y", edtY}, {"幅", edtWidth}, {"高さ", edtHeight}, {"角度", edtDegree}};
    int PRow = 0;
    for (const auto& [Label, E] : PictEdits) {
        PictLay->addWidget(new QLabel(QString::fromUtf8(Label), pnlPicture), PRow, 0);
        PictLay->addWidget(E, PRow++, 1);
        E->setVisible(!FPictNoGeometry);
    }
    edtWPer = NewNumberEdit(pnlPicture, 1, 9999);
    edtHPer = NewNumberEdit(pnlPicture, 1, 9999);
    PercentEdit(edtWPer, true);
    PercentEdit(edtHPer, false);
    // Percentages run from 1 to 9999: the layout may not squeeze them below.
    for (QLineEdit* E : {edtWPer, edtHPer})
        FitEditWidth(E, {"1", "9999"});
    PictLay->addWidget(new QLabel(QString::fromUtf8("幅(%)"), pnlPicture), 2, 2);
    PictLay->addWidget(edtWPer, 2, 3);
    PictLay->addWidget(new QLabel(QString::fromUtf8("高さ(%)"), pnlPicture), 3, 2);
    PictLay->addWidget(edtHPer, 3, 3);
    rgrpIPolation = new QButtonGroup(pnlPicture);
    int QRow = 0;
    for (const char* Label : {"補完なし(&N)", "補完あり(&L)", "最高画質(&C)"}) {
        auto* B = new QRadioButton(QString::fromUtf8(Label), pnlPicture);
        rgrpIPolation->addButton(B, QRow);
        PictLay->addWidget(B, QRow++, 4);
        B->setVisible(!FPictNoGeometry);
    }
    connect(rgrpIPolation, &QButtonGroup::idClicked, this, [this](int Id) {
        if (FLock)
            return;
        FPict.bOption1 = static_cast<uint8_t>(Id);
        Changed();
    });
    for (TEditTrackBarWex* E : {edtWPer, edtHPer})
        E->setVisible(!FPictNoGeometry);
    auto* PlusInteger = new TNumberKeyFilter(this, false);
    auto* Real = new TNumberKeyFilter(this, true);
    for (TEditTrackBarWex* E : {edtWidth, edtHeight, edtWPer, edtHPer})
        E->installEventFilter(PlusInteger);
    for (TEditTrackBarWex* E : {edtX, edtY, edtDegree})
        E->installEventFilter(Real);
    cboxConstRatio = new QCheckBox(QString::fromUtf8("縦横比を固定"), pnlPicture);
    btnFitSize = new QPushButton(QString::fromUtf8("図形サイズ"), pnlPicture);
    sbtnImgLoad = new QPushButton(QString::fromUtf8("読込"), pnlPicture);
    PictLay->addWidget(cboxConstRatio, PRow, 0);
    PictLay->addWidget(btnFitSize, PRow, 1);
    PictLay->addWidget(sbtnImgLoad, PRow + 1, 0);
    cboxConstRatio->setVisible(!FPictNoGeometry);
    btnFitSize->setVisible(!FPictNoGeometry);
    connect(cboxConstRatio, &QCheckBox::toggled, this, [this](bool On) {
        if (On)
            TakeRatio();
    });
    connect(btnFitSize, &QPushButton::clicked, this, [this] {
        FPict.iWidth = std::min(FObjectSize.width(), MaxFillPictExtent);
        FPict.iHeight = std::min(FObjectSize.height(), MaxFillPictExtent);
        LoadPictControls();
        Changed();
    });
    btnAdjustSizeForImage = new QPushButton(QString::fromUtf8("図形サイズを画像に合わせる"), pnlPicture);
    PictLay->addWidget(btnAdjustSizeForImage, PRow + 1, 1);
    btnAdjustSizeForImage->setVisible(!FPictOnly && !FPictNoGeometry);
    connect(btnAdjustSizeForImage, &QPushButton::clicked, this, [this] {
        const QSize P = PictureSize();
        if (P.isEmpty() || !OnResize)
            return;
        OnResize(P.width(), P.height());
        if (OnTest)
            OnTest(this, FillCode());
    });
    sbtnImgCopy = new QPushButton(QString::fromUtf8("コピー"), pnlPicture);
    sbtnImgPaste = new QPushButton(QString::fromUtf8("貼付け"), pnlPicture);
    sbtnInputTwain = new QPushButton("TWAIN", pnlPicture);
    PictLay->addWidget(sbtnImgCopy, PRow + 2, 0);
    PictLay->addWidget(sbtnImgPaste, PRow + 2, 1);
    PictLay->addWidget(sbtnInputTwain, PRow + 3, 0);
    sbtnImgCopy->setEnabled(false);
    sbtnImgPaste->setEnabled(false);
    connect(sbtnImgCopy, &QPushButton::clicked, this, &TfrmGradation::CopyPicture);
    connect(sbtnImgPaste, &QPushButton::clicked, this, &TfrmGradation::PastePicture);
    connect(sbtnInputTwain, &QPushButton::clicked, this, &TfrmGradation::InputTwain);
    sboxGrph = new QScrollArea(pnlPicture);
    sboxGrph->setMinimumSize(160, 120);
    pboxGrph = new TPictView(*sboxGrph, nullptr);
    sboxGrph->setWidget(pboxGrph);
    PictLay->addWidget(sboxGrph, 0, 5, PRow + 4, 1);
    // The picture dialog is made at the first "読込": a file dialog lists
    // and watches its folder from the moment it exists, which an editor
    // opened only for a gradation need not pay for.
    connect(sbtnImgLoad, &QPushButton::clicked, this, [this] {
        if (!dlgOpen) {
            dlgOpen = new TOpenPreviewDialogQ(this);
            dlgOpen->Title = "画像読み込み";
            dlgOpen->PreviewTypes = opdftGraphic;
            dlgOpen->OptionsEx = opdoPreview;
            dlgOpen->SetIniFile(FSettings);
            dlgOpen->SetRegistryKey(FSection);
        }
        dlgOpen->InitialDir = ReadUserSettingText(FSettings, FSection, FPictDirName);
        dlgOpen->FileName.clear();
        if (!dlgOpen->Execute() || dlgOpen->FileName.empty())
            return;
        const std::string Path = dlgOpen->FileName;
        WritePickerSetting(FSettings, FSection, FPictDirName, Path.substr(0, Path.find_last_of('/') + 1));
        LoadPictureFile(Path);
    });
    Root->addWidget(pnlPicture);

    auto* Bottom = new QHBoxLayout;
    StatusBar = new QLabel(this);
    // The points text of a drag must neither widen the editor, moving every
    // control, nor be cut: the status has a line of its own across the
    // editor, and what it says never asks for room.
    StatusBar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    StatusBar->setMinimumWidth(0);
    StatusBar->setFixedHeight(StatusBar->fontMetrics().height() + 4);
    cboxQuickTest = new QCheckBox(QString::fromUtf8("即テスト"), this);
    btnApply = new QPushButton(QString::fromUtf8("テスト"), this);
    btnOK = new QPushButton("OK", this);
    btnCancel = new QPushButton(QString::fromUtf8("キャンセル"), this);
    Bottom->addStretch(1);
    Bottom->addWidget(cboxQuickTest);
    Bottom->addWidget(btnApply);
    Bottom->addWidget(btnOK);
    Bottom->addWidget(btnCancel);
    Root->addWidget(StatusBar);
    Root->addLayout(Bottom);
    connect(cboxQuickTest, &QCheckBox::toggled, this, [this](bool On) {
        btnApply->setEnabled(!On);
        if (On && OnTest)
            OnTest(this, FillCode());
    });
    connect(btnApply, &QPushButton::clicked, this, [this] {
        if (OnTest)
            OnTest(this, FillCode());
    });
    // The paste button follows the clipboard while the editor is open.
    auto* Clip = new TRvClipDetector(this);
    try {
        Clip->SetOnClipChange([this](QObject*) {
            sbtnGraPaste->setEnabled(ClipboardHasGradation());
            sbtnImgPaste->setEnabled(IsClipboardFormatAvailable(CF_DIB));
        });
    } catch (const Exception&) {
        // No window system: the button keeps the state of the last show.
    }
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmGradation::SetStyleFolders(const std::string& DataFolder, const std::string& ProgramFolder)
{
    Style->Library = MakeStyleLibrary(TStyleKind::Gradation, DataFolder, ProgramFolder);
}

void TfrmGradation::SetZoomIndex(int Index)
{
    static const int Zooms[] = {10, 25, 50, 100};
    if (Index < 0 || Index > 3)
        throw EUserError("TfrmGradation.cmbZoomGradChange: Illegal iIndex");
    FZoom = Zooms[Index];
    pboxPreView->update();
}

TEditTrackBarWex* TfrmGradation::NewNumberEdit(QWidget* Parent, double Lo, double Hi, double Precision)
{
    auto* E = new TEditTrackBarWex(Parent);
    E->SetMin(Lo);
    E->SetMax(Hi);
    E->SetPrecision(Precision);
    return E;
}

void TfrmGradation::WireNumberEdit(TEditTrackBarWex* Edit, const std::function<void(double)>& Set)
{
    // The edit tells only values it holds to its range and shows as stored.
    Edit->OnChange = [this, Edit, Set](QObject*) {
        if (!FLock)
            Set(Edit->Position());
    };
}

void TfrmGradation::IntEdit(TEditTrackBarWex* Edit, const std::function<void(int)>& Set)
{
    WireNumberEdit(
        Edit, [this, Set](double V) {
            Set(static_cast<int>(std::lround(V)));
            btnDoCottection->setEnabled(!(FGrad.Adjust == TrecColorAdjust{}));
            Changed();
        });
}

void TfrmGradation::PictEdit(TEditTrackBarWex* Edit, int32_t TFillPictParam::*Field)
{
    WireNumberEdit(
        Edit, [this, Field](double Value) {
            const int V = static_cast<int>(std::lround(Value));
            FPict.*Field = V;
            if (cboxConstRatio->isChecked() && FRatio > 0) {
                // The other side follows, kept within the edits' range.
                if (Field == &TFillPictParam::iWidth)
                    FPict.iHeight = std::clamp(static_cast<int>(std::lround(V / FRatio)), 1, MaxFillPictExtent);
                else if (Field == &TFillPictParam::iHeight)
                    FPict.iWidth = std::clamp(static_cast<int>(std::lround(V * FRatio)), 1, MaxFillPictExtent);
                ++FLock;
                if (Field != &TFillPictParam::iWidth)
                    edtWidth->SetPosition(FPict.iWidth);
                if (Field != &TFillPictParam::iHeight)
                    edtHeight->SetPosition(FPict.iHeight);
                --FLock;
            }
            ++FLock;
            edtWPer->setText(PercentText(true));
            edtHPer->setText(PercentText(false));
            --FLock;
            Changed();
        });
}

QString TfrmGradation::PercentText(bool Width) const
{
    const QSize P = PictureSize();
    if (P.isEmpty())
        return QString();
    return Width ? QString::number(std::lround(FPict.iWidth * 100.0 / P.width()))
                 : QString::number(std::lround(FPict.iHeight * 100.0 / P.height()));
}

QSize TfrmGradation::PictureSize() const
{
    const TListRecPictItem* Item = FStore ? FStore->GetItemByHandle(FPict.iHandle) : nullptr;
    if (!Item || !Item->Picture.pBIHeader)
        return QSize();
    const BITMAPINFOHEADER* H = RecPictureHeader(Item->Picture);
    return QSize(H->biWidth, std::abs(H->biHeight));
}

void TfrmGradation::PercentEdit(TEditTrackBarWex* Edit, bool Width)
{
    WireNumberEdit(
        Edit, [this, Width](double V) {
            const QSize P = PictureSize();
            if (P.isEmpty())
                return;
            // Through the pixel edit, so the fixed ratio applies the same way.
            const int Pixels =
                std::clamp(static_cast<int>(std::lround((Width ? P.width() : P.height()) * V / 100.0)), 1,
                           MaxFillPictExtent);
            (Width ? edtWidth : edtHeight)->SetPosition(Pixels);
        });
}

void TfrmGradation::TakeRatio()
{
    FRatio = FPict.iHeight > 0 ? double(FPict.iWidth) / FPict.iHeight : 1.0;
}

bool TfrmGradation::LoadPictureFile(const std::string& FileName)
{
    // Read through the program's own door: only a regular file, never
    // waiting on a pipe. The contents name the format, else the extension
    // (a format without a signature), as a load by name does.
    std::string Bytes;
    QImage Image;
    if (ReadRegularFile(FileName, Bytes) == 0) {
        QByteArray Data = QByteArray::fromStdString(Bytes);
        for (const QByteArray& Format : {QByteArray(), QFileInfo(QString::fromStdString(FileName)).suffix().toLatin1()}) {
            QBuffer Buffer(&Data);
            Image = QImageReader(&Buffer, Format).read();
            if (!Image.isNull())
                break;
        }
    }
    if (Image.isNull() || !FStore) {
        MessageBox(nullptr, "画像の読み込みに失敗しました。", "", MB_OK | MB_ICONERROR);
        return false;
    }
    return AddPictureImage(std::move(Image), FileName);
}

bool TfrmGradation::TakePackedDib(HGLOBAL Dib, const std::string& Name)
{
    if (!Dib || !FStore)
        return false;
    TrecPicture P;
    RecPictureLoadFromClipboardFormat(P, CF_DIB, Dib, false);
    QImage Image = ImageOfRecord(P);
    RecPictureClear(P);
    return !Image.isNull() && AddPictureImage(std::move(Image), Name);
}

bool TfrmGradation::AddPictureImage(QImage Image, const std::string& Name)
{
    Image = Image.convertToFormat(QImage::Format_RGB888);
    // Picture-only fills (masks) take the picture as grey levels.
    TrecPicture Pict;
    RecPictureCreate(Pict, TPoint{0, 0}, Image.width(), Image.height(), FPictOnly ? 8 : 24, true);
    const int64_t Line = RecPictureGetImageSize(Pict) / Image.height();
    for (int Y = 0; Y < Image.height(); ++Y) {
        uint8_t* Row = Pict.pBits + int64_t(Image.height() - 1 - Y) * Line;
        const uint8_t* Src = Image.constScanLine(Y);
        for (int X = 0; X < Image.width(); ++X) {
            const uint8_t R = Src[3 * X], G = Src[3 * X + 1], B = Src[3 * X + 2];
            if (FPictOnly) {
                Row[X] = static_cast<uint8_t>((1225 * R + 2404 * G + 467 * B) >> 12);
                continue;
            }
            Row[3 * X] = B;
            Row[3 * X + 1] = G;
            Row[3 * X + 2] = R;
        }
    }
    const int32_t Handle = FStore->AddPicture(-1, 0, 0, 0, TPoint{0, 0}, Image.width(), Image.height(), 0, Pict,
                                              Name);
    RecPictureClear(Pict); // nothing left when the store took it over
    FAdded.push_back(Handle);
    FPict.iHandle = Handle;
    FPict.iWidth = Image.width();
    FPict.iHeight = Image.height();
    TakeRatio();
    LoadPictControls();
    Changed();
    return true;
}

void TfrmGradation::CopyPicture()
{
    const TListRecPictItem* Item = FStore ? FStore->GetItemByHandle(FPict.iHandle) : nullptr;
    if (!Item || !Item->Picture.pBIHeader)
        return;
    HGLOBAL Dib = RecPictureSaveToClipboardFormat(Item->Picture);
    if (!Dib)
        return;
    if (!OpenClipboard(this)) {
        GlobalFree(Dib);
        return;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_DIB, Dib))
        GlobalFree(Dib);
    CloseClipboard();
}

void TfrmGradation::PastePicture()
{
    if (!OpenClipboard(this))
        return;
    // The clipboard's block is gone once it is closed: read it first.
    TrecPicture P;
    if (HGLOBAL Dib = GetClipboardData(CF_DIB))
        RecPictureLoadFromClipboardFormat(P, CF_DIB, Dib, false);
    CloseClipboard();
    QImage Image = ImageOfRecord(P);
    RecPictureClear(P);
    if (!Image.isNull() && FStore)
        AddPictureImage(std::move(Image), "");
}

void TfrmGradation::InputTwain()
{
    // Without a source manager the acquisition says so itself.
    HGLOBAL Image = TWAIN_AcquireImage(reinterpret_cast<HWND>(this), 0);
    if (!Image)
        return;
    TakePackedDib(Image, "");
    TWAIN_FreeImage(Image);
}

void TfrmGradation::SetUp(const std::string& Code, const QPainterPath& Outline, TListRecPict* Store)
{
    FStore = Store;
    FShowing = false;
    FAdded.clear();
    const QPainterPath Source = Outline.isEmpty() ? StarPath() : Outline;
    const QRectF B = Source.boundingRect();
    FObjectSize = Outline.isEmpty() ? QSize(400, 200)
                                    : QSize(int(std::lround(B.width())) + 1, int(std::lround(B.height())) + 1);
    // Scaled to 80 % of the preview keeping its aspect, centred.
    const double S = std::min(PreviewWidth * 0.8 / std::max(1.0, B.width()),
                              PreviewHeight * 0.8 / std::max(1.0, B.height()));
    QTransform T;
    T.translate(PreviewWidth / 2.0, PreviewHeight / 2.0);
    T.scale(S, S);
    T.translate(-B.center().x(), -B.center().y());
    FPath = T.map(Source);
    FKind = 255;
    const TFillCodeParts P = SplitFillCode(Code);
    if (!ApplyKind(P.Kind, P.Kind == 2 || P.Kind == 4 ? Code.substr(1) : P.Rest)) {
        // Nothing of a damaged value is taken: the editor starts with no kind chosen.
        ApplyKind(0, "");
        MessageBox(this, "この塗りの設定は読み込めないため、未設定として開きます。", "警告", MB_OK | MB_ICONWARNING);
    }
}

bool ReadGradationText(const std::string& Text, TGradationObject& Gradation)
{
    // The four option characters are digits, and the three the editor shows
    // name an entry of their lists: anything else is a damaged text.
    if (Text.size() < 4 || !std::all_of(Text.begin(), Text.begin() + 4, [](char C) { return C >= '0' && C <= '9'; }))
        return false;
    TGradationObject Read;
    try {
        if (!Read.StrToGradation(Text))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    // Every field within the range this editor gives it.
    if (!GradationInEditorRange(Read))
        return false;
    Gradation = std::move(Read);
    return true;
}

bool TfrmGradation::ApplyKind(int Kind, const std::string& Rest)
{
    // The value is read whole before anything changes: a damaged one leaves
    // the editor as it was.
    int32_t Color = FColor;
    TGradationObject Grad;
    TFillPictParam Pict = FPict;
    if (Kind == 1) {
        // Hexadecimal digits only, no more than a colour holds.
        if (Rest.size() > 8 || !std::all_of(Rest.begin(), Rest.end(), [](char C) { return std::isxdigit(uint8_t(C)); }))
            return false;
        Color = HexToIntDef(Rest, 0);
    } else if (Kind == 2) {
        // Without a text the gradation held goes on.
        Grad = FGrad;
        if (Rest.size() > 1 && !ReadGradationText(Rest.substr(1), Grad))
            return false;
    } else if (Kind == 4) {
        try {
            StrToFillPictParam(Rest.empty() ? "" : Rest.substr(1), Pict);
        } catch (const std::exception&) {
            return false;
        }
    }
    ++FLock;
    FKind = Kind;
    btnOK->setEnabled(Kind != 0);
    for (QRadioButton* B : {rbtnFTNone, rbtnFTSolid, rbtnFTGrad, rbtnFTPict})
        B->setAutoExclusive(Kind != 0);
    rbtnFTNone->setChecked(Kind == 5);
    rbtnFTSolid->setChecked(Kind == 1);
    rbtnFTGrad->setChecked(Kind == 2);
    rbtnFTPict->setChecked(Kind == 4);
    for (QRadioButton* B : {rbtnFTNone, rbtnFTSolid, rbtnFTGrad, rbtnFTPict})
        B->setAutoExclusive(true);
    cboxRotate->setVisible(Kind == 2 || Kind == 4);
    pnlMono->setVisible(Kind == 1);
    pnlGrad->setVisible(Kind == 2);
    pnlPicture->setVisible(Kind == 4);
    if (Kind == 1) {
        FColor = Color;
        edtHex->setText(RgbTextOfColor(FColor));
        // The first colour is the one the picker compares with.
        if (!FFirstColor) {
            frmMono->SetStartColor(FColor);
            FFirstColor = true;
        }
        frmMono->SetColor(FColor);
    } else if (Kind == 2) {
        cboxRotate->setChecked(Rest.empty() || Rest[0] == '1');
        TakeGradation(std::move(Grad));
    } else if (Kind == 4) {
        cboxRotate->setChecked(Rest.empty() || Rest[0] == '1');
        FPict = Pict;
        TakeRatio();
        LoadPictControls();
    }
    --FLock;
    QuickTest();
    return true;
}

bool TfrmGradation::ApplyGradationText(const std::string& Text, bool WithRotateDigit)
{
    const std::string Body = WithRotateDigit && !Text.empty() ? Text.substr(1) : Text;
    TGradationObject Read = FGrad;
    if (!Body.empty() && !ReadGradationText(Body, Read))
        return false;
    if (WithRotateDigit)
        cboxRotate->setChecked(Text.empty() || Text[0] == '1');
    TakeGradation(std::move(Read));
    return true;
}

void TfrmGradation::TakeGradation(TGradationObject&& Gradation)
{
    ++FLock;
    FZoom = 100;
    FGrad = std::move(Gradation);
    pboxBars->RebuildAnchors();
    LoadGradControls();
    --FLock;
    pboxPreView->update();
}

void TfrmGradation::LoadGradControls()
{
    ++FLock;
    static const int Zooms[] = {10, 25, 50, 100};
    cmbZoomGrad->setCurrentIndex(static_cast<int>(std::find(Zooms, Zooms + 4, FZoom) - Zooms) % 4);
    cmbType->setCurrentIndex(FGrad.bShape < cmbType->count() ? FGrad.bShape : -1);
    cmbWay->setCurrentIndex(FGrad.bRepetition < cmbWay->count() ? FGrad.bRepetition : -1);
    cmbInterpolation->setCurrentIndex(FGrad.bInterpolation < 2 ? FGrad.bInterpolation : -1);
    edtLoopNum->SetPosition(FGrad.iRepeatCount);
    edtTrans->SetPosition(std::lround(FGrad.iOpacity * 100.0 / 255.0));
    edtHOffest->SetPosition(FGrad.Adjust.iHueShift);
    edtVOffest->SetPosition(FGrad.Adjust.iBrightOffset);
    edtVScale->SetPosition(FGrad.Adjust.iBrightScale);
    edtSOffest->SetPosition(FGrad.Adjust.iSatOffset);
    edtSScale->SetPosition(FGrad.Adjust.iSatScale);
    btnDoCottection->setEnabled(!(FGrad.Adjust == TrecColorAdjust{}));
    --FLock;
}

void TfrmGradation::LoadPictControls()
{
    ++FLock;
    edtX->SetPosition(FPict.iOffsetX);
    edtY->SetPosition(FPict.iOffsetY);
    edtWidth->SetPosition(FPict.iWidth);
    edtHeight->SetPosition(FPict.iHeight);
    edtDegree->SetPosition(FPict.dAngle);
    edtWPer->setText(PercentText(true));
    edtHPer->setText(PercentText(false));
    // The placement's track bars run over one picture size either way
    // (the whole range without a picture).
    const QSize P = PictureSize();
    edtX->SetTrackBarMax(P.width());
    edtX->SetTrackBarMin(-P.width());
    edtY->SetTrackBarMax(P.height());
    edtY->SetTrackBarMin(-P.height());
    if (QAbstractButton* B = rgrpIPolation->button(FPict.bOption1))
        B->setChecked(true);
    const TListRecPictItem* Item = FStore ? FStore->GetItemByHandle(FPict.iHandle) : nullptr;
    sbtnImgCopy->setEnabled(Item != nullptr);
    // The view's copy is made once per picture, not at every size edit.
    if (!Item || !FShowing || FShownHandle != FPict.iHandle) {
        pboxGrph->SetImage(Item ? ImageOfRecord(Item->Picture) : QImage());
        FShowing = Item != nullptr;
        FShownHandle = FPict.iHandle;
    }
    --FLock;
}

void TfrmGradation::SetColor(int32_t Color)
{
    if (Color == FColor)
        return;
    FColor = Color;
    ++FLock;
    // What is being typed there already names the colour: rewriting it
    // would move the caret and pad the digits under the user's hands.
    if (ColorOfRgbText(edtHex->text().toStdString(), ~FColor) != FColor)
        edtHex->setText(RgbTextOfColor(FColor));
    if (frmMono->CurrentColor() != FColor)
        frmMono->SetColor(FColor);
    --FLock;
    QuickTest();
}

std::string TfrmGradation::FillCode() const
{
    const std::string Rotate = cboxRotate->isChecked() ? "1" : "0";
    switch (FKind) {
    case 1:
        return "1" + HexOfColor(FColor);
    case 2:
        return "2" + Rotate + FGrad.GradationToStr();
    case 4:
        return "4" + Rotate + FillPictParamToStr(FPict);
    case 5:
        return "5";
    default:
        return "";
    }
}

void TfrmGradation::Changed()
{
    if (FLock)
        return;
    pboxPreView->update();
    pboxBars->update();
    QuickTest();
}

void TfrmGradation::QuickTest()
{
    if (!FLock && FKind != 255 && cboxQuickTest->isChecked() && OnTest)
        OnTest(this, FillCode());
}

void TfrmGradation::SetStatus(const std::string& Text)
{
    StatusBar->setText(QString::fromStdString(Text));
}

void TfrmGradation::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_F1) {
        ShowKeyHelp(this);
        return;
    }
    QDialog::keyPressEvent(Event);
}

void TfrmGradation::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    sbtnGraPaste->setEnabled(ClipboardHasGradation());
    sbtnImgPaste->setEnabled(IsClipboardFormatAvailable(CF_DIB));
}

void TfrmGradation::setVisible(bool Visible)
{
    // Placed before the window is mapped: only then is the stored place
    // taken as the frame's, the kind of place that is saved. A place saved
    // on another monitor layout is brought back into the work area rather
    // than opening a modal window nobody can reach.
    if (Visible && !FPlaced) {
        FPlaced = true;
        PlaceWindowStoredOrCentred(this, parentWidget(), ReadUserSettingText(FSettings, FSection, FPosName));
    }
    QDialog::setVisible(Visible);
}

void TfrmGradation::done(int Result)
{
    WritePickerSetting(FSettings, FSection, FPosName, StoredPlaceText(this));
    QDialog::done(Result);
}
