#include "editors/frm_light.h"

#include "ui/ui_routines.h"
#include "editors/color_dialog_wex.h"
#include "editors/style_dialog.h"
#include "editors/style_items.h"
#include "foundation/ini_file.h"
#include "foundation/user_error.h"
#include "paint/light_set.h"
#include "platform/clipboard_formats.h"
#include "platform/cp932.h"
#include "platform/global_memory.h"
#include "platform/message_box.h"
#include "platform/qt/clipboard.h"
#include "raster/bmp_filter.h"
#include "raster/lighting.h"
#include "ui/ole2_light.h"
#include "ui/ole_qt_bridge.h"
#include "ui/restore_pos.h"
#include "ui/rv_clip_detector.h"
#include "ui/work_area.h"
#include "ui/number_key_filter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <sstream>

namespace {
constexpr double Pi = 3.14159265358979323846;
constexpr int PreviewBox = 256; // the preview's side; the picture is fitted into it
constexpr int ZoomSteps[4] = {10, 25, 50, 100};

std::string Fixed(double V, int Digits)
{
    std::ostringstream S;
    S << std::fixed << std::setprecision(Digits) << V;
    return S.str();
}

int32_t ColorOf(const uint8_t C[3]) // pixel order B, G, R -> 0x00BBGGRR
{
    return C[2] | (C[1] << 8) | (C[0] << 16);
}

void SetColorOf(uint8_t C[3], int32_t Color)
{
    C[2] = Color & 0xFF;
    C[1] = (Color >> 8) & 0xFF;
    C[0] = (Color >> 16) & 0xFF;
}

int PictureWidth(const TrecPicture& P)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    return H ? H->biWidth : 0;
}

int PictureHeight(const TrecPicture& P)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    return H ? std::abs(H->biHeight) : 0;
}

int BitCount(const TrecPicture& P)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    return H ? H->biBitCount : 0;
}

// The grey value of a plane's pixel (8 or 16 bits; 16-bit height maps keep their high byte).
uint8_t PlaneValue(const TrecPicture& P, int X, int Y)
{
    const uint8_t* Pixel = RecPictureGetPixelPtr(P, X, Y);
    if (!Pixel)
        return 0;
    if (BitCount(P) == 16) {
        uint16_t V;
        std::memcpy(&V, Pixel, 2);
        return static_cast<uint8_t>(V >> 8);
    }
    return *Pixel;
}

void SetSliderAndSpin(QSlider* Bar, QSpinBox* Edit, int Value)
{
    Bar->setValue(Value);
    Edit->setValue(Value);
}

QSlider* MakeBar(int Min, int Max)
{
    auto* Bar = new QSlider(Qt::Horizontal);
    Bar->setRange(Min, Max);
    return Bar;
}

QSpinBox* MakeSpin(int Min, int Max)
{
    auto* Edit = new QSpinBox;
    Edit->setRange(Min, Max);
    BeepOnRefusedKeys(Edit);
    return Edit;
}

// Whether a light set's text reads whole.
bool LightTextReads(const std::string& Text)
{
    try {
        TLightsAmb Probe;
        return StrToLights(Probe, Text) && LightsInEditorRange(Probe);
    } catch (const std::exception&) {
        return false;
    }
}
} // namespace

// ---------------------------------------------------------------- model

TLightEditModel::TLightEditModel() { SetText(""); }

TrecLightUnion* TLightEditModel::SelectedLight()
{
    return Selected >= 0 && Selected < static_cast<int32_t>(Lights.Lights.size()) ? &Lights.Lights[Selected] : nullptr;
}

std::string TLightEditModel::UniqueName(uint8_t Kind) const
{
    const std::string Base = LightKindNames[std::min<int>(Kind, 4)];
    for (int N = 1;; ++N) {
        const std::string Name = Base + std::to_string(N);
        if (std::none_of(Lights.Lights.begin(), Lights.Lights.end(),
                         [&](const TrecLightUnion& L) { return L.Name == Name; }))
            return Name;
    }
}

int32_t TLightEditModel::Add()
{
    TrecLightUnion L;
    L.Color[0] = L.Color[1] = L.Color[2] = 0xFF;
    L.Intensity = 50;
    Seed(L, LightKindParallel, BoxWidth, BoxHeight);
    L.Name = UniqueName(LightKindParallel);
    Lights.Lights.push_back(L);
    return Selected = static_cast<int32_t>(Lights.Lights.size()) - 1;
}

bool TLightEditModel::Delete()
{
    if (!SelectedLight())
        return false;
    Lights.Lights.erase(Lights.Lights.begin() + Selected);
    if (Selected >= static_cast<int32_t>(Lights.Lights.size()))
        Selected = static_cast<int32_t>(Lights.Lights.size()) - 1;
    return true;
}

TLightEditModel::TRename TLightEditModel::Rename(std::string& Name)
{
    Name = KeepCp932Characters(Name);
    TrecLightUnion* L = SelectedLight();
    if (!L || Name == L->Name)
        return TRename::Unchanged;
    if (Name.empty())
        return TRename::Empty;
    for (const TrecLightUnion& Other : Lights.Lights)
        if (Other.Name == Name)
            return TRename::Taken;
    L->Name = Name;
    return TRename::Renamed;
}

std::string LightRenameWarning(TLightEditModel::TRename Result, const std::string& Name)
{
    switch (Result) {
    case TLightEditModel::TRename::Empty:
        return "最低一文字は入力してください。";
    case TLightEditModel::TRename::Taken:
        return Name + " は、登録されています。";
    default:
        return "";
    }
}

void TLightEditModel::SetKind(uint8_t Kind)
{
    if (TrecLightUnion* L = SelectedLight())
        Seed(*L, Kind, BoxWidth, BoxHeight);
}

