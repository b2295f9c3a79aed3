// The number key filters of edits and combo boxes, and the combo box's use of them.
#include "platform/qt/qt_services.h"
#include "ui/combo_box_wex.h"
#include "ui/number_key_filter.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace {

// Counts the beeps instead of sounding them.
class TBeepCounter {
public:
    TBeepCounter()
    {
        FOld = SetMessageBeepHandler([this](uint32_t Type) { Types.push_back(Type); });
    }
    ~TBeepCounter() { SetMessageBeepHandler(FOld); }
    std::vector<uint32_t> Types;

private:
    TMessageBeepHandler FOld;
};

struct TKeyCase {
    const char* Name;
    bool Combo;
    TEditWexInputType Type;
    const char16_t* Text;
    int SelStart;
    int SelLength;
    char16_t Key;
    bool Passes;
};

const TKeyCase kKeyCases[] = {
    {"digit", false, ekitPlusInteger, u"12", 2, 0, u'7', true},
    {"backspace is a control character", false, ekitPlusInteger, u"12", 2, 0, 8, true},
    {"letter", false, ekitReal, u"12", 2, 0, u'a', false},
    {"blank", false, ekitReal, u"12", 2, 0, u' ', false},
    {"full-width digit", false, ekitReal, u"12", 2, 0, u'５', false},
    {"point where integers are typed", false, ekitInteger, u"12", 2, 0, u'.', false},
    {"minus where only positive numbers are typed", false, ekitPlusReal, u"", 0, 0, u'-', false},
    {"minus after a digit", false, ekitInteger, u"12", 1, 0, u'-', false},
    {"minus at the start", false, ekitInteger, u"12", 0, 0, u'-', true},
    {"minus into an empty edit", false, ekitInteger, u"", 0, 0, u'-', true},
    {"second minus at the start", false, ekitInteger, u"-12", 0, 0, u'-', false},
    {"minus over a selection from the start", false, ekitInteger, u"12", 0, 1, u'-', true},
    {"minus over all but the first character", false, ekitInteger, u"-12", 1, 2, u'-', false},
    {"minus over all the text", false, ekitInteger, u"-12", 0, 3, u'-', true},
    {"first point", false, ekitReal, u"15", 1, 0, u'.', true},
    {"second point", false, ekitReal, u"1.5", 3, 0, u'.', false},
    {"point over part of the text", false, ekitReal, u"1.5", 0, 2, u'.', false},
    {"point over all the text", false, ekitReal, u"1.5", 0, 3, u'.', true},
    {"combo: minus where only positive numbers are typed", true, ekitPlusReal, u"", 0, 0, u'-', false},
    {"combo: minus at the start", true, ekitReal, u"12", 0, 0, u'-', true},
    {"combo: first point", true, ekitPlusReal, u"15", 2, 0, u'.', true},
    {"combo: point over all the text", true, ekitPlusReal, u"1.5", 0, 3, u'.', false},
    {"combo: letter", true, ekitInteger, u"", 0, 0, u'x', false},
};

TEST(NumberKeyFilter, EdgeCases)
{
    for (const TKeyCase& C : kKeyCases) {
        SCOPED_TRACE(C.Name);
        TBeepCounter Beeps;
        bool Point = false;
        bool Sign = false;
        ASSERT_TRUE(NumberFilterOptions(C.Type, Point, Sign));
        QChar Key(C.Key);
        if (C.Combo)
            ComboNumberKeyFilter(QString::fromUtf16(C.Text), C.SelStart, C.SelLength, Point, Sign, Key);
        else
            NumberKeyFilter(QString::fromUtf16(C.Text), C.SelStart, C.SelLength, Point, Sign, Key);
        EXPECT_EQ(Key, C.Passes ? QChar(C.Key) : QChar());
        EXPECT_EQ(Beeps.Types, C.Passes ? std::vector<uint32_t>{} : std::vector<uint32_t>{0});
    }
    bool Point = true;
    bool Sign = true;
    EXPECT_FALSE(NumberFilterOptions(ekitNormal, Point, Sign));
    EXPECT_FALSE(NumberFilterOptions(ekitHex, Point, Sign));
}

TEST(NumberKeyFilter, ReadsTheControlsTextAndSelection)
{
    TBeepCounter Beeps;
    QLineEdit Edit("-1.5");
    QChar Key = u'-';
    Edit.setSelection(0, 4);
    NumberKeyFilter(Edit, true, true, Key);
    EXPECT_EQ(Key, QChar(u'-'));
    Edit.setCursorPosition(0);
    NumberKeyFilter(Edit, true, true, Key);
    EXPECT_EQ(Key, QChar());
    EXPECT_EQ(Beeps.Types.size(), 1u);
}

TEST(ComboBoxWex, NumberInputTypesFilterTypedKeys)
{
    const struct {
        TEditWexInputType Type;
        const char* Typed;
        const char* Text;
        size_t Beeps;
    } Cases[] = {
        {ekitNormal, "-1.2.3x", "-1.2.3x", 0},
        {ekitInteger, "-1.2-", "-12", 2},
        {ekitPlusInteger, "-12a", "12", 2},
        {ekitReal, "-1.2.3", "-1.23", 1},
        {ekitPlusReal, "-1.2.3", "1.23", 2},
        {ekitHex, "x-.", "x-.", 0},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Typed);
        TBeepCounter Beeps;
        TComboBoxWex Combo;
        Combo.setEditable(true);
        Combo.InputType = C.Type;
        QTest::keyClicks(&Combo, C.Typed);
        EXPECT_EQ(Combo.currentText(), C.Text);
        EXPECT_EQ(Beeps.Types.size(), C.Beeps);
    }
}

} // namespace
