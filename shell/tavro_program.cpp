#include "shell/tavro_program.h"

#include "foundation/app_environment.h"
#include "foundation/string_list.h"
#include "model/anchors.h"
#include "model/clipboard_service.h"
#include "model/cursor_service.h"
#include "model/default_data.h"
#include "model/document.h"
#include "model/param_shapes.h"
#include "model/poly_line_obj.h"
#include "model/selection.h"
#include "model/text_object.h"
#include "paint/macro_interpreter.h"
#include "paint/macro_library.h"
#include "paint/paint_function_table.h"
#include "platform/qt/application_wex.h"
#include "platform/qt/clipboard_mime.h"
#include "platform/qt/dde_server.h"
#include "platform/qt/screen_cursors.h"
#include "raster/picture_file.h"
#include "shell/main_form.h"
#include "editors/frm_obj_property.h"
#include "ui/data_object.h"
#include "ui/draw_item_clipboard.h"
#include "ui/ole2_color.h"
#include "ui/ole2_gradation.h"
#include "ui/ole2_light.h"
#include "ui/ole2_mac_paint.h"
#include "ui/ole2_pen.h"
#include "ui/ole_qt_bridge.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace {

TClipboardServiceQt& ClipboardServiceQt()
{
    static TClipboardServiceQt Service;
    return Service;
}

// The tests at a real display need an effect that fails to paint, and a
// document the reader lets in never has one: the paint function this
// variable names fails in every painting run (measuring goes on), as a
// function that returns 1 fails.
void InstallFailingPaintFunction()
{
    const char* Name = std::getenv("TAVRO_TEST_FAILING_PAINT_FUNCTION");
    if (!Name || !*Name)
        return;
    SetPaintCallHook([Failing = std::string(Name)](std::string_view Function, const TMacroPaintArgs& Args) {
        return !Args.MeasureOnly && Function == Failing ? 1 : 0;
    });
}

} // namespace

bool StartUnits(const std::string& Folder)
{
    try {
        InitAppEnvironment();
        LoadMacroLibraries(Folder);
        CheckMacroLibraries();
        PaintFunctionTable();
        InstallFailingPaintFunction();
        InitPictureFile();
        RegisterParamShapeTypes();
        RegisterPolyLineObjType();
        RegisterTextObjType();
        InitDocuments(&AppIniFile());
        SetPageSelectionFactory(&NewSelectedObjects);
        SetCursorService(&ScreenCursors());
        AnchorsStartup(ScreenCursors());
        SetClipboardService(&ClipboardServiceQt());
        // Each clipboard format is registered once, now; a registration the
        // platform refuses stops the program here rather than at first use.
        CFWexColor();
        CFZelbarGradation();
        CFZelbarLight();
        CFMacPaint();
        CFTavroPen();
        CFDrawItem();
        CFRichTextFormat();
        CFUniformResourceLocator();
    } catch (...) {
        ShowEventException(std::current_exception());
        return false;
    }
    return true;
}

void FinishUnits()
{
    OleFlushClipboard();
    SetClipboardService(nullptr);
    AnchorsShutdown();
    SetCursorService(nullptr);
    SetPageSelectionFactory(nullptr);
    FinalizeDocuments();
    FinalizePictureFile();
    FreeMacroLibraries();
    FinalizeAppEnvironment();
}

bool IsDdeCommandLine(const QStringList& Args)
{
    return !Args.isEmpty() && (Args.first().compare("/e", Qt::CaseInsensitive) == 0 ||
                               Args.first().compare("-e", Qt::CaseInsensitive) == 0);
}

std::string DdeOpenCommand(const QStringList& Args)
{
    // The shell names files by their full path; the instance's folder may
    // be another than ours.
    const QString File = Args.size() >= 2 ? QFileInfo(Args[1]).absoluteFilePath() : QString();
    return "[open(\"" + File.toStdString() + "\")]\r\n";
}

bool HandOverToRunningInstance(const QStringList& Args)
{
    if (!IsDdeCommandLine(Args) || Args.size() < 2)
        return false;
    return DdeClientExecute(TavroDdeServerName(), DdeOpenCommand(Args));
}

int RunMainBlock(const QStringList& Args)
{
    std::unique_ptr<TDefaultData> Defaults;
    try {
        Defaults = std::make_unique<TDefaultData>();
    } catch (...) {
        // The delivered files disagree: the box names the damaged one, and
        // the program ends as when a library does not read.
        ShowEventException(std::current_exception());
        return RefusedStartExitCode;
    }
    struct TFinally {
        std::unique_ptr<TDefaultData>& Defaults;
        ~TFinally()
        {
            SetDefaultAttributes(nullptr);
            Defaults.reset();
        }
    } Finally{Defaults};
    SetDefaultAttributes(Defaults.get());
    InitMainGlobals();
    auto Frame = std::make_unique<TfrmTavro>();
    Frame->CommandLine = Args;
    int Result = 0;
    try {
        Frame->StartUp();
        if (IsDdeCommandLine(Args) && Args.size() >= 2) {
            // No instance took the file: this one is the instance now and
            // takes it as a DDE open, as its server takes one (a failure is
            // told in its box before any request of another sender runs).
            Frame->DdeServer()->Execute(DdeOpenCommand(Args));
        }
        Frame->show();
        Result = QApplication::exec();
    } catch (...) {
        ShowEventException(std::current_exception());
        Result = 1;
    }
    // The layout is read off the page windows, which go with the frame.
    if (TfrmObjProperty* Panel = frmObjProperty.Made())
        Panel->SaveDispPage();
    Frame.reset();
    frmObjProperty.reset();
    return Result;
}