void TLightEditModel::Seed(TrecLightUnion& Light, uint8_t Kind, double BoxWidth, double BoxHeight)
{
    // The soft edge survives a kind change, so a spot keeps its blur.
    const double Soft = Light.Kind == LightKindSpot ? Light.Shape[5] : 0.3;
    Light.Kind = Kind;
    std::fill(std::begin(Light.Shape), std::end(Light.Shape), 0.0);
    double* S = Light.Shape;
    switch (Kind) {
    case LightKindPoint:
    case LightKindParallel:
    case LightKindLine:
        S[0] = S[1] = 0.5;
        S[2] = S[3] = 0.3;
        if (Kind == LightKindLine) {
            S[4] = S[5] = -0.5;
            S[6] = S[7] = -0.3;
        }
        break;
    case LightKindSpot: {
        // Axis from (-0.5, 0.5) to (1.5, 0.5) of the box, its rim above the
        // middle (x 0.5) at a quarter of the axis.
        const double W = BoxWidth > 0 ? BoxWidth : 1, H = BoxHeight > 0 ? BoxHeight : 1;
        S[0] = -0.5;
        S[1] = 0.5;
        S[2] = 0;
        S[3] = 2 * W / std::hypot(W, H);
        S[4] = -0.25;
        S[5] = Soft;
        break;
    }
    default:
        break;
    }
}

int32_t TLightEditModel::SpotSpread(const TrecLightUnion& Light)
{
    return static_cast<int32_t>(std::lround(std::clamp(Light.Shape[5] * 200 / Pi, 0.0, 100.0)));
}

void TLightEditModel::SetSpotSpread(TrecLightUnion& Light, int32_t Spread)
{
    Light.Shape[5] = std::clamp(Spread, 0, 100) * Pi / 200;
}

std::string TLightEditModel::Text() const { return LightsToStr(Lights); }

bool TLightEditModel::SetText(const std::string& Text)
{
    TLightsAmb Fresh;
    Fresh.Color[0] = Fresh.Color[1] = Fresh.Color[2] = 0xFF;
    Fresh.Ks = 100;
    Fresh.Sh = 20;
    Fresh.M = 0;
    Fresh.Dp = 10;
    const bool Ok = StrToLights(Fresh, Text);
    Lights = std::move(Fresh);
    Selected = Lights.Lights.empty() ? -1 : 0;
    return Ok;
}

std::string TLightEditModel::StatusText() const
{
    if (Selected < 0 || Selected >= static_cast<int32_t>(Lights.Lights.size()))
        return "";
    const TrecLightUnion& L = Lights.Lights[Selected];
    const double* S = L.Shape;
    const double Dx = S[2] - S[0], Dy = S[3] - S[1];
    switch (L.Kind) {
    case LightKindPoint:
        return "中心=( " + Fixed(S[0], 2) + ", " + Fixed(S[1], 2) + " )  半径=" + Fixed(std::hypot(Dx, Dy), 2);
    case LightKindParallel:
    case LightKindLine: {
        // The height as the renderer takes it: a quarter turn less the
        // pointer's length times a quarter turn, never below the page.
        const double Height = std::max(0.0, 90 - std::hypot(Dx, Dy) * 90);
        const double Angle = std::atan2(Dy, Dx) * 180 / Pi;
        if (L.Kind == LightKindParallel)
            return "(高さ, 角度)=( " + Fixed(Height, 1) + "', " + Fixed(Angle, 1) + "' )";
        return "角度(高さ方向, 横周り)=( " + Fixed(Height, 1) + "', " + Fixed(Angle, 1) + "' )";
    }
    case LightKindSpot:
        return "(角度, つぶれ具合)=( " + Fixed(S[2] * 180 / Pi, 1) + "', " + Fixed(S[4], 3) + " )";
    default:
        return "";
    }
}

// ---------------------------------------------------------------- preview

TLightPreview::TLightPreview(TfrmLight& Form) : QWidget(&Form), FForm(Form)
{
    setFixedSize(PreviewBox, PreviewBox);
    setMouseTracking(false);
}

void TLightPreview::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    P.fillRect(rect(), QColor(0x80, 0x80, 0x80));
    const QImage& Img = FForm.FResultImage;
    if (!Img.isNull()) {
        const double Z = FForm.FZoom / 100.0;
        const QRectF Target((width() - Img.width() * Z) / 2, (height() - Img.height() * Z) / 2, Img.width() * Z,
                            Img.height() * Z);
        P.setRenderHint(QPainter::SmoothPixmapTransform, false);
        P.drawImage(Target, Img);
    }
    P.setClipRect(rect());
    for (size_t I = 0; I < FForm.Anchors.size(); ++I)
        if (static_cast<int32_t>(I) != FForm.Model.Selected)
            FForm.Anchors[I].Draw(P, false);
    if (FForm.Model.Selected >= 0 && FForm.Model.Selected < static_cast<int32_t>(FForm.Anchors.size()))
        FForm.Anchors[FForm.Model.Selected].Draw(P, true);
}

void TLightPreview::mousePressEvent(QMouseEvent* E)
{
    if (E->button() == Qt::LeftButton)
        FForm.MousePress(E->position().toPoint());
}

void TLightPreview::mouseMoveEvent(QMouseEvent* E)
{
    if (E->buttons() & Qt::LeftButton)
        FForm.MouseMove(E->position().toPoint());
}

void TLightPreview::mouseReleaseEvent(QMouseEvent* E)
{
    if (E->button() == Qt::LeftButton)
        FForm.MouseRelease();
}

// ---------------------------------------------------------------- form

