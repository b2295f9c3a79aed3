// The style library tree, its file form and its open and save rules.
#include "editors/style_file.h"

#include "foundation/streams.h"
#include "platform/cp932.h"
#include "platform/message_box.h"
#include "platform/safe_write.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <sys/stat.h>

EStyleInvalidateData::EStyleInvalidateData() : EStyleError("データ構造が異常です。") {}

namespace {

using TSiblings = std::vector<std::unique_ptr<TStyleGroup>>;

// Visits every group in tree order with its level. A stack of open sibling
// lists instead of a recursion: the depth of a tree costs memory, not stack.
template <class TVisit>
void WalkTree(const TSiblings& Roots, TVisit&& Visit)
{
    std::vector<std::pair<const TSiblings*, size_t>> Open{{&Roots, 0}};
    while (!Open.empty()) {
        const TSiblings& List = *Open.back().first;
        const size_t Next = Open.back().second++;
        if (Next == List.size()) {
            Open.pop_back();
            continue;
        }
        TStyleGroup* Group = List[Next].get();
        Visit(Group, static_cast<int32_t>(Open.size() - 1));
        if (!Group->Children.empty())
            Open.emplace_back(&Group->Children, 0);
    }
}

std::vector<TStyleGroup*> TreeOrder(const TStyleTree& Tree)
{
    std::vector<TStyleGroup*> Out;
    WalkTree(Tree.Roots, [&Out](TStyleGroup* Group, int32_t) { Out.push_back(Group); });
    return Out;
}

// How many levels Group's subtree spans below Group itself.
int32_t HeightBelow(const TStyleGroup& Group)
{
    int32_t Height = 0;
    WalkTree(Group.Children, [&Height](TStyleGroup*, int32_t Level) { Height = std::max(Height, Level + 1); });
    return Height;
}

bool FileExists(const std::string& Path)
{
    struct stat St {};
    return ::stat(Path.c_str(), &St) == 0;
}

std::string NameOf(const std::string& Path)
{
    const size_t Slash = Path.find_last_of('/');
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

std::string WithExtension(const std::string& Path, const std::string& Ext)
{
    const size_t Slash = Path.find_last_of('/');
    const size_t Dot = Path.find_last_of('.');
    if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash))
        return Path + Ext;
    return Path.substr(0, Dot) + Ext;
}

} // namespace

int32_t TStyleTree::NodeCount() const { return static_cast<int32_t>(TreeOrder(*this).size()); }

TStyleGroup* TStyleTree::NodeAt(int32_t Index) const
{
    const auto Nodes = TreeOrder(*this);
    return Index < 0 || Index >= static_cast<int32_t>(Nodes.size()) ? nullptr : Nodes[Index];
}

int32_t TStyleTree::IndexOf(const TStyleGroup* Group) const
{
    const auto Nodes = TreeOrder(*this);
    const auto It = std::find(Nodes.begin(), Nodes.end(), Group);
    return It == Nodes.end() ? -1 : static_cast<int32_t>(It - Nodes.begin());
}

void TStyleTree::ForEachGroup(const std::function<void(TStyleGroup*, int32_t)>& Visit) const
{
    WalkTree(Roots, Visit);
}

int32_t TStyleTree::LevelOf(const TStyleGroup* Group)
{
    int32_t Level = 0;
    for (const TStyleGroup* P = Group ? Group->Parent : nullptr; P; P = P->Parent)
        ++Level;
    return Level;
}

std::vector<std::unique_ptr<TStyleGroup>>& TStyleTree::SiblingsOf(TStyleGroup* Parent)
{
    return Parent ? Parent->Children : Roots;
}

TStyleGroup* TStyleTree::AddGroup(const TStyleGroup* Selected, const std::string& Name)
{
    return AddChild(Selected ? Selected->Parent : nullptr, Name);
}

TStyleGroup* TStyleTree::AddChild(TStyleGroup* Parent, const std::string& Name)
{
    if (Parent && LevelOf(Parent) >= StyleMaxLevel)
        throw EStyleError("グループの階層が深すぎます。");
    auto Group = std::make_unique<TStyleGroup>();
    Group->Name = Name;
    Group->Parent = Parent;
    TStyleGroup* Result = Group.get();
    SiblingsOf(Parent).push_back(std::move(Group));
    return Result;
}

void TStyleTree::DeleteGroup(TStyleGroup* Group)
{
    if (!Group)
        return;
    auto& Siblings = SiblingsOf(Group->Parent);
    std::erase_if(Siblings, [Group](const auto& N) { return N.get() == Group; });
}

