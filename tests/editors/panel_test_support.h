// The property panel's tests: a document with one page of shapes, a
// recording document-window link, and the panel loaded with a selection.
#pragma once

#include "editors/frm_obj_property.h"
#include "editors/obj_property_doc_link.h"
#include "foundation/user_error.h"
#include "model/document.h"
#include "model/document_file.h"
#include "model/draw_group.h"
#include "model/outline_transform.h"
#include "model/page.h"
#include "model/param_shapes.h"
#include "model/text_object.h"
#include "store/history.h"
#include "ui/combo_box_wex.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/page_control_wex.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct TDocLinkRecorder : TObjPropertyDocLink {
    void SelectionEdited() override { ++Edited; }
    void SetHandlesHidden(bool Hidden) override { HandleStates.push_back(Hidden); }
    void RepaintView() override { ++Repaints; }
    int Edited = 0;
    int Repaints = 0;
    std::vector<bool> HandleStates;
};

class PanelTest : public ::testing::Test {
public:
    PanelTest() : Docs("画像", "srn", nullptr, "4.0", "DirData", DocumentFileHeader)
    {
        RegisterParamShapeTypes();
        RegisterTextObjType();
        Docs.SetDocumentClass(&NewDocumentTDocument);
        Doc = std::make_unique<TDocument>(nullptr, &Docs);
        Doc->AddPage(NewPageTPage(Doc->History()))->SetPageSize(400, 300);
        Doc->SetModified(false);
        Panel.RestoreDispPage();
    }
    ~PanelTest() override { Panel.SetParam({}, nullptr); }

    TPage& Page() { return *static_cast<TPage*>(Doc->GetPage(0)); }
    THistoryCommand& History() { return *Doc->History(); }

    template <class T>
    T* Add(int32_t X, int32_t Y, int32_t W, int32_t H)
    {
        auto Item = std::make_unique<T>(&Page(), -1);
        Item->SetFrame(X, Y, W, H);
        return static_cast<T*>(Page().RootGroup().AddChild(std::move(Item), -1));
    }
    void Load(const std::vector<TDrawItem*>& Items)
    {
        Panel.SetParam(Items, &Link);
        History().ClearHistory();
        // Items made before this point are not the new commands' to make.
        History().ResetObjCount();
        Doc->SetModified(false);
    }
    // Commands recorded since the load.
    int Steps() { return History().MenuNo() + 1; }

    TDocuments Docs;
    std::unique_ptr<TDocument> Doc;
    TDocLinkRecorder Link;
    TfrmObjProperty Panel;
};

// Whether a control of a page is shown (the page itself may be in a hidden
// window).
inline bool Shown(const QWidget* W)
{
    return !W->isHidden();
}
