// A model of ordinary work with pictures, shared by the suite's test and the
// fuzz target: a document is driven through a sequence of the commands that
// touch pictures (paste of picture items, copy, duplicate, cut, delete, a fill
// edit that puts a picture and the object's size into an object's fill,
// grouping, selection, undo and redo), each choice taken from a pick source
// (a seeded generator or fuzz bytes). The model keeps the document saved to
// memory at every state of the history and checks, after every step, that
// every item finds the pictures it names and that the document writes exactly
// the pictures its items use; undo and redo must give back the saved bytes of
// the state they reach, and Finish undoes all and redoes all.
#pragma once

#include "foundation/lists.h"
#include "foundation/stream_text.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/clipboard_service.h"
#include "model/document.h"
#include "model/draw_group.h"
#include "model/draw_object.h"
#include "model/layer.h"
#include "model/page.h"
#include "model/page_selection.h"
#include "model/param_shapes.h"
#include "model/poly_line_obj.h"
#include "model/selection.h"
#include "model/selection_commands.h"
#include "model/text_object.h"
#include "paint/fill_value.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "platform/cp932.h"
#include "platform/message_box.h"
#include "raster/rec_picture.h"
#include "store/history_bracket.h"
#include "store/picture_store.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace picture_history {

using TBytes = std::vector<uint8_t>;

inline TBytes StreamBytesOf(TMemoryStream& S)
{
    const auto* P = static_cast<const uint8_t*>(S.Memory());
    return TBytes(P, P + S.Size());
}

inline constexpr const char* FillCaption = "塗り方法";
inline constexpr const char* PictureMacroName = "画像塗り";
inline constexpr const char* FillEditCaption = "プロパティの設定";
inline constexpr const char* SelectCaption = "選択";
inline constexpr const char* GroupCaption = "グループ化";

// The clipboard as a string the model keeps.
class TModelClipboard : public TClipboardService {
public:
    bool OpenClipboard() override { return true; }
    void EmptyClipboard() override { Data.clear(); }
    void SetClipboardStream(uint32_t, TMemoryStream& Stream) override
    {
        Data.assign(static_cast<const char*>(Stream.Memory()), static_cast<size_t>(Stream.Size()));
    }
    void CloseClipboard() override {}
    std::string Data;
};

inline const TMacro& PictureMacroTemplate();

// The item types, the selection, the clipboard, a macro library holding the
// picture fill and the message boxes the model needs, for the scope; every
// message box shown is kept.
class TModelEnvironment {
public:
    TModelEnvironment()
    {
        FOldLibrary = std::move(gMacroLibrary);
        gMacroLibrary = std::make_unique<TMacroLibrary>();
        auto Fill = std::make_unique<TMacro>();
        Fill->Assign(PictureMacroTemplate());
        gMacroLibrary->AddObject(PictureMacroName, std::move(Fill));
        RegisterParamShapeTypes();
        RegisterTextObjType();
        RegisterPolyLineObjType();
        SetPageSelectionFactory(&NewSelectedObjects);
        FOldClipboard = GetClipboardService();
        SetClipboardService(&Clipboard);
        FOldBoxes = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t Flags) {
            Boxes.push_back(Text);
            return DefaultMessageBoxAnswer(Flags);
        });
    }
    ~TModelEnvironment()
    {
        SetMessageBoxHandler(FOldBoxes);
        SetClipboardService(FOldClipboard);
        SetPageSelectionFactory(nullptr);
        gMacroLibrary = std::move(FOldLibrary);
    }
    TModelEnvironment(const TModelEnvironment&) = delete;
    TModelEnvironment& operator=(const TModelEnvironment&) = delete;

    TModelClipboard Clipboard;
    std::vector<std::string> Boxes;

private:
    TClipboardService* FOldClipboard = nullptr;
    TMessageBoxHandler FOldBoxes;
    std::unique_ptr<TMacroLibrary> FOldLibrary;
};