std::function<bool(const std::string&, const std::string&, std::string&)> TfrmLight::InputQuery = InputCp932QueryBox;

TfrmLight::TfrmLight(QWidget* Owner, TMemIniFile* IniFile, const std::string& Section, const std::string& FlagsName,
                     const std::string& PositionName)
    : QDialog(Owner), FIniFile(IniFile), FSection(Section), FFlagsName(FlagsName), FPositionName(PositionName)
{
    setWindowTitle("照明設定");
    auto* Root = new QVBoxLayout(this);
    auto* Top = new QHBoxLayout;
    Root->addLayout(Top);

    auto* Left = new QVBoxLayout;
    Top->addLayout(Left);
    pboxPreView = new TLightPreview(*this);
    Left->addWidget(pboxPreView);
    cmbZoom = new QComboBox;
    for (int Z : ZoomSteps)
        cmbZoom->addItem(QString::number(Z) + "%");
    cmbZoom->setCurrentIndex(3);
    Left->addWidget(cmbZoom);
    Left->addStretch();

    pgcMain = new QTabWidget;
    Top->addWidget(pgcMain);

    auto* LightPage = new QWidget;
    auto* LG = new QGridLayout(LightPage);
    lboxLightName = new QListWidget;
    LG->addWidget(lboxLightName, 0, 0, 4, 1);
    btnAddLight = new QPushButton("追加...");
    btnDelLight = new QPushButton("削除");
    btnRename = new QPushButton("改名...");
    LG->addWidget(btnAddLight, 0, 1);
    LG->addWidget(btnDelLight, 1, 1);
    LG->addWidget(btnRename, 2, 1);
    cmbLightType = new QComboBox;
    for (const char* Name : LightKindNames)
        cmbLightType->addItem(QString::fromUtf8(Name));
    LG->addWidget(new QLabel("種類"), 4, 0);
    LG->addWidget(cmbLightType, 4, 1);
    LG->addWidget(new QLabel("色"), 5, 0);
    pboxLight = new QPushButton;
    pboxLight->setFixedSize(48, 20);
    LG->addWidget(pboxLight, 5, 1);
    LG->addWidget(new QLabel("明るさ  暗い(0) - 明るい(100)"), 6, 0, 1, 2);
    tkbarBright = MakeBar(0, MaxLightIntensity);
    edtBright = MakeSpin(-MaxLightIntensity, MaxLightIntensity);
    LG->addWidget(tkbarBright, 7, 0);
    LG->addWidget(edtBright, 7, 1);
    LG->addWidget(new QLabel("ぼけ具合"), 8, 0, 1, 2);
    tkbarBoke = MakeBar(0, 100);
    edtBoke = MakeSpin(0, 100);
    LG->addWidget(tkbarBoke, 9, 0);
    LG->addWidget(edtBoke, 9, 1);
    pgcMain->addTab(LightPage, "光源");

    auto* GlossPage = new QWidget;
    auto* GG = new QGridLayout(GlossPage);
    GG->addWidget(new QLabel("性質  通常(0) - 金属的(100)"), 0, 0, 1, 2);
    tkbarMetalic = MakeBar(0, MaxLightPercent);
    edtMetalic = MakeSpin(0, MaxLightPercent);
    GG->addWidget(tkbarMetalic, 1, 0);
    GG->addWidget(edtMetalic, 1, 1);
    GG->addWidget(new QLabel("広がり  広い(1) - 狭い(100)"), 2, 0, 1, 2);
    tkbarSpecExp = MakeBar(MinLightShininess, MaxLightShininess);
    edtSpecExp = MakeSpin(MinLightShininess, MaxLightShininess);
    GG->addWidget(tkbarSpecExp, 3, 0);
    GG->addWidget(edtSpecExp, 3, 1);
    GG->addWidget(new QLabel("明るさ"), 4, 0, 1, 2);
    tkbarSpecBright = MakeBar(0, MaxLightPercent);
    edtSpecBright = MakeSpin(0, MaxLightPercent);
    GG->addWidget(tkbarSpecBright, 5, 0);
    GG->addWidget(edtSpecBright, 5, 1);
    GG->addWidget(new QLabel("色"), 6, 0);
    pboxSpeculum = new QPushButton;
    pboxSpeculum->setFixedSize(48, 20);
    GG->addWidget(pboxSpeculum, 6, 1);
    GG->addWidget(new QLabel("凹凸  低い(0) - 高い(100)"), 7, 0, 1, 2);
    tkbarHeight = MakeBar(0, int(10 * MaxLightBumpDepth));
    edtHeight = new QDoubleSpinBox;
    edtHeight->setRange(0, MaxLightBumpDepth);
    edtHeight->setDecimals(1);
    edtHeight->setSingleStep(0.1);
    BeepOnRefusedKeys(edtHeight);
    GG->addWidget(tkbarHeight, 8, 0);
    GG->addWidget(edtHeight, 8, 1);
    GG->setRowStretch(9, 1);
    pgcMain->addTab(GlossPage, "光沢");

    auto* Bottom = new QHBoxLayout;
    Root->addLayout(Bottom);
    sbtnLightCopy = new QToolButton;
    sbtnLightCopy->setText("コピー");
    sbtnLightPaste = new QToolButton;
    sbtnLightPaste->setText("貼り付け");
    btnStyleAdd = new QPushButton("スタイル登録...");
    btnStyleLoad = new QPushButton("スタイル読込...");
    cboxQuickTest = new QCheckBox("即テスト");
    btnApply = new QPushButton("テスト");
    btnOK = new QPushButton("OK");
    btnCancel = new QPushButton("キャンセル");
    for (QWidget* W : std::initializer_list<QWidget*>{sbtnLightCopy, sbtnLightPaste, btnStyleAdd, btnStyleLoad})
        Bottom->addWidget(W);
    Bottom->addStretch();
    for (QWidget* W : std::initializer_list<QWidget*>{cboxQuickTest, btnApply, btnOK, btnCancel})
        Bottom->addWidget(W);
    btnBackPaijnt = new QPushButton(this);
    btnMaskPaint = new QPushButton(this);
    btnBumpPaint = new QPushButton(this);
    for (QPushButton* B : {btnBackPaijnt, btnMaskPaint, btnBumpPaint})
        B->hide();
    StatusBar = new QStatusBar;
    StatusBar->setSizeGripEnabled(false);
    Root->addWidget(StatusBar);

    Style = new TStyle(this);
    const std::string DataFolder =
        IniFile ? QFileInfo(QString::fromStdString(IniFile->FileName())).absolutePath().toStdString() : std::string();
    Style->Library = MakeStyleLibrary(TStyleKind::Light, DataFolder, QCoreApplication::applicationDirPath().toStdString());
    Style->RegistryKey = Section;
    Style->RegistryName = StyleLibraryInfo(TStyleKind::Light).RegistryName;
    Style->HelpContext = StyleLibraryInfo(TStyleKind::Light).HelpContext;
    Style->EnableSetting = true;
    Style->LateDrawing = true;
    Style->OnDrawCell = StyleDrawCell;
    Style->OnDrawCellLate = StyleDrawCellLate;
    Style->SetIniFile(IniFile);

    connect(cmbZoom, &QComboBox::currentIndexChanged, this, [this](int I) {
        if (FLock == 0)
            SetZoomIndex(I);
    });
    connect(lboxLightName, &QListWidget::currentRowChanged, this, [this](int Row) {
        if (FLock == 0)
            SelectLight(Row);
    });
    connect(btnAddLight, &QPushButton::clicked, this, [this] { AddLight(); });
    connect(btnDelLight, &QPushButton::clicked, this, [this] { DeleteLight(); });
    connect(btnRename, &QPushButton::clicked, this, [this] { RenameLight(); });
    connect(cmbLightType, &QComboBox::currentIndexChanged, this, [this](int I) {
        if (FLock == 0)
            SetLightKind(I);
    });
    connect(pboxLight, &QPushButton::clicked, this, [this] { PickColor(false); });
    connect(pboxSpeculum, &QPushButton::clicked, this, [this] { PickColor(true); });
    // Each bar and its edit keep each other in step; the value goes to the set.
    auto Pair = [this](QSlider* Bar, QSpinBox* Edit, std::function<void(int)> Write) {
        connect(Bar, &QSlider::valueChanged, this, [this, Edit, Write](int V) {
            if (FLock)
                return;
            ++FLock;
            Edit->setValue(V);
            --FLock;
            Write(V);
            Changed();
        });
        connect(Edit, &QSpinBox::valueChanged, this, [this, Bar, Write](int V) {
            if (FLock)
                return;
            ++FLock;
            Bar->setValue(V);
            --FLock;
            Write(V);
            Changed();
        });
    };
    Pair(tkbarBright, edtBright, [this](int V) {
        if (TrecLightUnion* L = Model.SelectedLight())
            L->Intensity = V;
    });
    Pair(tkbarBoke, edtBoke, [this](int V) {
        if (TrecLightUnion* L = Model.SelectedLight())
            TLightEditModel::SetSpotSpread(*L, V);
    });
    Pair(tkbarMetalic, edtMetalic, [this](int V) { Model.Lights.M = V; });
    Pair(tkbarSpecExp, edtSpecExp, [this](int V) { Model.Lights.Sh = V; });
    Pair(tkbarSpecBright, edtSpecBright, [this](int V) { Model.Lights.Ks = V; });
    connect(tkbarHeight, &QSlider::valueChanged, this, [this](int V) {
        if (FLock)
            return;
        ++FLock;
        edtHeight->setValue(V / 10.0);
        --FLock;
        Model.Lights.Dp = V / 10.0;
        Changed();
    });
    connect(edtHeight, &QDoubleSpinBox::valueChanged, this, [this](double V) {
        if (FLock)
            return;
        ++FLock;
        tkbarHeight->setValue(static_cast<int>(std::lround(V * 10)));
        --FLock;
        Model.Lights.Dp = V;
        Changed();
    });
    connect(cboxQuickTest, &QCheckBox::toggled, this, [this](bool On) {
        btnApply->setEnabled(!On);
        if (On && FLock == 0)
            RunTest();
    });
    connect(btnApply, &QPushButton::clicked, this, [this] { RunTest(); });
    connect(sbtnLightCopy, &QToolButton::clicked, this, [this] { CopyLight(); });
    connect(sbtnLightPaste, &QToolButton::clicked, this, [this] { PasteLight(); });
    connect(btnStyleAdd, &QPushButton::clicked, this, [this] { StyleAdd(); });
    connect(btnStyleLoad, &QPushButton::clicked, this, [this] { StyleLoad(); });
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* Clip = new TRvClipDetector(this);
    try {
        Clip->SetOnClipChange([this](QObject*) { sbtnLightPaste->setEnabled(ClipboardHasLight()); });
    } catch (const Exception&) {
        // Without a window system there is no watch; the button follows the
        // clipboard as it was when the form opened.
    }
    sbtnLightPaste->setEnabled(ClipboardHasLight());
    LoadSurfaceControls();
    LoadLightControls();
}