bool TStyleTree::MoveGroup(TStyleGroup* Group, TStyleGroup* NewParent, int32_t Index)
{
    if (!Group)
        return false;
    for (const TStyleGroup* P = NewParent; P; P = P->Parent)
        if (P == Group)
            return false;
    if (NewParent && LevelOf(NewParent) + 1 + HeightBelow(*Group) > StyleMaxLevel)
        return false;
    auto& From = SiblingsOf(Group->Parent);
    const auto It = std::find_if(From.begin(), From.end(), [Group](const auto& N) { return N.get() == Group; });
    if (It == From.end())
        return false;
    std::unique_ptr<TStyleGroup> Owned = std::move(*It);
    From.erase(It);
    auto& To = SiblingsOf(NewParent);
    Index = std::clamp<int32_t>(Index, 0, static_cast<int32_t>(To.size()));
    Owned->Parent = NewParent;
    To.insert(To.begin() + Index, std::move(Owned));
    return true;
}

void TStyleTree::MoveItem(TStyleGroup& From, int32_t FromIndex, TStyleGroup& To, int32_t ToIndex)
{
    if (FromIndex < 0 || FromIndex >= static_cast<int32_t>(From.Items.size()))
        return;
    TStyleEntry Entry = std::move(From.Items[FromIndex]);
    From.Items.erase(From.Items.begin() + FromIndex);
    ToIndex = std::clamp<int32_t>(ToIndex, 0, static_cast<int32_t>(To.Items.size()));
    To.Items.insert(To.Items.begin() + ToIndex, std::move(Entry));
}

void TStyleTree::Append(TStyleTree&& Other)
{
    for (auto& Root : Other.Roots) {
        Root->Parent = nullptr;
        Roots.push_back(std::move(Root));
    }
    Other.Roots.clear();
}

void StyleWriteString(TStream& Stream, const std::string& Utf8)
{
    const std::string Bytes = Utf8ToCp932(Utf8);
    const auto Count = static_cast<int32_t>(Bytes.size());
    uint8_t Le[4];
    for (int I = 0; I < 4; ++I)
        Le[I] = static_cast<uint8_t>(static_cast<uint32_t>(Count) >> (8 * I));
    Stream.WriteBuffer(Le, 4);
    Stream.WriteBuffer(Bytes.data(), Count);
}

std::string StyleReadString(TStream& Stream)
{
    uint8_t Le[4];
    Stream.ReadBuffer(Le, 4);
    const auto Count = static_cast<int32_t>(static_cast<uint32_t>(Le[0]) | (static_cast<uint32_t>(Le[1]) << 8) |
                                            (static_cast<uint32_t>(Le[2]) << 16) |
                                            (static_cast<uint32_t>(Le[3]) << 24));
    // A damaged count must not make us allocate gigabytes before the read fails.
    const int64_t Left = Stream.Size() - Stream.Position();
    if (Count < 0 || Count > Left)
        throw EStyleInvalidateData();
    std::string Bytes(static_cast<size_t>(Count), '\0');
    Stream.ReadBuffer(Bytes.data(), Count);
    return Cp932ToUtf8(Bytes);
}

int32_t StyleReadNumber(TStream& Stream)
{
    const std::string Text = StyleReadString(Stream);
    int32_t Value = 0;
    const char* Begin = Text.data();
    const char* End = Begin + Text.size();
    if (Begin != End && *Begin == '+')
        ++Begin;
    const auto [Ptr, Ec] = std::from_chars(Begin, End, Value);
    if (Text.empty() || Ec != std::errc() || Ptr != End)
        throw EStyleInvalidateData();
    return Value;
}

void LoadStyleStream(TStream& Stream, const std::string& Header, const TStyleItemLoad& ItemLoad,
                     TStyleTree& Tree, int32_t* Version)
{
    if (StyleReadString(Stream) != Header)
        throw EStyleInvalidateData();
    const int32_t FileVersion = StyleReadNumber(Stream);
    const int32_t Count = StyleReadNumber(Stream);
    if (Count < 0)
        throw EStyleInvalidateData();

    TStyleTree Read;
    // The groups still open, from the top down to the last one read, each
    // with the level its record gave it.
    std::vector<std::pair<int32_t, TStyleGroup*>> Open;
    for (int32_t I = 0; I < Count; ++I) {
        const int32_t Level = std::max(StyleReadNumber(Stream), 0);
        while (!Open.empty() && Open.back().first >= Level)
            Open.pop_back();
        if (static_cast<int32_t>(Open.size()) > StyleMaxLevel)
            throw EStyleInvalidateData();
        TStyleGroup* Parent = Open.empty() ? nullptr : Open.back().second;
        TStyleGroup* Group = Read.AddChild(Parent, StyleReadString(Stream));
        Open.emplace_back(Level, Group);

        const int32_t Items = StyleReadNumber(Stream);
        if (Items < 0)
            throw EStyleInvalidateData();
        for (int32_t K = 0; K < Items; ++K) {
            TStyleEntry Entry;
            Entry.Title = StyleReadString(Stream);
            if (ItemLoad)
                Entry.Data = ItemLoad(Stream, FileVersion);
            Group->Items.push_back(std::move(Entry));
        }
    }
    Tree = std::move(Read);
    if (Version)
        *Version = FileVersion;
}