// A picture of W x H in one of a few patterns (the same Kind and size give
// equal pictures).
inline TrecPicture MakePicture(int32_t Kind, int32_t W, int32_t H)
{
    TrecPicture P;
    RecPictureCreate(P, TPoint{0, 0}, W, H, 24, false);
    const int64_t Line = RecPictureGetImageSize(P) / H;
    for (int32_t Y = 0; Y < H; ++Y)
        for (int32_t X = 0; X < W; ++X) {
            uint8_t* Px = P.pBits + Y * Line + 3 * X;
            Px[0] = static_cast<uint8_t>(40 + 50 * Kind + 7 * X);
            Px[1] = static_cast<uint8_t>(200 - 30 * Kind + 5 * Y);
            Px[2] = static_cast<uint8_t>((X + Y + Kind) % 2 ? 250 : 20 * Kind);
        }
    return P;
}

inline std::string PictureFillValue(int32_t Handle, int32_t W, int32_t H)
{
    TFillPictParam Param;
    Param.iHandle = Handle;
    Param.iWidth = W;
    Param.iHeight = H;
    return "41" + FillPictParamToStr(Param);
}

// The library's picture fill, read once from a library file of its own (a
// document's macro names a macro a library holds; the library is where a
// macro's lines come from).
inline const TMacro& PictureMacroTemplate()
{
    static const std::unique_ptr<TMacro> Template = [] {
        std::string B("tvm\0\1\0", 6);
        const auto Str = [&B](const std::string& Utf8) {
            B += Utf8ToCp932(Utf8);
            B += '\0';
        };
        const std::vector<std::pair<std::string, std::string>> Params = {
            {"PictureBackGround", ""}, {"", ""}, {"100", "不透明度"}, {"", "*Primary"},
            {"1,0,1.00", "線種"}, {PictureFillValue(-1, 0, 0), FillCaption},
            {"塗りつぶし", "塗りつぶし指定"}, {"No", "アンチエリアス"}, {"通常", "描画方法"}};
        B += '\0';
        Str(PictureMacroName);
        B += '\0';
        Str("NilPicturePaintFill2");
        for (int Shift = 0; Shift < 32; Shift += 8)
            B += static_cast<char>(Params.size() >> Shift);
        Str("");
        for (const auto& [Value, Caption] : Params) {
            B += '\0';
            Str(Value);
            Str(Caption);
        }
        B += "\1\1\1"; // the end of the line, of the lines, of the macros
        char Name[] = "/tmp/tavro_picture_macro_XXXXXX";
        const int Fd = mkstemp(Name);
        if (Fd < 0)
            throw EUserError("PictureMacroTemplate: no temporary file");
        const bool Written = write(Fd, B.data(), B.size()) == static_cast<ssize_t>(B.size());
        close(Fd);
        std::unique_ptr<TMacroLibrary> Library;
        if (Written)
            TMacro::ReadMacroFile(Library, Name);
        unlink(Name);
        if (!Library || Library->Count() != 1)
            throw EUserError("PictureMacroTemplate: the library did not read");
        auto M = std::make_unique<TMacro>();
        M->Assign(*Library->Objects(0));
        return M;
    }();
    return *Template;
}

// A fill over the object's path with the picture Handle at W x H: the
// library's macro given that fill, as opening a picture makes it.
inline std::unique_ptr<TMacro> MakePictureMacro(int32_t Handle, int32_t W, int32_t H)
{
    auto M = std::make_unique<TMacro>();
    if (!M->LoadFromLibrary(PictureMacroName))
        throw EUserError("MakePictureMacro: no picture fill in the library");
    M->SetParamValue(FillCaption, PictureFillValue(Handle, W, H));
    return M;
}

// A document of one page with one current layer, as a new document is.
struct TModelDocument {
    std::unique_ptr<TOLEDocumentWex> Doc;
    TPage* Page = nullptr;
    TSelectedObjects* Sel = nullptr;