TfrmLight::~TfrmLight() = default;

bool TfrmLight::SetParam(const std::string& LightText, const TrecPicture* Dest, const TRect* ObjectRect,
                         const TrecPicture* Bump, const TrecPicture* Mask)
{
    if (!Dest || !RecPictureHeader(*Dest)) {
        MessageBox(this, "TfrmLight.SetParam : precPictDest = nil", "エラー", MB_OK | MB_ICONERROR);
        return false;
    }
    TRect R;
    if ((Mask && !RecPictureIntersectRect(*Dest, *Mask, R)) || (Bump && !RecPictureIntersectRect(*Dest, *Bump, R)))
        return false;
    const int W = PictureWidth(*Dest), H = PictureHeight(*Dest);
    if (W <= 0 || H <= 0)
        return false;
    const double Scale = std::min(double(PreviewBox) / W, double(PreviewBox) / H);
    const int PW = std::max(1, static_cast<int>(std::lround(W * Scale)));
    const int PH = std::max(1, static_cast<int>(std::lround(H * Scale)));
    RecPictureCreate(FDest.P, TPoint{0, 0}, PW, PH, 24, false);
    RecPictureCreate(FMask.P, TPoint{0, 0}, PW, PH, 8, false);
    RecPictureCreate(FBump.P, TPoint{0, 0}, PW, PH, 8, false);
    FHasMask = Mask != nullptr;
    FHasBump = Bump != nullptr;
    const int Depth = BitCount(*Dest);
    for (int Y = 0; Y < PH; ++Y)
        for (int X = 0; X < PW; ++X) {
            // Nearest source pixel, in page coordinates.
            const int SX = Dest->iLeft + std::min(W - 1, static_cast<int>((X + 0.5) / Scale));
            const int SY = Dest->iTop + std::min(H - 1, static_cast<int>((Y + 0.5) / Scale));
            uint8_t* D = RecPictureGetPixelPtr(FDest.P, X, Y);
            const uint8_t* S = RecPictureGetPixelPtr(*Dest, SX, SY);
            if (S && (Depth == 24 || Depth == 32))
                std::memcpy(D, S, 3);
            else if (S && Depth == 8)
                D[0] = D[1] = D[2] = *S;
            else
                D[0] = D[1] = D[2] = 0;
            *RecPictureGetPixelPtr(FMask.P, X, Y) = Mask ? PlaneValue(*Mask, SX, SY) : 0;
            *RecPictureGetPixelPtr(FBump.P, X, Y) = Bump ? PlaneValue(*Bump, SX, SY) : 0;
        }
    TRect Obj{Dest->iLeft, Dest->iTop, Dest->iLeft + W, Dest->iTop + H};
    if (ObjectRect)
        Obj = *ObjectRect;
    FObject = TRect{static_cast<int32_t>(std::lround((Obj.Left - Dest->iLeft) * Scale)),
                    static_cast<int32_t>(std::lround((Obj.Top - Dest->iTop) * Scale)),
                    static_cast<int32_t>(std::lround((Obj.Right - Dest->iLeft) * Scale)),
                    static_cast<int32_t>(std::lround((Obj.Bottom - Dest->iTop) * Scale))};
    Model.BoxWidth = std::max(1, FObject.Right - FObject.Left);
    Model.BoxHeight = std::max(1, FObject.Bottom - FObject.Top);
    ApplyLightText(LightText);
    return true;
}