void SaveStyleStream(TStream& Stream, const std::string& Header, int32_t Version,
                     const TStyleTree& Tree, const TStyleItemSave& ItemSave)
{
    StyleWriteString(Stream, Header);
    StyleWriteString(Stream, std::to_string(Version));
    StyleWriteString(Stream, std::to_string(Tree.NodeCount()));
    WalkTree(Tree.Roots, [&](const TStyleGroup* Group, int32_t Level) {
        StyleWriteString(Stream, std::to_string(Level));
        StyleWriteString(Stream, Group->Name);
        StyleWriteString(Stream, std::to_string(Group->Items.size()));
        for (const TStyleEntry& Entry : Group->Items) {
            StyleWriteString(Stream, Entry.Title);
            if (ItemSave)
                ItemSave(Stream, Entry.Data.get());
        }
    });
}

std::string StyleUnreadableMessage(const std::string& Path, const std::string& Aside)
{
    std::string Text = "スタイルファイル " + Path + " を読み込めません。";
    if (!Aside.empty())
        Text += "元のファイルは " + Aside + " に名前を変えて残しました。";
    else
        Text += "元のファイルはそのまま残し、上書きしません。";
    return Text + "標準のスタイルを使います。";
}

void TCustomStyle::LoadFromFile(const std::string& Path, TStyleTree& Tree) const
{
    // (A pipe or a device in the library's place is refused, never waited on.)
    TFileStream Stream(Path, fmOpenRead | fmShareDenyWrite);
    LoadStyleStream(Stream, DataFileHeader, OnItemLoad, Tree);
}

void TCustomStyle::LoadLibrary(TStyleTree& Tree)
{
    FSetAside.clear();
    if (FileExists(FileName)) {
        try {
            LoadFromFile(FileName, Tree);
            FKeepUserFile = false;
            return;
        } catch (const std::exception&) {
            // The user's own presets: keep them where the user can find them.
            std::string Aside = FileName + ".bad";
            for (int N = 2; FileExists(Aside) && N < 1000; ++N)
                Aside = FileName + ".bad" + std::to_string(N);
            if (!FileExists(Aside) && std::rename(FileName.c_str(), Aside.c_str()) == 0) {
                FSetAside = Aside;
                FKeepUserFile = false;
            } else {
                FKeepUserFile = true;
            }
            MessageBox(nullptr, StyleUnreadableMessage(FileName, FSetAside), "警告",
                       MB_OK | MB_ICONWARNING);
        }
    } else {
        FKeepUserFile = false;
    }
    const std::string Name = NameOf(FileName);
    std::vector<std::string> Fallbacks;
    if (!ProgramFolder.empty()) {
        const std::string Folder = ProgramFolder.back() == '/' ? ProgramFolder : ProgramFolder + "/";
        Fallbacks.push_back(Folder + Name);
        Fallbacks.push_back(WithExtension(FileName, ".org"));
        Fallbacks.push_back(WithExtension(Folder + Name, ".org"));
    } else {
        Fallbacks.push_back(WithExtension(FileName, ".org"));
    }
    for (const std::string& Path : Fallbacks) {
        if (Path == FileName)
            continue;
        try {
            LoadFromFile(Path, Tree);
            return;
        } catch (const std::exception&) {
        }
    }
    Tree.Clear();
}

bool TCustomStyle::MoveToFolder(const std::string& NewFolder)
{
    const std::string Folder = NewFolder.empty() || NewFolder.back() == '/' ? NewFolder : NewFolder + "/";
    const std::string Target = Folder + NameOf(FileName);
    bool Ok = true;
    if (Target != FileName && FileExists(FileName) && !FileExists(Target)) {
        // Only a regular file comes along; a pipe in its place is refused.
        try {
            TFileStream In(FileName, fmOpenRead | fmShareDenyWrite);
            TMemoryStream Bytes;
            Bytes.LoadFromStream(In);
            Ok = WriteFileReplacing(Target, Bytes.Memory(), static_cast<size_t>(Bytes.Size())) == 0;
        } catch (const std::exception&) {
            Ok = false;
        }
    }
    FileName = Target;
    FKeepUserFile = false;
    return Ok;
}

void TCustomStyle::SaveToFile(const TStyleTree& Tree) const
{
    if (FKeepUserFile)
        throw EFCreateError("スタイルファイル " + FileName + " は読み込めなかったため上書きしません。");
    TMemoryStream Stream;
    SaveStyleStream(Stream, DataFileHeader, Version, Tree, OnItemSave);
    const int Err = WriteFileReplacing(FileName, Stream.Memory(), static_cast<size_t>(Stream.Size()));
    if (Err != 0)
        throw EFCreateError("スタイルファイル " + FileName + " を書き込めません。");
}
