// The panel's name box: an item's name is kept as CP932, so the box leaves
// out what CP932 cannot hold as it is typed, and what it shows is what the
// document stores.
#include "panel_test_support.h"

#include "foundation/streams.h"
#include "ui/edit_wex.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <cstring>

namespace {

using FrmObjPropertyName = PanelTest;

std::string SavedBytes(TDocument& Doc)
{
    TMemoryStream S;
    Doc.SaveToStream(S);
    return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}

// The item's record as the document holds it: its ID, then its name as a
// counted string.
std::string IdAndName(int32_t ID, const std::string& Name)
{
    std::string Out(8, '\0');
    const uint32_t Len = static_cast<uint32_t>(Name.size());
    std::memcpy(Out.data(), &ID, 4); // little-endian, as the streams write
    std::memcpy(Out.data() + 4, &Len, 4);
    return Out + Name;
}

TEST_F(FrmObjPropertyName, TypingLeavesOutWhatANameCannotHold)
{
    TRectObj* R = Add<TRectObj>(10, 10, 60, 40);
    Load({R});
    TEditWex* Edit = Panel.edtObjName;
    Edit->clear();
    for (const QChar C : QString::fromUtf8("a€b✓")) {
        QKeyEvent Key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(C));
        QApplication::sendEvent(Edit, &Key);
    }
    EXPECT_EQ(Edit->text().toStdString(), "ab");
    QTest::keyClick(Edit, Qt::Key_Return);
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(History().UndoCaption(), "名前の変更");
    EXPECT_EQ(R->Name(), "ab");
    EXPECT_NE(SavedBytes(*Doc).find(IdAndName(R->ObjID(), "ab")), std::string::npos);
}

} // namespace
