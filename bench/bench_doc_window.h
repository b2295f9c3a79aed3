// The window benchmarks' document window: the program's units started, one
// new document in a document window of a chosen view size inside an MDI
// area, and the catalogue effects the scenes put on their shapes.
#pragma once

#include "bench_frame.h"
#include "bench_sandbox.h"
#include "foundation/app_environment.h"
#include "model/document.h"
#include "model/page.h"
#include "model/param_shapes.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "shell/child_form.h"
#include "shell/tavro_program.h"
#include "ui/paint_box_wex.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <memory>
#include <string>
#include <vector>

class TBenchDocWindow {
public:
    // Error says what did not start; the window is then not made.
    TBenchDocWindow(int32_t PageW, int32_t PageH, int32_t ViewW, int32_t ViewH)
    {
        Current = this;
        if (!StartUnits(ProgramDir())) {
            Error = "the units did not start";
            return;
        }
        AppIniFile().WriteInteger(MaxFrmChildSection, MaxFrmChildKey, 0);
        SetDocWindowFactory(&NewWindow);
        Area = std::make_unique<QMdiArea>();
        Area->resize(ViewW + 200, ViewH + 200);
        Area->show();
        TOLEDocumentWex* Doc = gDocuments->NewDocument(PageW, PageH);
        Window = dynamic_cast<TfrmChild*>(Doc->GetForms().at(0));
        Page = Window->DrawingPage();
        QMdiSubWindow* Sub = Window->SubWindow();
        Sub->resize(Sub->size() - Window->pboxkClient->size() + QSize(ViewW, ViewH));
        Settle();
        Window->SetZoom(100);
    }
    ~TBenchDocWindow()
    {
        Area.reset();
        Settle();
        SetDocWindowFactory(nullptr);
        FinishUnits();
        Current = nullptr;
    }
    TBenchDocWindow(const TBenchDocWindow&) = delete;
    TBenchDocWindow& operator=(const TBenchDocWindow&) = delete;

    // Runs what was posted: the repaints, and with them the page's Update.
    static void Settle() { QApplication::processEvents(); }

    // Puts the catalogue effects named on Shape, as the program loads them;
    // false (and Error says which) when the catalogue lacks one.
    bool AddEffects(TParamObj& Shape, const std::vector<const char*>& Names)
    {
        for (const char* Name : Names) {
            auto M = std::make_unique<TMacro>();
            if (!M->LoadFromLibrary(Name)) {
                Error = std::string("no catalogue effect ") + Name;
                return false;
            }
            Shape.Macros().Add(std::move(M));
        }
        return true;
    }

private:
    static inline int gArgc = 1;
    static inline char gArg0[] = "tavro_bench";
    static inline char* gArgv[] = {gArg0, nullptr};
    static inline TBenchDocWindow* Current = nullptr;

    static TOLEFormDoc* NewWindow(TOLEDocumentWex& Document)
    {
        return CreateChildForm(*Current->Area, Document, Current->Frame);
    }

public:
    std::unique_ptr<QApplication> App = std::make_unique<QApplication>(gArgc, gArgv);
    TBenchFrame Frame;
    std::unique_ptr<QMdiArea> Area;
    TfrmChild* Window = nullptr;
    TPage* Page = nullptr;
    std::string Error;
};