TLightMapping TfrmLight::Mapping() const
{
    const double Z = FZoom / 100.0;
    const int PW = PictureWidth(FDest.P), PH = PictureHeight(FDest.P);
    const double DX = (PreviewBox - PW * Z) / 2, DY = (PreviewBox - PH * Z) / 2;
    TLightMapping M;
    M.Left = DX + FObject.Left * Z;
    M.Top = DY + FObject.Top * Z;
    M.Width = (FObject.Right - FObject.Left) * Z;
    M.Height = (FObject.Bottom - FObject.Top) * Z;
    return M;
}

void TfrmLight::SetZoomIndex(int Index)
{
    if (Index < 0 || Index >= 4)
        throw EUserError("TfrmLight.cmbZoomChange: Illegal iIndex");
    FZoom = ZoomSteps[Index];
    ++FLock;
    cmbZoom->setCurrentIndex(Index);
    --FLock;
    RebuildAnchors();
    pboxPreView->update();
}

void TfrmLight::RebuildAnchors()
{
    const TLightMapping M = Mapping();
    Anchors.clear();
    Anchors.resize(Model.Lights.Lights.size());
    for (size_t I = 0; I < Anchors.size(); ++I)
        Anchors[I].Build(Model.Lights.Lights[I], static_cast<int32_t>(I), M);
    FDragAnchor = nullptr;
    FDragging = false;
}

std::string TfrmLight::LightText()
{
    // A spot's values are written from its anchors as each drag moves them;
    // taking them again from the anchors here would round them to the
    // preview's pixels at every test.
    return Model.Text();
}

void TfrmLight::ApplyLightText(const std::string& Text)
{
    Model.SetText(Text);
    FZoom = 100;
    ++FLock;
    cmbZoom->setCurrentIndex(3);
    lboxLightName->clear();
    for (const TrecLightUnion& L : Model.Lights.Lights)
        lboxLightName->addItem(QString::fromStdString(L.Name));
    lboxLightName->setCurrentRow(Model.Selected);
    --FLock;
    LoadSurfaceControls();
    RebuildAnchors();
    LoadLightControls();
    Render();
}

void TfrmLight::LoadSurfaceControls()
{
    ++FLock;
    SetSliderAndSpin(tkbarMetalic, edtMetalic, Model.Lights.M);
    SetSliderAndSpin(tkbarSpecExp, edtSpecExp, Model.Lights.Sh);
    SetSliderAndSpin(tkbarSpecBright, edtSpecBright, Model.Lights.Ks);
    tkbarHeight->setValue(static_cast<int>(std::lround(Model.Lights.Dp * 10)));
    edtHeight->setValue(Model.Lights.Dp);
    --FLock;
    SwatchColors();
}

