// The open dialog with preview, the save dialog and the folder picker:
// filter texts, the settings texts, the picture and sound preview, the
// folder button. Dialogs run inside a single-shot timer or are only shown.
#include "platform/test_support.h"

#include "foundation/ini_file.h"
#include "raster/bmp_conv.h"
#include "raster/picture_file.h"
#include "ui/browse_dialog.h"
#include "ui/preview_dialogs.h"
#include "window_wait.h"

#include <QApplication>
#include <QCheckBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSoundEffect>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <vector>

namespace {

// The length of "tone.wav": long enough that a dialog that waited for the
// sound to end could not be taken for one that did not, however busy the
// machine.
constexpr int ToneSeconds = 30;

// A folder holding "pic.bmp" (4 bits, 40 x 20, red left half, blue right
// half), "green.bmp" (24 bits, 10 x 10), "tone.wav" and the folder "sub".
struct TPreviewFolder {
    TTempDir Tmp;
    TPreviewFolder()
    {
        std::vector<uint8_t> Header(40 + 16 * 4, 0);
        auto* H = reinterpret_cast<BITMAPINFOHEADER*>(Header.data());
        *H = BITMAPINFOHEADER{40, 40, 20, 1, 4, BI_RGB, 0, 0, 0, 16, 0};
        DIBColorTable(H)[1] = RGBQUAD{0, 0, 255, 0};
        DIBColorTable(H)[2] = RGBQUAD{255, 0, 0, 0};
        std::vector<uint8_t> Bits(20 * 20);
        for (size_t Y = 0; Y < 20; ++Y)
            for (size_t X = 0; X < 20; ++X)
                Bits[Y * 20 + X] = X < 10 ? 0x11 : 0x22;
        EXPECT_TRUE(SaveBmpFile(Tmp / "pic.bmp", H, Bits.data(), true));

        *H = BITMAPINFOHEADER{40, 10, 10, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<uint8_t> Green(32 * 10, 0);
        for (size_t Y = 0; Y < 10; ++Y)
            for (size_t X = 0; X < 10; ++X)
                Green[Y * 32 + X * 3 + 1] = 255;
        EXPECT_TRUE(SaveBmpFile(Tmp / "green.bmp", H, Green.data(), true));

        // ToneSeconds of 8-bit mono PCM at 8000 Hz.
        const uint32_t N = 8000 * ToneSeconds;
        std::string Wav = "RIFF";
        auto Put32 = [&](uint32_t V) {
            for (int I = 0; I < 4; ++I)
                Wav += static_cast<char>(V >> (8 * I));
        };
        auto Put16 = [&](uint16_t V) { Wav += static_cast<char>(V), Wav += static_cast<char>(V >> 8); };
        Put32(36 + N);
        Wav += "WAVEfmt ";
        Put32(16), Put16(1), Put16(1), Put32(8000), Put32(8000), Put16(1), Put16(8);
        Wav += "data";
        Put32(N);
        for (uint32_t I = 0; I < N; ++I)
            Wav += static_cast<char>(I % 16 < 8 ? 0x60 : 0xA0);
        Tmp.Put("tone.wav", Wav);
        std::filesystem::create_directory(Tmp / "sub");
    }
};

// The list entry Name, once the dialog's folder has been read.
QModelIndex EntryOf(QFileDialog& D, const QString& Name)
{
    auto* List = D.findChild<QListView*>("listView");
    QModelIndex Found;
    (void)QTest::qWaitFor(
        [&] {
            const QModelIndex Root = List->rootIndex();
            for (int R = 0; R < List->model()->rowCount(Root); ++R) {
                const QModelIndex I = List->model()->index(R, 0, Root);
                if (I.data().toString() == Name)
                    Found = I;
            }
            return Found.isValid();
        },
        5000);
    EXPECT_TRUE(Found.isValid()) << Name.toStdString();
    return Found;
}

// Selects the entries, in this order, in one step.
void SelectEntries(QFileDialog& D, const QStringList& Names)
{
    QItemSelection S;
    for (const QString& N : Names) {
        const QModelIndex I = EntryOf(D, N);
        S.select(I, I);
    }
    D.findChild<QListView*>("listView")->selectionModel()->select(
        S, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// Presses the dialog's Open or Save button.
void PressAccept(QFileDialog& D)
{
    auto* Box = D.findChild<QDialogButtonBox*>("buttonBox");
    QPushButton* B = Box->button(QDialogButtonBox::Open);
    (B ? B : Box->button(QDialogButtonBox::Save))->click();
}

// Runs Execute with Body inside the dialog's event loop.
template <class TDialog, class F>
bool ExecuteWith(TDialog& D, F Body)
{
    QTimer::singleShot(0, &D, Body);
    return D.Execute();
}

} // namespace

TEST(PreviewDialogs, FilterTexts)
{
    std::string G;
    GetPictureFileFilter(G);
    struct TCase {
        TOpenPreviewDialogFileTypes Types;
        TOpenPreviewDialogOptions Options;
        const char* Given;
        std::string Want;
    };
    const TCase Cases[] = {
        {opdftWave | opdftGraphic, opdoPreview, "",
         "全てのファイル(*.*)|*.*|サウンドファイル(*.wav)|*.wav|" + G},
        {opdftWave, opdoPreview, "", "全てのファイル(*.*)|*.*|サウンドファイル(*.wav)|*.wav"},
        // Without sounds no empty entry cuts the list before the pictures.
        {opdftGraphic, opdoPreview, "", "全てのファイル(*.*)|*.*|" + G},
        {0, opdoPreview, "", "全てのファイル(*.*)|*.*"},
        {opdftWave | opdftGraphic, 0, "", ""},
        {opdftWave, opdoPreview, "A|*.a", "A|*.a"},
    };
    for (const TCase& C : Cases) {
        TOpenPreviewDialogQ D;
        D.PreviewTypes = C.Types;
        D.OptionsEx = C.Options;
        D.Filter = C.Given;
        EXPECT_FALSE(ExecuteWith(D, [&] { D.reject(); }));
        EXPECT_EQ(D.Filter, C.Want);
        if (!C.Want.empty()) {
            EXPECT_EQ(D.nameFilters(), FilterToNameFilters(C.Want));
        }
    }
    EXPECT_EQ(FilterToNameFilters("A(*.x)|*.x;*.y|B|*.b||C|*.c"),
              (QStringList{"A(*.x) (*.x *.y)", "B (*.b)"}));
}

TEST(PreviewDialogs, SettingsTextsRoundTripWithPaneWidthFloor)
{
    struct TCase {
        const char* Stored;
        bool Checked;
        int32_t PaneWidth;
        const char* Written;
    };
    const TCase Cases[] = {
        {"0,30,40,630,520,150", false, 150, "0,30,40,630,520,150"},
        {"1,30,40,630,520,-7", true, 3, "1,30,40,630,520,3"},
    };
    for (const TCase& C : Cases) {
        TTempDir Tmp;
        TMemIniFile Ini(Tmp / "tavro.ini");
        Ini.WriteString("4.0", "OpenDlg", C.Stored);
        TOpenPreviewDialogQ D;
        D.SetIniFile(&Ini);
        D.SetRegistryKey("4.0");
        D.SetRegistryName("OpenDlg");
        D.OptionsEx = opdoPreview;
        D.show();
        EXPECT_EQ(D.geometry(), QRect(30, 40, 600, 480)) << C.Stored;
        EXPECT_EQ(D.PreviewCheck()->isChecked(), C.Checked) << C.Stored;
        EXPECT_EQ(D.PreviewPane()->isVisibleTo(&D), C.Checked) << C.Stored;
        EXPECT_EQ(D.PaneWidth(), C.PaneWidth) << C.Stored;
        EXPECT_EQ(D.PreviewPane()->width(), C.PaneWidth) << C.Stored;
        Ini.WriteString("4.0", "OpenDlg", "");
        D.reject();
        EXPECT_EQ(Ini.ReadString("4.0", "OpenDlg", ""), C.Written);
        EXPECT_EQ(D.CheckPreview, C.Checked);
    }

    // Unchecking is remembered; the save dialog keeps its rectangle.
    TTempDir Tmp;
    TMemIniFile Ini(Tmp / "tavro.ini");
    Ini.WriteString("4.0", "OpenDlg", "1,30,40,630,520,150");
    Ini.WriteString("4.0", "SaveDlg", "20,25,560,445");
    TOpenPreviewDialogQ D;
    TSaveDialogWex S;
    for (auto [Dlg, Name] : {std::pair<TFileDialogQ*, const char*>{&D, "OpenDlg"}, {&S, "SaveDlg"}}) {
        Dlg->SetIniFile(&Ini);
        Dlg->SetRegistryKey("4.0");
        Dlg->SetRegistryName(Name);
        Dlg->show();
    }
    EXPECT_EQ(S.geometry(), QRect(20, 25, 540, 420));
    D.PreviewCheck()->setChecked(false);
    EXPECT_FALSE(D.PreviewPane()->isVisibleTo(&D));
    S.setGeometry(22, 27, 540, 420);
    D.reject(), S.reject();
    EXPECT_EQ(Ini.ReadString("4.0", "OpenDlg", ""), "0,30,40,630,520,150");
    EXPECT_EQ(Ini.ReadString("4.0", "SaveDlg", ""), "22,27,562,447");
}

TEST(PreviewDialogs, PreviewsPicturesAndSoundsOfTheSelection)
{
    TPreviewFolder F;
    TOpenPreviewDialogQ D;
    D.PreviewTypes = opdftGraphic | opdftWave;
    D.OptionsEx = opdoPreview;
    D.AllowMultiSelect = true;
    D.InitialDir = F.Tmp.Dir;
    EXPECT_TRUE(ExecuteWith(D, [&] {
        QWidget* Pane = D.PreviewPane();
        const QImage Empty = Pane->grab().toImage();
        // Without a picture: the sunken grey face.
        EXPECT_EQ(Empty.pixel(0, 0), 0xFF000000u);
        EXPECT_EQ(Empty.pixel(Pane->width() / 2, Pane->height() / 2), 0xFF808080u);

        SelectEntries(D, {"pic.bmp"});
        ASSERT_NE(D.PreviewHeader(), nullptr);
        EXPECT_EQ(D.PreviewHeader()->biBitCount, 8);  // 4 bits are shown as 8
        const QImage Img = Pane->grab().toImage();
        // 40 x 20 fitted into the pane less 2 pixels each side, centred.
        const int AW = Pane->width() - 4, AH = Pane->height() - 4;
        ASSERT_GT(AH * 40, AW * 20);
        const int DH = 20 * AW / 40, Top = 2 + (AH - DH) / 2;
        const QRgb Red = 0xFFFF0000, Blue = 0xFF0000FF;
        EXPECT_EQ(Img.pixel(2 + AW / 4, Top), Red);
        EXPECT_EQ(Img.pixel(2 + 3 * AW / 4, Top + DH - 1), Blue);
        EXPECT_EQ(Img.pixel(2, Top + DH / 2), Red);
        EXPECT_NE(Img.pixel(2 + AW / 4, Top - 1), Red);
        EXPECT_NE(Img.pixel(2 + 3 * AW / 4, Top + DH), Blue);

        // Several quoted names: the first is previewed.
        SelectEntries(D, {"green.bmp", "pic.bmp"});
        ASSERT_NE(D.PreviewHeader(), nullptr);
        EXPECT_EQ(D.PreviewHeader()->biBitCount, 24);

        // A sound plays without the dialog waiting for it.
        const auto Start = std::chrono::steady_clock::now();
        SelectEntries(D, {"tone.wav"});
        EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(ToneSeconds / 2));
        ASSERT_NE(D.SoundPlayer(), nullptr);
        EXPECT_EQ(D.SoundPlayer()->source(), QUrl::fromLocalFile(QString::fromStdString(F.Tmp / "tone.wav")));
        SelectEntries(D, {"green.bmp", "pic.bmp"});
        PressAccept(D);
    }));
    ASSERT_EQ(D.Files.Count(), 2);
    EXPECT_EQ(D.FileName, F.Tmp / "green.bmp");
    EXPECT_EQ(D.Files.Strings(1), F.Tmp / "pic.bmp");
}

TEST(PreviewDialogs, SaveDialogReturnsTheTypedName)
{
    TPreviewFolder F;
    TSaveDialogWex S;
    S.InitialDir = F.Tmp.Dir;
    S.Filter = "図形ファイル(*.srn)|*.srn";
    EXPECT_TRUE(ExecuteWith(S, [&] {
        EXPECT_EQ(S.nameFilters(), QStringList{"図形ファイル(*.srn) (*.srn)"});
        // The grip shows the "BMSIZE" picture: white and grey ridges.
        QWidget* Grip = S.findChild<QWidget*>("sizeGrip");
        ASSERT_NE(Grip, nullptr);
        EXPECT_EQ(Grip->geometry(), QRect(S.width() - 12, S.height() - 12, 12, 12));
        const QImage G = Grip->grab().toImage();
        EXPECT_EQ(G.pixel(11, 0), 0xFFFFFFFFu);
        EXPECT_EQ(G.pixel(11, 1), 0xFF808080u);
        S.findChild<QLineEdit*>("fileNameEdit")->setText("green.bmp");
        PressAccept(S);  // an existing name is taken without asking
    }));
    EXPECT_EQ(S.FileName, F.Tmp / "green.bmp");
}

TEST(PreviewDialogs, FolderButtonReturnsTheSelectedOrCurrentFolder)
{
    TPreviewFolder F;
    for (const bool WithSelection : {true, false}) {
        TOpenPreviewDialogQ D;
        D.OptionsEx = opdoAllowOpenFolder;
        D.InitialDir = F.Tmp.Dir;
        EXPECT_TRUE(ExecuteWith(D, [&] {
            if (WithSelection)
                SelectEntries(D, {"sub"});
            ASSERT_NE(D.OpenFolderButton(), nullptr);
            EXPECT_EQ(D.OpenFolderButton()->text(), "フォルダを開く");
            D.OpenFolderButton()->click();
        }));
        const std::string Want = WithSelection ? F.Tmp / "sub" : F.Tmp.Dir;
        EXPECT_EQ(D.FileName, Want);
        ASSERT_EQ(D.Files.Count(), 1);
        EXPECT_EQ(D.Files.Strings(0), Want);
    }
}

TEST(BrowseDialog, StartsAtDirectoryKeepsBelowRootAndReturnsTheChoice)
{
    TPreviewFolder F;
    const std::string Sub = F.Tmp / "sub";
    TBrowseDialog B;
    B.Directory = F.Tmp.Dir + "/";
    B.Root = F.Tmp.Dir;
    B.Options = BIF_STATUSTEXT;
    QWidget* Initialized = nullptr;
    std::vector<std::string> Seen;
    B.OnInitialized = [&](TBrowseDialog* Sender, QWidget* Dialog) {
        EXPECT_EQ(Sender, &B);
        Initialized = Dialog;
    };
    B.OnSelectionChanged = [&](TBrowseDialog*, QWidget*, const std::string& Folder, std::string& Status,
                               int32_t& OkState) {
        Seen.push_back(Folder);
        Status = "選択: " + Folder;
        OkState = Folder == Sub ? 1 : 2;
    };
    QTimer::singleShot(0, [&] {
        auto* D = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(D, nullptr);
        EXPECT_EQ(Initialized, D);
        EXPECT_EQ(D->directory().absolutePath().toStdString(), F.Tmp.Dir);
        EXPECT_EQ(Seen, std::vector<std::string>{F.Tmp.Dir});
        QPushButton* Ok = D->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open);
        auto Status = [&] {
            for (QLabel* L : D->findChildren<QLabel*>())
                if (L->text().startsWith("選択"))
                    return L->text().toStdString();
            return std::string();
        };
        auto* List = D->findChild<QListView*>("listView");
        List->selectionModel()->setCurrentIndex(EntryOf(*D, "sub"), QItemSelectionModel::ClearAndSelect |
                                                                       QItemSelectionModel::Rows);
        ASSERT_FALSE(Seen.empty());
        EXPECT_EQ(Seen.back(), Sub);
        EXPECT_EQ(Status(), "選択: " + Sub);
        EXPECT_TRUE(Ok->isEnabled());

        // Above the root it goes back to the root, whose OK state 2 holds
        // against the dialog's own enabling.
        D->findChild<QToolButton*>("toParentButton")->click();
        EXPECT_EQ(D->directory().absolutePath().toStdString(), F.Tmp.Dir);
        EXPECT_EQ(Seen.back(), F.Tmp.Dir);
        EXPECT_FALSE(Ok->isEnabled());
        D->findChild<QLineEdit*>("fileNameEdit")->setText("sub");
        EXPECT_FALSE(Ok->isEnabled());

        List->selectionModel()->setCurrentIndex(EntryOf(*D, "sub"), QItemSelectionModel::ClearAndSelect |
                                                                       QItemSelectionModel::Rows);
        ASSERT_TRUE(Ok->isEnabled());
        Ok->click();
    });
    EXPECT_TRUE(B.Execute());
    EXPECT_EQ(B.Directory, Sub);

    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_FALSE(B.Execute());
    EXPECT_EQ(B.Directory, Sub);
}

TEST(PreviewDialogs, TheNameCompletionListGoesWithTheDialog)
{
    TPreviewFolder F;
    TOpenPreviewDialogQ D;
    D.InitialDir = F.Tmp.Dir;
    QWidget* Popup = nullptr;
    EXPECT_TRUE(ExecuteWith(D, [&] {
        auto* Edit = D.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(Edit, nullptr);
        ASSERT_TRUE(ActivateAndWait(&D));
        Edit->setFocus();
        ASSERT_TRUE(GetsKeys(Edit));
        // The folder's entries are read in the background.
        auto* List = D.findChild<QListView*>("listView");
        ASSERT_TRUE(WaitUntil([&] { return List && List->model()->rowCount(List->rootIndex()) >= 3; }));
        // "p" completes to "pic.bmp": the list comes up under the edit.
        QTest::keyClicks(Edit, "p");
        ASSERT_TRUE(WaitUntil([&] {
            Popup = Edit->completer() ? Edit->completer()->popup() : nullptr;
            return Popup && Popup->isVisible();
        }));
        QTest::keyClicks(QApplication::focusWidget(), "ic.bmp");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }));
    EXPECT_EQ(D.FileName, F.Tmp / "pic.bmp");
    ASSERT_NE(Popup, nullptr);
    EXPECT_FALSE(Popup->isVisible());
}
