// The shell tests' world: the program's units started once in private
// folders (settings, registry, cache, temporary files, the DDE name), and a
// fixture that starts a frame, records message boxes and leaves no
// document behind.
#pragma once

#include "platform/test_support.h"
#include "window_wait.h"

#include "foundation/app_environment.h"
#include "foundation/platform_wrappers.h"
#include "foundation/streams.h"
#include "model/clipboard_service.h"
#include "model/default_data.h"
#include "model/document.h"
#include "model/page.h"
#include "model/param_shapes.h"
#include "model/selection.h"
#include "platform/message_box.h"
#include "platform/registry_store.h"
#include "shell/doc_window.h"
#include "shell/main_form.h"
#include "editors/frm_obj_property.h"
#include "shell/tavro_program.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// The units, once per test program, in folders of their own.
class TShellEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        for (const char* Name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "TMPDIR"}) {
            const std::string Dir = Root.Dir + "/" + Name;
            std::filesystem::create_directories(Dir);
            setenv(Name, Dir.c_str(), 1);
        }
        RegistryReload();
        Data = Root.Dir + "/data";
        std::filesystem::create_directories(Data);
        SetRegistryVal(HKEY_CURRENT_USER, DefaultDataKey, DefaultDataValueName, Data);
        QApplication::setQuitOnLastWindowClosed(false);
        SetTavroDdeServerName("TAVRO-test-" + QString::number(QCoreApplication::applicationPid()));
        ASSERT_TRUE(StartUnits());
        Defaults = std::make_unique<TDefaultData>();
        Defaults->SaveOnDestroy = 0;
        SetDefaultAttributes(Defaults.get());
        InitMainGlobals();
    }
    void TearDown() override
    {
        SetDefaultAttributes(nullptr);
        Defaults.reset();
        FinishUnits();
    }
    static inline TTempDir Root;
    static inline std::string Data;
    static inline std::unique_ptr<TDefaultData> Defaults;
};

struct TBox {
    std::string Text;
    std::string Caption;
};

class TFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The document window's own tests set up and tear down the
        // registry, the settings object and the hooks their own way.
        SetPageSelectionFactory(&NewSelectedObjects);
        if (!gDocuments || gDocuments->IniFile() != &AppIniFile())
            InitDocuments(&AppIniFile());
        SetDefaultAttributes(TShellEnvironment::Defaults.get());
        AppIniFile().EraseSection("4.0");
        AppIniFile().EraseSection("History");
        // Every frame starts as on a first start, with the built-in toolbars.
        std::vector<std::string> Sections;
        AppIniFile().ReadSections(Sections);
        for (const std::string& S : Sections)
            if (S.rfind("TBar4.0", 0) == 0)
                AppIniFile().EraseSection(S);
        FOldBoxes = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string& Caption,
                                                uint32_t Flags) {
            Boxes.push_back({Text, Caption});
            // Save questions are answered "No": no test waits in a save dialog.
            return (Flags & MB_TYPEMASK) == MB_YESNOCANCEL ? IDNO : DefaultMessageBoxAnswer(Flags);
        });
    }
    void TearDown() override
    {
        Close();
        frmObjProperty.reset();
        SetMessageBoxHandler(FOldBoxes);
        EXPECT_EQ(gDocuments->GetCount(), 0) << "a document outlived its frame";
    }

    // `tavro Args` handing over as a second process would, while this one
    // serves: the sender waits for the running instance's answer.
    static bool HandOver(const QStringList& Args)
    {
        std::atomic<int> Result{-1};
        std::thread Second([&] { Result = HandOverToRunningInstance(Args) ? 1 : 0; });
        while (Result < 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        Second.join();
        return Result == 1;
    }

    // A frame after FormCreate and StartUp with Args as its command line,
    // shown, with the palette and the panel's page windows it makes after
    // its first paint made and the activation they move about settled with
    // the frame: otherwise their coming lands in the middle of a test, later
    // the busier the machine.
    TfrmTavro& Start(const QStringList& Args = {})
    {
        Frame = std::make_unique<TfrmTavro>();
        Frame->CommandLine = Args;
        Frame->StartUp();
        Frame->show();
        EXPECT_TRUE(WaitUntil([] { return frmObjProperty.Made() != nullptr; }))
            << "the floating windows were not made";
        EXPECT_TRUE(BecomesActive(Frame.get()));
        return *Frame;
    }
    // Close query, close, destroy; the documents of the windows go too.
    void Close()
    {
        if (!Frame)
            return;
        Frame->close();
        Frame.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // Lets posted work (deferred deletes, socket and network events) run,
    // and all that is due at once after it: what the window system queued
    // (activations), zero-time timers (a window that went tells the frame
    // from one).
    static void Settle(int Ms = 0)
    {
        QTest::qWait(Ms);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(1);
        HandleDueEvents();
    }

    std::vector<std::string> DocNames() const
    {
        std::vector<std::string> Names;
        for (int32_t I = 0; I < gDocuments->GetCount(); ++I)
            Names.push_back(ExtractFileName(gDocuments->GetDocument(I)->FileName()));
        return Names;
    }
    TPage* ActivePage() const
    {
        TDocWindow* C = Frame->ActiveDocWindow();
        return C ? dynamic_cast<TPage*>(C->Page()) : nullptr;
    }
    std::string Setting(const char* Key) const { return AppIniFile().ReadString("4.0", Key, "(none)"); }

    std::unique_ptr<TfrmTavro> Frame;
    std::vector<TBox> Boxes;
    TTempDir Tmp;

private:
    TMessageBoxHandler FOldBoxes;
};

// Names typed into a file dialog's name field, then OK, as a person does.
// (selectFile would not do: it leaves the field alone while the field has
// the keys.)
inline void ChooseFile(QFileDialog* Dialog, const std::string& Names)
{
    Dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(Names));
    static_cast<QDialog*>(Dialog)->accept();
}

// A document file of one Width x Height page holding Rects rectangles.
inline void SaveDocumentFile(const std::string& Path, int Rects, int32_t Width = 120, int32_t Height = 80)
{
    TOLEDocumentWex Doc(nullptr, nullptr);
    auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
    Page->SetPageSize(Width, Height);
    for (int I = 0; I < Rects; ++I) {
        auto R = std::make_unique<TRectObj>(Page, -1);
        R->SetFrame(10 * I, 5, 20, 10);
        Page->RootGroup().AddChild(std::move(R), -1);
    }
    ASSERT_TRUE(Doc.SaveToFile(Path));
}

// The clipboard text a copy of Sel's items writes.
inline std::string CopiedText(TSelectedObjects& Sel)
{
    struct TRecorder : TClipboardService {
        std::string Bytes;
        bool OpenClipboard() override { return true; }
        void EmptyClipboard() override {}
        void SetClipboardStream(uint32_t, TMemoryStream& S) override
        {
            Bytes.assign(static_cast<const char*>(S.Memory()), size_t(S.Size()));
        }
        void CloseClipboard() override {}
    } Recorder;
    TClipboardService* Old = GetClipboardService();
    SetClipboardService(&Recorder);
    Sel.CopyToClipboard();
    SetClipboardService(Old);
    return Recorder.Bytes;
}

// The clipboard text form of Rects rectangles, as a copy writes it.
inline std::string DrawItemText(int Rects)
{
    TOLEDocumentWex Doc(nullptr, nullptr);
    auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
    Page->SetPageSize(100, 100);
    auto* Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
    for (int I = 0; I < Rects; ++I) {
        auto R = std::make_unique<TRectObj>(Page, -1);
        R->SetFrame(10 * I, 5, 20, 10);
        Sel->AddItem(Page->RootGroup().AddChild(std::move(R), -1));
    }
    return CopiedText(*Sel);
}