void TfrmLight::LoadLightControls()
{
    ++FLock;
    const TrecLightUnion* L = Model.SelectedLight();
    for (QWidget* W : std::initializer_list<QWidget*>{cmbLightType, pboxLight, tkbarBright, edtBright, btnDelLight,
                                                       btnRename})
        W->setEnabled(L != nullptr);
    const bool Spot = L && L->Kind == LightKindSpot;
    tkbarBoke->setEnabled(Spot);
    edtBoke->setEnabled(Spot);
    if (L) {
        cmbLightType->setCurrentIndex(std::min<int>(L->Kind, 4));
        SetSliderAndSpin(tkbarBright, edtBright, L->Intensity);
        SetSliderAndSpin(tkbarBoke, edtBoke, Spot ? TLightEditModel::SpotSpread(*L) : 0);
    }
    --FLock;
    SwatchColors();
    UpdateStatus();
}

void TfrmLight::SwatchColors()
{
    auto Paint = [](QPushButton* B, const uint8_t* C, bool On) {
        B->setStyleSheet(On ? QString("background-color: rgb(%1,%2,%3)").arg(C[2]).arg(C[1]).arg(C[0]) : QString());
    };
    const TrecLightUnion* L = Model.SelectedLight();
    static const uint8_t None[3] = {0, 0, 0};
    Paint(pboxLight, L ? L->Color : None, L != nullptr);
    Paint(pboxSpeculum, Model.Lights.Color, true);
}

void TfrmLight::UpdateStatus() { StatusBar->showMessage(QString::fromStdString(Model.StatusText())); }

void TfrmLight::Render()
{
    FResultImage = QImage();
    const int PW = PictureWidth(FDest.P), PH = PictureHeight(FDest.P);
    if (PW > 0 && PH > 0) {
        RecPictureCopy(FResult.P, FDest.P, false);
        int32_t Result = 0;
        try {
            if (!Model.Lights.Lights.empty())
                Result = RecPictureLight(FResult.P, FHasMask ? &FMask.P : nullptr, &Model.Lights,
                                         FHasBump ? &FBump.P : nullptr, nullptr, 0, &FObject, nullptr);
        } catch (const std::exception&) {
            Result = -1;
        }
        if (Result != 0)
            MessageBox(this, "TfrmLight.MakeBackPicture: iResult <> 0", "エラー", MB_OK | MB_ICONERROR);
        FResultImage = QImage(PW, PH, QImage::Format_RGB32);
        for (int Y = 0; Y < PH; ++Y)
            for (int X = 0; X < PW; ++X) {
                const uint8_t* S = RecPictureGetPixelPtr(FResult.P, X, Y);
                FResultImage.setPixel(X, Y, qRgb(S[2], S[1], S[0]));
            }
    }
    pboxPreView->update();
}

void TfrmLight::Changed(bool Rerender)
{
    if (FLock)
        return;
    if (Rerender)
        Render();
    if (cboxQuickTest->isChecked())
        RunTest();
}

void TfrmLight::RunTest()
{
    if (OnTest)
        OnTest(*this, LightText());
}

void TfrmLight::SelectLight(int Index)
{
    Model.Selected = Index >= 0 && Index < static_cast<int>(Model.Lights.Lights.size()) ? Index : -1;
    ++FLock;
    lboxLightName->setCurrentRow(Model.Selected);
    --FLock;
    LoadLightControls();
    pboxPreView->update();
}

void TfrmLight::AddLight()
{
    const int I = Model.Add();
    ++FLock;
    lboxLightName->addItem(QString::fromStdString(Model.Lights.Lights[I].Name));
    --FLock;
    RebuildAnchors();
    SelectLight(I);
    Changed();
}

void TfrmLight::DeleteLight()
{
    const int Old = Model.Selected;
    if (!Model.Delete())
        return;
    ++FLock;
    delete lboxLightName->takeItem(Old);
    --FLock;
    RebuildAnchors();
    SelectLight(Model.Selected);
    Changed();
}

void TfrmLight::RenameLight()
{
    TrecLightUnion* L = Model.SelectedLight();
    if (!L)
        return;
    std::string Name = L->Name;
    while (InputQuery("名前の変更", "新しい名前を入力して下さい", Name)) {
        const TLightEditModel::TRename R = Model.Rename(Name);
        if (R == TLightEditModel::TRename::Unchanged)
            return;
        if (R == TLightEditModel::TRename::Renamed) {
            lboxLightName->item(Model.Selected)->setText(QString::fromStdString(Name));
            Changed(false);
            return;
        }
        MessageBox(this, LightRenameWarning(R, Name), "警告", MB_OK | MB_ICONWARNING);
    }
}

void TfrmLight::SetLightKind(int Kind)
{
    if (!Model.SelectedLight() || Kind < 0 || Kind > 4)
        return;
    Model.SetKind(static_cast<uint8_t>(Kind));
    RebuildAnchors();
    LoadLightControls();
    Changed();
}

void TfrmLight::PickColor(bool Gloss)
{
    TrecLightUnion* L = Model.SelectedLight();
    if (!Gloss && !L)
        return;
    uint8_t* C = Gloss ? Model.Lights.Color : L->Color;
    TColorDialogWex Dialog(this);
    Dialog.SetStorage(FIniFile);
    Dialog.RegistryKey = FSection;
    Dialog.RegistryName = "ColDlg";
    Dialog.Color = ColorOf(C);
    Dialog.Run = ColorDialogRun;
    if (!Dialog.Execute())
        return;
    SetColorOf(C, Dialog.Color);
    SwatchColors();
    Changed();
}

