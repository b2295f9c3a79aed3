// The program's own pictures and help pages: the mouse tools' cursors with
// their hot spots, the tool palette and command glyphs, the icons, and a help
// page with an anchor for every help context the program asks for.
#include "platform/qt/screen_cursors.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct TCursorCase {
    const char* Name;
    QPoint HotSpot;
};

// The hands grip at the palm, the node tools point with the arrow's tip, the
// drawing tools at the centre of their cross.
const TCursorCase ToolCursors[] = {
    {"CHNDOPN", {16, 16}},  {"CHNDCLS", {16, 16}}, {"CADNODE", {1, 1}}, {"CEDTNODE", {1, 1}},
    {"CBEZIER", {8, 8}},    {"CFREEH", {8, 8}},    {"CELLIPSE", {8, 8}}, {"CLINE", {8, 8}},
    {"CPOLYGON", {8, 8}},   {"CRECT", {8, 8}},     {"CSTAR", {8, 8}},    {"CTEXT", {8, 8}},
};

TEST(DrawnResources, ToolCursorsLoadWithTheirHotSpotOnTheDrawing)
{
    TScreenCursors Table;
    std::set<int32_t> Slots;
    for (const TCursorCase& C : ToolCursors) {
        SCOPED_TRACE(C.Name);
        const int32_t Slot = Table.SetCursorByResource(nullptr, C.Name);
        Slots.insert(Slot);
        const QCursor Cursor = Table.Cursor(Slot);
        EXPECT_EQ(Cursor.hotSpot(), C.HotSpot);
        const QImage Image = Cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(Image.size(), QSize(32, 32));
        EXPECT_EQ(qAlpha(Image.pixel(C.HotSpot)), 255);
        // Crisp: only opaque black, opaque white and clear pixels.
        int Odd = 0;
        for (int Y = 0; Y < 32; ++Y)
            for (int X = 0; X < 32; ++X) {
                const QRgb P = Image.pixel(X, Y);
                const bool Clear = qAlpha(P) == 0;
                const bool Black = P == qRgba(0, 0, 0, 255);
                const bool White = P == qRgba(255, 255, 255, 255);
                Odd += !(Clear || Black || White);
            }
        EXPECT_EQ(Odd, 0);
    }
    EXPECT_EQ(Slots.size(), std::size(ToolCursors));
}

struct TGlyphSet {
    const char* Prefix;
    int Size;
    std::vector<const char*> Names;
};

const TGlyphSet GlyphSets[] = {
    {":/tools/", 24,
     {"sbtnArrow", "sbtnEditNode", "sbtnAddNode", "sbtnHand", "sbtnPolyLine", "sbtnPolyBezier", "sbtnFreeHand",
      "sbtnRect", "sbtnPolygon", "sbtnStar", "sbtnEllipse", "sbtnText"}},
    {":/commands/", 16,
     {"actNew", "actOpen", "actOpenImage", "actClose", "actSave", "actSaveAs", "actPrint", "actPrintSetup",
      "actExit", "actUndo", "actRedo", "actCut", "actCopy", "actPaste", "actDel", "actDup", "actSelAll",
      "actCopyAsBMP", "actZoomIn", "actZoomOut", "actDispHigh", "actDispMid", "actDispLow", "actDispWire",
      "actDispSmooth", "actShowGrid", "actDispAnchor", "actRuler", "actPageAll", "actDispColPlt", "act1Up",
      "act1Down", "actTop", "actBottom", "actArngLeft", "actArngRight", "actCenterH", "actImgCenterH",
      "actEqualH", "actArngTop", "actArngBottom", "actCenterV", "actImgCenterV", "actEqualV", "actToPolyLine",
      "actMerge", "actUnMerge", "actBezierToLine", "actLineToBezier", "actNodeSym", "actNodeSmooth",
      "actNodeSharp", "actNodeConnect", "actNodeDivide", "actSnapGrid", "actSnapObj", "actGridOption",
      "actOption", "actCustomize", "actTileV", "actTileH", "actCascade", "actHelpContents", "actHP",
      "actAbout"}},
    {":/icons/", 256, {"tavro", "srn"}},
    {":/icons/", 16, {"tavro16", "srn16"}},
    {":/icons/", 32, {"tavro32", "srn32"}},
    {":/icons/", 48, {"tavro48", "srn48"}},
};