    explicit TModelDocument(int32_t W = 96, int32_t H = 72)
    {
        Doc = NewDocumentTDocument(nullptr, nullptr);
        auto NewPage = NewPageTPage(Doc->History());
        Page = static_cast<TPage*>(Doc->AddPage(std::move(NewPage)));
        Page->SetPageSize(W, H);
        TLayer* Layer = Page->GetLayers()->Add(std::make_unique<TLayer>());
        Page->GetLayers()->SetCurrent(Layer);
        Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
        if (!Sel)
            throw EUserError("picture model: the page has no selection");
        Doc->History()->ResetObjCount();
    }
    THistoryCommand& History() { return *Doc->History(); }
    TListRecPict& Store() { return *Doc->GetPictureStore(); }

    // A rectangle at X, Y of W x H filled with the picture Handle at the
    // picture's own size, not recorded (how a document opened from a
    // picture file starts).
    TRectObj* AddPictureRect(int32_t Handle, int32_t X, int32_t Y, int32_t W, int32_t H, TDrawGroup* Into = nullptr)
    {
        const BITMAPINFOHEADER* Info = RecPictureHeader(Store().GetItemByHandle(Handle)->Picture);
        auto R = std::make_unique<TRectObj>(Page, -1);
        R->SetFrame(X, Y, W, H);
        R->Macros().Clear();
        R->Macros().Add(MakePictureMacro(Handle, Info->biWidth, Info->biHeight));
        R->SetFillPath(1);
        R->SetLayer(Page->GetLayers()->GetCurrent());
        return static_cast<TRectObj*>((Into ? Into : &Page->RootGroup())->AddChild(std::move(R), -1));
    }
    int32_t AddPicture(int32_t Kind, int32_t W, int32_t H)
    {
        TrecPicture P = MakePicture(Kind, W, H);
        const int32_t Handle = Store().AddPicture(-1, 0, 0, 0.0, TPoint{0, 0}, W, H, 0, P, "");
        RecPictureClear(P);
        return Handle;
    }
    TBytes Saved()
    {
        TMemoryStream S;
        Doc->SaveToStream(S);
        return StreamBytesOf(S);
    }
    // What the file holds but its thumbnail (whose drawing and colour
    // reduction take most of a save's time): the pages and the pictures.
    TBytes Content()
    {
        TMemoryStream S;
        for (int32_t I = 0; I < Doc->GetPageCount(); ++I)
            Doc->GetPage(I)->WriteToStream(S);
        Store().WriteToStream(S, nullptr);
        return StreamBytesOf(S);
    }
    // The handles of the pictures the items name (and the derived ones they
    // use), each once.
    std::vector<int32_t> UsedHandles()
    {
        TListPtrWex List;
        Page->CollectPictureHandles(List);
        std::vector<int32_t> Out;
        for (int32_t I = 0; I < List.Count(); ++I)
            Out.push_back(static_cast<int32_t>(reinterpret_cast<intptr_t>(List.Get(I))));
        std::sort(Out.begin(), Out.end());
        Out.erase(std::unique(Out.begin(), Out.end()), Out.end());
        return Out;
    }
    // The base pictures among them: those a fill names.
    std::vector<int32_t> BaseHandles()
    {
        std::vector<int32_t> Out;
        for (int32_t H : UsedHandles())
            if (const TListRecPictItem* Item = Store().GetItemByHandle(H); Item && Item->Condition->SourceHandle < 0)
                Out.push_back(H);
        return Out;
    }
    // What is wrong with the pictures now ("" when nothing): every handle an
    // item names is held, and the document writes exactly the base pictures
    // its items use.
    std::string PictureFault()
    {
        const std::vector<int32_t> Used = UsedHandles();
        for (int32_t H : Used) {
            const TListRecPictItem* Item = Store().GetItemByHandle(H);
            if (!Item || !Item->Picture.pBits)
                return "an item names the picture " + std::to_string(H) + ", which the store does not hold";
        }
        TListPtrWex Filter;
        for (int32_t H : Used)
            Filter.Add(reinterpret_cast<void*>(static_cast<intptr_t>(H)));
        TMemoryStream All, OnlyUsed;
        Store().WriteToStream(All, nullptr);
        Store().WriteToStream(OnlyUsed, &Filter);
        if (StreamBytesOf(All) != StreamBytesOf(OnlyUsed))
            return "the document writes pictures its items do not use";
        return "";
    }
    // Every leaf object below Group.
    static void Leaves(TDrawItem& Item, std::vector<TDrawObject*>& Out)
    {
        if (auto* G = dynamic_cast<TDrawGroup*>(&Item)) {
            for (int32_t I = 0; I < G->GetCount(); ++I)
                Leaves(*G->GetItem(I), Out);
        } else if (auto* O = dynamic_cast<TDrawObject*>(&Item)) {
            Out.push_back(O);
        }
    }
};