void TfrmLight::CopyLight()
{
    OleSetClipboard(MakeCom<TLightDataObject>(LightClipboardHeader + LightText()).Get());
}

void TfrmLight::PasteLight()
{
    // The blocks hold CP932 text; the light set's names are UTF-8 in memory.
    std::string Body;
    const TClipboardText Got = ReadClipboardLight(Body);
    if (Got == TClipboardText::TooLarge) {
        MessageBox(this, ClipboardTooLargeMessage(MaxLightTextBytes), "警告", MB_OK | MB_ICONWARNING);
        return;
    }
    if (Got != TClipboardText::Read)
        return;
    // An unreadable set would leave the editor with what was read of it.
    if (!LightTextReads(Body)) {
        MessageBox(this, LightPasteRefused, "警告", MB_OK | MB_ICONWARNING);
        return;
    }
    ApplyLightText(Body);
    Changed(false);
}

void TfrmLight::StyleAdd()
{
    auto Item = std::make_unique<TobjStyleItemLight>();
    Item->Text = LightText();
    std::unique_ptr<TObject> Data = std::move(Item);
    Style->Add(Data);
}

void TfrmLight::StyleLoad()
{
    std::string Text;
    bool Got = false;
    Style->Select([&](const TObject& Item) {
        if (const auto* L = dynamic_cast<const TobjStyleItemLight*>(&Item)) {
            Text = L->Text;
            Got = true;
        }
    });
    if (!Got)
        return;
    // A damaged item would leave the editor with what was read of it.
    if (!LightTextReads(Text)) {
        MessageBox(this, "このスタイルのライトは読み込めないため、適用できません。", "警告", MB_OK | MB_ICONWARNING);
        return;
    }
    ApplyLightText(Text);
    Changed(false);
}

void TfrmLight::MousePress(QPoint P)
{
    FDragAnchor = nullptr;
    FDragging = false;
    FDownPoint = FLastPoint = P;
    TAnchorLight* Hit = nullptr;
    if (Model.Selected >= 0 && Model.Selected < static_cast<int>(Anchors.size()))
        Hit = Anchors[Model.Selected].HitTest(P.x(), P.y(), 4);
    for (size_t I = 0; !Hit && I < Anchors.size(); ++I)
        Hit = Anchors[I].HitTest(P.x(), P.y(), 4);
    if (!Hit)
        return;
    if (Hit->Light != Model.Selected)
        SelectLight(Hit->Light);
    FDragAnchor = Hit;
    if (Hit->LightKind == LightKindSpot) {
        const TAnchorsLight& A = Anchors[Hit->Light];
        if (A.Main() && A.OfKind(2) && A.OfKind(3))
            FFlatness = SpotFlatness(*A.Main(), *A.OfKind(2), *A.OfKind(3));
    }
}

void TfrmLight::MouseMove(QPoint P)
{
    if (!FDragAnchor)
        return;
    if (!FDragging) {
        const QPoint D = P - FDownPoint;
        if (D.x() * D.x() + D.y() * D.y() < 9)
            return;
        FDragging = true;
    }
    const int DX = P.x() - FLastPoint.x(), DY = P.y() - FLastPoint.y();
    FLastPoint = P;
    TAnchorLight& A = *FDragAnchor;
    TAnchorsLight& List = Anchors[A.Light];
    TrecLightUnion& L = Model.Lights.Lights[A.Light];
    const TLightMapping M = Mapping();
    if (L.Kind == LightKindSpot && A.Kind != 1) {
        if (!List.Main() || !List.OfKind(2) || !List.OfKind(3))
            return;
        const bool Moved = A.Kind == 2 ? SpotMoveEnd(*List.Main(), A, *List.OfKind(3), A.X + DX, A.Y + DY, FFlatness)
                                       : SpotMoveRim(*List.Main(), *List.OfKind(2), A, A.X + DX, A.Y + DY);
        if (!Moved)
            return;
        List.ApplyTo(L, M);
    } else {
        A.X += DX;
        A.Y += DY;
        if (A.Kind == 1)
            for (TAnchorLight* O : A.Others) {
                O->X += DX;
                O->Y += DY;
            }
        // The points move by the delta in box fractions, so values that
        // fall between pixels keep their exact place.
        const double FX = M.Width != 0 ? DX / M.Width : 0, FY = M.Height != 0 ? DY / M.Height : 0;
        if (L.Kind == LightKindSpot) {
            L.Shape[0] += FX;
            L.Shape[1] += FY;
        } else {
            if (A.Kind == 1) {
                L.Shape[0] += FX;
                L.Shape[1] += FY;
            }
            L.Shape[2] += FX;
            L.Shape[3] += FY;
        }
    }
    UpdateStatus();
    Changed();
}

void TfrmLight::MouseRelease()
{
    FDragAnchor = nullptr;
    FDragging = false;
}

void TfrmLight::showEvent(QShowEvent* E)
{
    QDialog::showEvent(E);
    if (FShownOnce)
        return;
    FShownOnce = true;
    ++FLock;
    cboxQuickTest->setChecked(ReadUserSettingText(FIniFile, FSection, FFlagsName) == "1");
    btnApply->setEnabled(!cboxQuickTest->isChecked());
    --FLock;
    pgcMain->setCurrentIndex(0);
    Render();
}

void TfrmLight::setVisible(bool Visible)
{
    // Placed before the window is mapped: only then is the stored place
    // taken as the frame's, the kind of place that is saved.
    if (Visible && !FPlaced) {
        FPlaced = true;
        PlaceWindowStoredOrCentred(this, parentWidget(), ReadUserSettingText(FIniFile, FSection, FPositionName));
    }
    QDialog::setVisible(Visible);
}