TEST(DrawnResources, GlyphsAndIconsExistAtTheirSizeAndDrawSomething)
{
    for (const TGlyphSet& Set : GlyphSets)
        for (const char* Name : Set.Names) {
            SCOPED_TRACE(std::string(Set.Prefix) + Name);
            const QImage Image(QString(Set.Prefix) + Name);
            ASSERT_FALSE(Image.isNull());
            EXPECT_EQ(Image.size(), QSize(Set.Size, Set.Size));
            EXPECT_TRUE(Image.hasAlphaChannel());
            // Covered area, smoothed edges counting by their opacity.
            int Cover = 0;
            for (int Y = 0; Y < Image.height(); ++Y)
                for (int X = 0; X < Image.width(); ++X)
                    Cover += qAlpha(Image.pixel(X, Y));
            EXPECT_GT(Cover / 255, Set.Size * Set.Size / 16);
        }
}

// Every help context the program hands to its help, as (first, last) runs.
// "画質低" has 200304, not 2000304: page 0020, anchor 0304.
const std::pair<int, int> HelpContexts[] = {
    {100, 100},           {3210, 3210},         {3621, 3621},         {3730, 3730},         {10000, 10000},
    {200304, 200304},     {2000101, 2000112},   {2000120, 2000122},   {2000201, 2000209},   {2000302, 2000303},
    {2000305, 2000307},   {2000311, 2000316},   {2000318, 2000321},   {2000401, 2000414},   {2000501, 2000503},
    {2000601, 2000607},   {2000701, 2000704},   {2000707, 2000707},   {2000801, 2000803},   {2000901, 2000903},
    {2060200, 2060200},   {5000000, 5000000},   {5020000, 5020005},   {5020091, 5020092},
};

QString HelpDir() { return QString::fromUtf8(TAVRO_HELP_DIR); }

QString ReadPage(const QString& Name)
{
    QFile File(HelpDir() + "/" + Name);
    return File.open(QIODevice::ReadOnly) ? QString::fromUtf8(File.readAll()) : QString();
}

// The anchors of each page of the help folder, by file name.
std::map<QString, std::set<QString>> ReadAnchors()
{
    static const QRegularExpression Anchor(R"re(\b(?:id|name)\s*=\s*"([^"]+)")re");
    std::map<QString, std::set<QString>> Pages;
    for (const QString& Name : QDir(HelpDir()).entryList({"*.html"}, QDir::Files)) {
        std::set<QString>& Ids = Pages[Name];
        for (const QRegularExpressionMatch& M : Anchor.globalMatch(ReadPage(Name)))
            Ids.insert(M.captured(1));
    }
    return Pages;
}

TEST(HelpPages, EveryHelpContextHasItsPageAndAnchor)
{
    const std::map<QString, std::set<QString>> Pages = ReadAnchors();
    for (const auto& [First, Last] : HelpContexts)
        for (int Context = First; Context <= Last; ++Context) {
            const QString Page = QString("f%1.html").arg(Context / 10000, 4, 10, QChar('0'));
            const QString Anchor = QString("%1").arg(Context % 10000, 4, 10, QChar('0'));
            const auto It = Pages.find(Page);
            ASSERT_NE(It, Pages.end()) << Context << " " << Page.toStdString();
            EXPECT_EQ(It->second.count(Anchor), 1u) << Context << " " << Page.toStdString() << "#" << Anchor.toStdString();
        }
}

TEST(HelpPages, TheContentsPageLinksEveryPageAndEveryLinkLands)
{
    const std::map<QString, std::set<QString>> Pages = ReadAnchors();
    ASSERT_TRUE(Pages.count("menu.html"));
    static const QRegularExpression Link(R"re(href="([^"#]+)(?:#([^"]*))?")re");
    std::set<QString> Linked;
    for (const auto& [Name, Ids] : Pages)
        for (const QRegularExpressionMatch& M : Link.globalMatch(ReadPage(Name))) {
            const QString Target = M.captured(1);
            if (!Target.endsWith(".html"))
                continue;
            if (Name == "menu.html")
                Linked.insert(Target);
            const auto It = Pages.find(Target);
            ASSERT_NE(It, Pages.end()) << Name.toStdString() << " -> " << Target.toStdString();
            if (!M.captured(2).isEmpty()) {
                EXPECT_EQ(It->second.count(M.captured(2)), 1u)
                    << Name.toStdString() << " -> " << Target.toStdString() << "#" << M.captured(2).toStdString();
            }
        }
    for (const auto& [Name, Ids] : Pages) {
        if (Name != "menu.html") {
            EXPECT_EQ(Linked.count(Name), 1u) << Name.toStdString();
        }
    }
}

} // namespace