// One sequence of the model. Pick(N) gives a choice in 0 .. N - 1.
class TPictureHistoryModel {
public:
    using TPick = std::function<uint32_t(uint32_t)>;

    // RollSize and BlockBudget small make the history drop its oldest
    // commands on the way (0 keeps the history's own). WholeFile compares the
    // document saved whole, thumbnail and all; otherwise its Content.
    TPictureHistoryModel(TModelEnvironment& Env, TPick Pick, int32_t RollSize = 0, int64_t BlockBudget = 0,
                         bool WholeFile = true)
        : FEnv(Env), FPick(std::move(Pick)), FWholeFile(WholeFile)
    {
        if (RollSize > 0)
            FDoc.History().SetRollBufSize(RollSize);
        if (BlockBudget > 0)
            FDoc.History().SetBlockBudget(BlockBudget);
        MakeSourceClipboards();
        FStates.push_back(State());
    }

    TModelDocument& Document() { return FDoc; }
    const std::vector<std::string>& Log() const { return FLog; }
    size_t StateCount() const { return FStates.size(); }

    // One step; "" when sound, else what went wrong.
    std::string Step()
    {
        try {
            return DoStep();
        } catch (const Exception& E) {
            return Where() + ": raised " + E.Message();
        }
    }

    // Undoes every step the history holds and redoes them all again, each
    // state compared with its saved bytes.
    std::string Finish()
    {
        try {
            THistoryCommand& H = FDoc.History();
            while (H.CanUndo()) {
                FLog.push_back("undo all");
                if (std::string F = Undo(); !F.empty())
                    return F;
            }
            while (H.CanRedo()) {
                FLog.push_back("redo all");
                if (std::string F = Redo(); !F.empty())
                    return F;
            }
            if (FPos + 1 != FStates.size())
                return Where() + ": redoing all ended at state " + std::to_string(FPos) + " of " +
                       std::to_string(FStates.size());
            return "";
        } catch (const Exception& E) {
            return Where() + ": raised " + E.Message();
        }
    }

private:
    std::string Where() const
    {
        std::string S = "after";
        const size_t From = FLog.size() > 12 ? FLog.size() - 12 : 0;
        if (From > 0)
            S += " ...";
        for (size_t I = From; I < FLog.size(); ++I)
            S += " " + FLog[I];
        return S;
    }

    uint32_t Pick(uint32_t N) { return N ? FPick(N) % N : 0; }
    TBytes State() { return FWholeFile ? FDoc.Saved() : FDoc.Content(); }