void TfrmLight::SaveSettings()
{
    LightText();
    WriteUserSettingText(FIniFile, FSection, FPositionName, StoredPlaceText(this));
    WriteUserSettingText(FIniFile, FSection, FFlagsName, cboxQuickTest->isChecked() ? "1" : "0");
}

void TfrmLight::done(int Result)
{
    try {
        SaveSettings();
    } catch (const std::exception&) {
        // A settings store that refuses is no reason to lose the edit.
    }
    QDialog::done(Result);
}

// ---------------------------------------------------------------- style cells

namespace {

// A style's title in black with a white rim: readable over the lit sample,
// over either square of the checkerboard and over the plain face alike.
void DrawStyleTitle(QPainter& Canvas, const QRect& Rect, const std::string& Title)
{
    const QRect T = Rect.adjusted(2, 2, -2, -2);
    const QString Text = QString::fromStdString(Title);
    Canvas.save();
    Canvas.setPen(Qt::white);
    for (const QPoint D : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1), QPoint(-1, -1), QPoint(1, 1),
                           QPoint(-1, 1), QPoint(1, -1)})
        Canvas.drawText(T.translated(D), Qt::AlignHCenter | Qt::AlignBottom, Text);
    Canvas.setPen(Qt::black);
    Canvas.drawText(T, Qt::AlignHCenter | Qt::AlignBottom, Text);
    Canvas.restore();
}

} // namespace

void TfrmLight::StyleDrawCell(QPainter& Canvas, const std::string& Title, const TObject*, const QRect& Rect,
                              bool Selected)
{
    Canvas.fillRect(Rect, QColor(0x80, 0x80, 0x80));
    Canvas.setPen(Selected ? QColor(0x40, 0x40, 0x40) : QColor(0xFF, 0xFF, 0xFF));
    Canvas.drawLine(Rect.topLeft(), Rect.topRight());
    Canvas.drawLine(Rect.topLeft(), Rect.bottomLeft());
    Canvas.setPen(Selected ? QColor(0xFF, 0xFF, 0xFF) : QColor(0x40, 0x40, 0x40));
    Canvas.drawLine(Rect.bottomLeft(), Rect.bottomRight());
    Canvas.drawLine(Rect.topRight(), Rect.bottomRight());
    Canvas.fillRect(Rect.adjusted(2, 2, -2, -2), QColor(0xC0, 0xC0, 0xC0));
    DrawStyleTitle(Canvas, Rect, Title);
}

void TfrmLight::StyleDrawCellLate(QPainter& Canvas, const std::string& Title, const TObject* Data,
                                  const QRect& Rect, bool Selected)
{
    const auto* Item = dynamic_cast<const TobjStyleItemLight*>(Data);
    TLightsAmb Lights;
    if (!Item || !StrToLights(Lights, Item->Text))
        throw EUserError("StyleDrawCellLate: NilPictureLight Failed!");
    const int W = std::max(8, Rect.width()), H = std::max(8, Rect.height());
    // A star over a checkerboard, its mask blurred into the bump plane.
    QImage Mask(W, H, QImage::Format_Grayscale8);
    Mask.fill(0);
    {
        QPainter P(&Mask);
        P.setRenderHint(QPainter::Antialiasing);
        const double MX = W / 20.0, MY = H / 20.0;
        const QPointF C(W / 2.0, H / 2.0);
        const double RX = W / 2.0 - MX, RY = H / 2.0 - MY;
        QPainterPath Star;
        for (int I = 0; I < 10; ++I) {
            const double A = -Pi / 2 + I * Pi / 5, F = I % 2 ? 0.45 : 1.0;
            const QPointF Pt(C.x() + RX * F * std::cos(A), C.y() + RY * F * std::sin(A));
            I ? Star.lineTo(Pt) : Star.moveTo(Pt);
        }
        Star.closeSubpath();
        P.fillPath(Star, Qt::white);
    }
    TrecPicture Pict, MaskP, BumpP;
    RecPictureCreate(Pict, TPoint{0, 0}, W, H, 24, false);
    RecPictureCreate(MaskP, TPoint{0, 0}, W, H, 8, false);
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X) {
            const uint8_t V = ((X / 8) + (Y / 8)) % 2 ? 0x60 : 0xA0;
            uint8_t* P = RecPictureGetPixelPtr(Pict, X, Y);
            P[0] = P[1] = P[2] = V;
            *RecPictureGetPixelPtr(MaskP, X, Y) = Mask.constScanLine(Y)[X];
        }
    RecPictureCopy(BumpP, MaskP, false);
    BMPGaussBlur8(BumpP, nullptr, 0, std::max(1, std::min(W, H) / 20));
    int32_t Result = -1;
    try {
        const TRect R{0, 0, W, H};
        Result = RecPictureLight(Pict, &MaskP, &Lights, &BumpP, nullptr, 0, &R, nullptr);
    } catch (const std::exception&) {
        Result = -1;
    }
    QImage Out(W, H, QImage::Format_RGB32);
    if (Result == 0)
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < W; ++X) {
                const uint8_t* S = RecPictureGetPixelPtr(Pict, X, Y);
                Out.setPixel(X, Y, qRgb(S[2], S[1], S[0]));
            }
    RecPictureClear(Pict);
    RecPictureClear(MaskP);
    RecPictureClear(BumpP);
    if (Result != 0)
        throw EUserError("StyleDrawCellLate: NilPictureLight Failed!");
    Canvas.drawImage(Rect.topLeft(), Out);
    DrawStyleTitle(Canvas, Rect, Title);
    (void)Selected;
}
