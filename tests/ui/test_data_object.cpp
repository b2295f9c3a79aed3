// Data objects, format enumerators, drop sources and drop targets without a
// window system.
#include "ole_test_support.h"

#include "platform/clipboard_formats.h"
#include "platform/drop_files.h"
#include "ui/drop_source.h"
#include "ui/drop_target.h"
#include "ui/file_data_object.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace std::string_literals;

namespace {

constexpr uint16_t CF_OWN = 0xC100;

TComPtr<TBytesDataObject> TwoFormats(bool* Gone = nullptr)
{
    return MakeCom<TBytesDataObject>(TBlocks{{CF_OWN, "own"}, {CF_TEXT, "text\0"s}}, Gone);
}

} // namespace

TEST(DataObject, QueryGetDataComparesFormatAspectAndSharedMediumBits)
{
    const auto D = TwoFormats();
    struct Case {
        FORMATETC F;
        HRESULT Expected;
    };
    int Device = 0;
    for (const Case& C : {
             Case{{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}, S_OK},
             Case{{CF_OWN, &Device, DVASPECT_CONTENT, 7, TYMED_HGLOBAL}, S_OK}, // device, index not compared
             Case{{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL | 4}, S_OK},
             Case{{CF_TEXT, nullptr, 2, -1, TYMED_HGLOBAL}, DV_E_FORMATETC}, // thumbnail aspect
             Case{{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, 4}, DV_E_FORMATETC}, // a stream medium only
             Case{{CF_DIB, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}, DV_E_FORMATETC},
         })
        EXPECT_EQ(D->QueryGetData(C.F), C.Expected) << C.F.cfFormat << " " << C.F.dwAspect << " " << C.F.tymed;
    EXPECT_EQ(MakeCom<TBytesDataObject>(TBlocks{})->QueryGetData(MakeFormatEtc(CF_TEXT)), DV_E_FORMATETC);
    EXPECT_TRUE(DataObjectHasFormat(D.Get(), CF_OWN));
    EXPECT_FALSE(DataObjectHasFormat(D.Get(), CF_DIB));
    EXPECT_FALSE(DataObjectHasFormat(nullptr, CF_TEXT));

    STGMEDIUM M{TYMED_HGLOBAL, reinterpret_cast<HGLOBAL>(1)};
    FORMATETC Thumb = MakeFormatEtc(CF_TEXT);
    Thumb.dwAspect = 2;
    EXPECT_EQ(D->GetData(Thumb, M), DV_E_FORMATETC);
    EXPECT_EQ(M.hGlobal, nullptr);
    EXPECT_EQ(D->Renders, 0);
}