    // The clipboards of other documents: a rectangle filled with picture
    // 0; a group of rectangles filled with pictures 0 and 1 beside one
    // filled with picture 2; a rectangle with a larger picture 3.
    void MakeSourceClipboards()
    {
        const auto Copy = [&](const std::function<void(TModelDocument&)>& Fill) {
            TModelDocument Source;
            Fill(Source);
            for (int32_t I = 0; I < Source.Page->RootGroup().GetCount(); ++I)
                Source.Sel->AddItemSub(Source.Page->RootGroup().GetItem(I));
            Source.Sel->CopyToClipboard();
            FSources.push_back(FEnv.Clipboard.Data);
        };
        Copy([](TModelDocument& S) { S.AddPictureRect(S.AddPicture(0, 12, 9), 4, 4, 30, 20); });
        Copy([](TModelDocument& S) {
            auto* G = static_cast<TDrawGroup*>(
                S.Page->RootGroup().AddChild(std::make_unique<TDrawGroup>(S.Page, -1), -1));
            S.AddPictureRect(S.AddPicture(0, 12, 9), 10, 30, 16, 16, G);
            S.AddPictureRect(S.AddPicture(1, 10, 10), 30, 30, 20, 12, G);
            S.AddPictureRect(S.AddPicture(2, 8, 14), 50, 8, 18, 24);
        });
        Copy([](TModelDocument& S) { S.AddPictureRect(S.AddPicture(3, 40, 30), 20, 10, 40, 30); });
        FEnv.Clipboard.Data.clear();
    }

    std::vector<TDrawItem*> TopItems()
    {
        std::vector<TDrawItem*> Items;
        for (int32_t I = 0; I < FDoc.Page->RootGroup().GetCount(); ++I)
            Items.push_back(FDoc.Page->RootGroup().GetItem(I));
        return Items;
    }

    void Paste(const std::string& Text)
    {
        TMemoryStreamWex In;
        In.SetPointer(Text.data(), static_cast<int64_t>(Text.size()));
        FDoc.Sel->PasteCommand(In, true, CaptionPaste);
    }

    void Select()
    {
        const std::vector<TDrawItem*> Items = TopItems();
        THistoryCommand& H = FDoc.History();
        const uint32_t Kind = Pick(4);
        RunRolledBack(&H, SelectCaption, [&] {
            if (Kind == 0) {
                FDoc.Sel->ClearSelection();
            } else if (Kind == 1) {
                for (TDrawItem* I : Items)
                    if (!FDoc.Sel->IsSelected(I))
                        FDoc.Sel->AddItem(I);
            } else if (!Items.empty()) {
                TDrawItem* I = Items[Pick(static_cast<uint32_t>(Items.size()))];
                if (FDoc.Sel->IsSelected(I))
                    FDoc.Sel->RemoveItem(I);
                else
                    FDoc.Sel->AddItem(I);
            }
        });
    }

    // The fill editor: a picture loaded (taken into the store while the
    // editor is open, outside any command) or one the store holds, and the
    // object's own size, put into one object's fill as one command.
    void FillEdit()
    {
        std::vector<TDrawObject*> Objects;
        for (TDrawItem* I : TopItems())
            TModelDocument::Leaves(*I, Objects);
        if (Objects.empty())
            return;
        TDrawObject* Object = Objects[Pick(static_cast<uint32_t>(Objects.size()))];
        THistoryCommand& H = FDoc.History();
        int32_t Handle = -1;
        if (Pick(2) == 0) {
            THistoryLock Lock(&H);
            // Kinds 0 to 3 are the pasted pictures again (the same picture
            // loaded twice is stored once).
            const int32_t Kind = static_cast<int32_t>(Pick(6));
            Handle = FDoc.AddPicture(Kind, Kind == 3 ? 40 : 10 + Kind, Kind == 3 ? 30 : 9 + Kind);
        } else {
            // A picture an item uses.
            const std::vector<int32_t> Used = FDoc.BaseHandles();
            if (Used.empty())
                return;
            Handle = Used[Pick(static_cast<uint32_t>(Used.size()))];
        }
        const TRect B = Object->GetPath().Bounds;
        const int32_t W = std::max(1, B.Right - B.Left), Ht = std::max(1, B.Bottom - B.Top);
        TMacros Macros;
        Macros.Assign(&Object->Macros());
        if (Macros.Count() == 0)
            return;
        Macros.GetMacro(0)->SetParamValue(FillCaption, PictureFillValue(Handle, W, Ht));
        RunRolledBack(&H, FillEditCaption, [&] { TDrawItem::SetFMacrosPaintParam(*Object, Macros); });
    }