TEST(DataObject, FixedAnswersOfTheOtherMethods)
{
    const auto D = TwoFormats();
    int Device = 0;
    FORMATETC Out;
    const FORMATETC In{CF_OWN, &Device, 2, 3, 5};
    EXPECT_EQ(D->GetCanonicalFormatEtc(In, Out), DATA_S_SAMEFORMATETC);
    EXPECT_EQ(Out.ptd, nullptr);
    EXPECT_EQ(std::tie(Out.cfFormat, Out.dwAspect, Out.lindex, Out.tymed), std::tie(In.cfFormat, In.dwAspect, In.lindex, In.tymed));
    auto* Stat = reinterpret_cast<IEnumSTATDATA*>(&Device);
    EXPECT_EQ(D->EnumDAdvise(&Stat), OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(Stat, nullptr);

    TComPtr<IEnumFORMATETC> Enum;
    ASSERT_EQ(D->EnumFormatEtc(DATADIR_GET, Enum), S_OK);
    EXPECT_EQ(D->EnumFormatEtc(DATADIR_SET, Enum), E_NOTIMPL);
    EXPECT_FALSE(Enum);
}

TEST(DataObject, EnumeratorNextSkipResetClone)
{
    bool Gone = false;
    auto D = TwoFormats(&Gone);
    TComPtr<IEnumFORMATETC> E;
    ASSERT_EQ(D->EnumFormatEtc(DATADIR_GET, E), S_OK);
    D.Reset(); // the enumerator keeps its list alive
    EXPECT_FALSE(Gone);

    FORMATETC Got[3];
    uint32_t Fetched = 99;
    EXPECT_EQ(E->Next(3, Got, &Fetched), S_FALSE);
    EXPECT_EQ(Fetched, 2u);
    EXPECT_EQ(Got[0].cfFormat, CF_OWN);
    EXPECT_EQ(Got[1].cfFormat, CF_TEXT);
    EXPECT_EQ(E->Next(1, Got, &Fetched), S_FALSE);
    EXPECT_EQ(Fetched, 0u);

    EXPECT_EQ(E->Reset(), S_OK);
    EXPECT_EQ(E->Skip(1), S_OK);
    TComPtr<IEnumFORMATETC> Clone;
    ASSERT_EQ(E->Clone(Clone), S_OK);
    EXPECT_EQ(Clone->Next(1, Got, nullptr), S_OK);
    EXPECT_EQ(Got[0].cfFormat, CF_TEXT);

    EXPECT_EQ(E->Skip(2), S_FALSE); // one left: the index goes to the count
    EXPECT_EQ(static_cast<TEnumFormatEtc*>(E.Get())->Index(), 2);
    EXPECT_EQ(E->Next(1, Got, &Fetched), S_FALSE);
    EXPECT_EQ(Fetched, 0u);

    E.Reset();
    EXPECT_FALSE(Gone);
    Clone.Reset();
    EXPECT_TRUE(Gone);
}

TEST(DataObject, TextObjectRendersCp932WithItsZero)
{
    const auto D = MakeCom<TTextDataObject>("日本A");
    EXPECT_EQ(BlockOf(D.Get(), CF_TEXT), "\x93\xfa\x96\x7b" "A\0"s);
    EXPECT_EQ(BlockOf(D.Get(), CF_OWN), "(none)");
    const auto Rtf = MakeCom<TRTFDataObject>("{\\rtf1}");
    EXPECT_EQ(BlockOf(Rtf.Get(), CFRichTextFormat()), "{\\rtf1}\0"s);
    EXPECT_EQ(BlockOf(Rtf.Get(), CF_TEXT), "(none)");
}

TEST(DataObject, GetDataStringTakesTheFirstServedFormatUpToItsZeroOrEnd)
{
    const TFormatEtcList OwnThenText{MakeFormatEtc(CF_OWN), MakeFormatEtc(CF_TEXT)};
    struct Case {
        TBlocks Blocks;
        std::string Expected;
    };
    for (const Case& C : {
             Case{{{CF_TEXT, "second\0"s}, {CF_OWN, "first\0"s}}, "first"},
             Case{{{CF_TEXT, "ab\0cd"s}}, "ab"},
             Case{{{CF_OWN, "abc"}}, "abc"}, // no zero: the block's end
             Case{{{CF_OWN, "\x93\xfa\0"s}}, "日"},
             Case{{{CF_DIB, "x"}}, ""},
         }) {
        std::string Text = "held";
        TDataObject::GetDataString(MakeCom<TBytesDataObject>(C.Blocks).Get(), Text, OwnThenText);
        EXPECT_EQ(Text, C.Expected);
    }
}

TEST(DataObject, GetDataBufferRefusesAShortBlockAndLeavesTheBufferAlone)
{
    const TFormatEtcList Own{MakeFormatEtc(CF_OWN)};
    const size_t Blocks = GlobalBlockCount();
    struct Case {
        TBlocks Blocks;
        bool Expected;
        std::string Buffer;
    };
    for (const Case& C : {
             Case{{{CF_OWN, "12345678"}}, true, "12345678"},
             Case{{{CF_OWN, "123456789"}}, true, "12345678"},
             Case{{{CF_OWN, "1234567"}}, false, "........"},
             Case{{{CF_TEXT, "12345678"}}, false, "........"},
         }) {
        std::string Buffer(8, '.');
        EXPECT_EQ(TDataObject::GetDataBuffer(MakeCom<TBytesDataObject>(C.Blocks).Get(), Buffer.data(), 8, Own),
                  C.Expected);
        EXPECT_EQ(Buffer, C.Buffer);
    }
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

TEST(DropSource, ButtonUpDropsBeforeEscapeCancels)
{
    const auto S = MakeCom<TDropSource>();
    struct Case {
        bool Escape;
        uint32_t Keys;
        HRESULT Expected;
    };
    for (const Case& C : {Case{false, MK_LBUTTON, S_OK}, Case{true, MK_LBUTTON | MK_SHIFT, DRAGDROP_S_CANCEL},
                          Case{false, MK_RBUTTON, DRAGDROP_S_DROP}, Case{true, 0, DRAGDROP_S_DROP}})
        EXPECT_EQ(S->QueryContinueDrag(C.Escape, C.Keys), C.Expected) << C.Escape << " " << C.Keys;
    EXPECT_EQ(S->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
}

TEST(DropTarget, EffectFromTheModifierKeys)
{
    struct Case {
        uint32_t Keys;
        uint32_t Expected;
    };
    for (const Case& C : {Case{0, DROPEFFECT_MOVE}, Case{MK_LBUTTON | MK_ALT, DROPEFFECT_MOVE},
                          Case{MK_CONTROL, DROPEFFECT_COPY}, Case{MK_SHIFT, DROPEFFECT_MOVE},
                          Case{MK_CONTROL | MK_SHIFT | MK_LBUTTON, DROPEFFECT_LINK}})
        EXPECT_EQ(KeyStateDropEffect(C.Keys, DROPEFFECT_MOVE), C.Expected) << C.Keys;
    EXPECT_EQ(KeyStateDropEffect(0, DROPEFFECT_NONE), DROPEFFECT_NONE);
}

TEST(DropTarget, TakesTheFirstAcceptedFormatAndHandsOnTheHeldObject)
{
    const auto T = MakeCom<TDropTarget>(TFormatEtcList{MakeFormatEtc(CF_OWN), MakeFormatEtc(CF_TEXT)});
    std::vector<std::string> Calls;
    IDataObject* Seen = nullptr;
    T->OnDragEnter = [&](IDataObject* D, uint32_t, POINTL P, uint32_t& Effect) {
        Calls.push_back("enter " + std::to_string(Effect) + " " + std::to_string(P.x));
        Seen = D;
    };
    T->OnDragOver = [&](IDataObject*, uint32_t, POINTL, uint32_t& Effect) {
        Calls.push_back("over " + std::to_string(Effect));
        Effect = DROPEFFECT_COPY;
    };
    T->OnDrop = [&](IDataObject* D, uint32_t, POINTL, uint32_t& Effect) {
        Calls.push_back("drop " + std::to_string(Effect) + (D == Seen ? " held" : " other"));
    };
    bool Gone = false;
    auto Text = MakeCom<TBytesDataObject>(TBlocks{{CF_TEXT, "t\0"s}}, &Gone);
    uint32_t Effect = 99;
    T->DragEnter(Text.Get(), MK_CONTROL | MK_SHIFT, POINTL{5, 6}, Effect);
    EXPECT_EQ(T->FormatIndex(), 1);
    EXPECT_EQ(Text->RefCount(), 2u);
    T->DragOver(MK_LBUTTON, POINTL{}, Effect);
    EXPECT_EQ(Effect, DROPEFFECT_COPY);
    const auto Other = TwoFormats();
    T->Drop(Other.Get(), MK_CONTROL, POINTL{}, Effect);
    EXPECT_EQ(Calls, (std::vector<std::string>{"enter 4 5", "over 2", "drop 1 held"}));
    EXPECT_EQ(Effect, DROPEFFECT_COPY);
    EXPECT_EQ(T->DataObject(), nullptr);
    Text.Reset();
    EXPECT_TRUE(Gone);
}

TEST(DropTarget, AnUnacceptedDragShowsNoEffectAndIsNeverDropped)
{
    const auto T = MakeCom<TDropTarget>(TFormatEtcList{MakeFormatEtc(CF_OWN)});
    int Handled = 0;
    T->OnDragEnter = T->OnDragOver = T->OnDrop = [&](IDataObject*, uint32_t, POINTL, uint32_t&) { ++Handled; };
    int Left = 0;
    T->OnDragLeave = [&] { ++Left; };
    const auto Text = MakeCom<TBytesDataObject>(TBlocks{{CF_TEXT, "t\0"s}});
    uint32_t Effect = 7;
    T->DragEnter(Text.Get(), MK_CONTROL, POINTL{}, Effect);
    EXPECT_EQ(Effect, DROPEFFECT_NONE);
    Effect = 7;
    T->DragOver(MK_CONTROL, POINTL{}, Effect);
    EXPECT_EQ(Effect, DROPEFFECT_NONE);
    Effect = 7;
    T->Drop(Text.Get(), MK_CONTROL, POINTL{}, Effect);
    EXPECT_EQ(Effect, DROPEFFECT_NONE);
    EXPECT_EQ(Handled, 0);

    const auto Own = TwoFormats();
    T->DragEnter(Own.Get(), 0, POINTL{}, Effect);
    EXPECT_EQ(Own->RefCount(), 2u);
    T->DragLeave();
    EXPECT_EQ(Left, 1);
    EXPECT_EQ(Own->RefCount(), 1u);
}

TEST(FileDataObject, DropFilesBlockLayoutAndFileList)
{
    TStringList Names;
    Names.Add("/tmp/a b.txt");
    Names.Add("/tmp/ü");
    const auto D = MakeCom<TFileDataObject>(Names);
    const std::string Header("\x14\0\0\0" "\0\0\0\0" "\0\0\0\0" "\xff\xff\xff\xff" "\0\0\0\0", 20);
    EXPECT_EQ(BlockOf(D.Get(), CF_HDROP), Header + "/tmp/a b.txt\0/tmp/ü\0\0"s);

    TStringList List;
    List.Add("held");
    TFileDataObject::GetFileList(D.Get(), List);
    ASSERT_EQ(List.Count(), 2);
    EXPECT_EQ(List.Strings(0), "/tmp/a b.txt");
    EXPECT_EQ(List.Strings(1), "/tmp/ü");

    TFileDataObject::GetFileList(TwoFormats().Get(), List);
    EXPECT_EQ(List.Count(), 0);
}

TEST(FileDataObject, MalformedBlocksGiveOnlyTheNamesInsideThem)
{
    const std::string Good = DropFilesBytes({"/a", "/b"});
    std::string FarOffset = Good;
    FarOffset[0] = '\x7f';
    std::string Wide = Good;
    Wide[16] = 1;
    struct Case {
        std::string Block;
        std::vector<std::string> Names;
    };
    for (const Case& C : {
             Case{Good, {"/a", "/b"}},
             Case{Good.substr(0, 19), {}},
             Case{FarOffset, {}},
             Case{Wide, {}},
             Case{Good.substr(0, 25), {"/a"}}, // "/b" is cut off before its zero
         }) {
        TStringList List;
        TFileDataObject::GetFileList(MakeCom<TBytesDataObject>(TBlocks{{CF_HDROP, C.Block}}).Get(), List);
        std::vector<std::string> Got;
        for (int32_t I = 0; I < List.Count(); ++I)
            Got.push_back(List.Strings(I));
        EXPECT_EQ(Got, C.Names) << C.Block.size();
    }
}