    std::string DoStep()
    {
        THistoryCommand& H = FDoc.History();
        const int32_t Start = H.MenuStart(), End = H.MenuEnd(), No = H.MenuNo();
        switch (Pick(16)) {
        case 0:
        case 1:
            FLog.push_back("select");
            Select();
            break;
        case 2:
        case 3:
        case 4: {
            const uint32_t From = Pick(static_cast<uint32_t>(FSources.size() + 1));
            const std::string Text = From < FSources.size() ? FSources[From] : FOwnClipboard;
            FLog.push_back("paste" + std::to_string(From));
            if (Text.empty())
                return "";
            Paste(Text);
            break;
        }
        case 5:
            FLog.push_back("copy");
            if (FDoc.Sel->Count() == 0)
                return "";
            FDoc.Sel->CopyToClipboard();
            FOwnClipboard = FEnv.Clipboard.Data;
            return Check("");
        case 6:
            FLog.push_back("duplicate");
            FDoc.Sel->DuplicateCommand(CaptionDuplicate);
            break;
        case 7:
            FLog.push_back("cut");
            if (FDoc.Sel->Count() == 0)
                return "";
            FDoc.Sel->CutToClipboard();
            FOwnClipboard = FEnv.Clipboard.Data;
            break;
        case 8:
            FLog.push_back("delete");
            FDoc.Sel->DeleteCommand(CaptionDelete);
            break;
        case 9:
        case 10:
            FLog.push_back("fill");
            FillEdit();
            break;
        case 11:
            FLog.push_back("group");
            if (FDoc.Sel->Count() < 2)
                return "";
            FDoc.Sel->GroupCommand(GroupCaption);
            break;
        case 12:
        case 13:
            FLog.push_back("undo");
            return H.CanUndo() ? Undo() : "";
        default:
            FLog.push_back("redo");
            return H.CanRedo() ? Redo() : "";
        }
        if (H.IsCommandOpen())
            return Where() + ": a command stayed open";
        if (H.MenuStart() < 0) {
            // The history was cleared: this state is the first.
            FStates.assign(1, State());
            FPos = 0;
        } else if (H.MenuStart() != Start || H.MenuEnd() != End || H.MenuNo() != No) {
            FStates.resize(FPos + 1);
            FStates.push_back(State());
            ++FPos;
        }
        return Check("");
    }

    std::string Check(const char* What)
    {
        if (!FEnv.Boxes.empty())
            return Where() + ": a message box: " + FEnv.Boxes.front();
        if (std::string F = FDoc.PictureFault(); !F.empty())
            return Where() + What + ": " + F;
        return "";
    }

    std::string Undo()
    {
        if (FPos == 0)
            return Where() + ": undo went past the first state";
        FDoc.History().Undo();
        --FPos;
        if (State() != FStates[FPos])
            return Where() + ": the bytes of state " + std::to_string(FPos) + " did not come back";
        return Check("");
    }

    std::string Redo()
    {
        if (FPos + 1 >= FStates.size())
            return Where() + ": redo went past the last state";
        FDoc.History().Redo();
        ++FPos;
        if (State() != FStates[FPos])
            return Where() + ": the bytes of state " + std::to_string(FPos) + " did not come back";
        return Check("");
    }

    TModelEnvironment& FEnv;
    TPick FPick;
    bool FWholeFile;
    TModelDocument FDoc;
    std::vector<std::string> FSources;
    std::string FOwnClipboard;
    std::vector<TBytes> FStates;
    size_t FPos = 0;
    std::vector<std::string> FLog;
};

} // namespace picture_history
