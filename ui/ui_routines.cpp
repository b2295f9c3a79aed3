#include "ui/ui_routines.h"

#include "foundation/lists.h"
#include "foundation/user_error.h"
#include "platform/cp932.h"
#include "platform/qt/qt_drawing.h"
#include "ui/string_grid_wex.h"

#include <QApplication>
#include <QFontMetrics>
#include <QInputDialog>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QValidator>

#include <algorithm>
#include <utility>
#include <vector>

void MoveTabSheetKeepState(QWidget* TabSheet, QTabWidget* PageControl)
{
    std::vector<std::pair<QComboBox*, int>> Indexes;
    for (QComboBox* Combo : TabSheet->findChildren<QComboBox*>())
        Indexes.emplace_back(Combo, Combo->currentIndex());
    QWidget* Parent = PageControl->parentWidget();
    const QRect Bounds = Parent ? Parent->geometry() : QRect();

    QString Caption = TabSheet->windowTitle();
    QIcon Icon;
    auto* Stack = qobject_cast<QStackedWidget*>(TabSheet->parentWidget());
    if (auto* Old = Stack ? qobject_cast<QTabWidget*>(Stack->parentWidget()) : nullptr) {
        const int Index = Old->indexOf(TabSheet);
        Caption = Old->tabText(Index);
        Icon = Old->tabIcon(Index);
        Old->removeTab(Index);
    }
    PageControl->addTab(TabSheet, Icon, Caption);

    if (Parent)
        Parent->setGeometry(Bounds);
    for (const auto& [Combo, Index] : Indexes)
        Combo->setCurrentIndex(Index);
}

QRect GetGridCellRect(const QTableView& Grid, int Column, int Row)
{
    const QRect Cell(Grid.columnViewportPosition(Column), Grid.rowViewportPosition(Row), Grid.columnWidth(Column),
                     Grid.rowHeight(Row));
    if (!Cell.intersects(Grid.viewport()->rect()))
        return QRect(0, 0, Cell.width(), Cell.height());
    return Cell;
}

QRect GetGridCellRect(const TStringGridWex& Grid, int Column, int Row)
{
    return QRect(Grid.CellRect(Column, Row).topLeft(), QSize(Grid.ColWidths(Column), Grid.RowHeights(Row)));
}

void SetStatusPanelText(QStatusBar& StatusBar, int Index, const QString& Text)
{
    const QList<QLabel*> Panels = StatusBar.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    if (Index < 0 || Index >= Panels.size())
        throw EListError(SListIndexError, Index);
    Panels[Index]->setText(Text);
}

void ClearMenuItems(QMenu& MenuItem)
{
    const QList<QAction*> Actions = MenuItem.actions();
    for (auto It = Actions.rbegin(); It != Actions.rend(); ++It) {
        QAction* Action = *It;
        MenuItem.removeAction(Action);
        // A submenu owns its own entry action.
        if (QMenu* Sub = Action->menu<QMenu*>(); Sub && Sub->parent() == &MenuItem)
            delete Sub;
        else if (Action->parent() == &MenuItem)
            delete Action;
    }
}

void DrawHaloText(QPainter& Canvas, const QString& Text, const QRect& Rect, const QColor& OutlineColor,
                  const QColor& TextColor)
{
    static const QPoint kHalo[8] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    Canvas.save();
    Canvas.setBackgroundMode(Qt::TransparentMode);
    const QRect R = TextBottomRect(Canvas, Text, Rect);
    Canvas.setPen(OutlineColor);
    for (const QPoint& D : kHalo)
        Canvas.drawText(R.translated(D), kWordBreakFlags, Text);
    Canvas.setPen(TextColor);
    Canvas.drawText(R, kWordBreakFlags, Text);
    Canvas.restore();
}

namespace {

class TCp932Validator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& Input, int& Pos) const override
    {
        const auto Kept = [](const QString& Text) {
            return QString::fromStdString(KeepCp932Characters(Text.toStdString()));
        };
        Pos = int(Kept(Input.left(Pos)).size());
        Input = Kept(Input);
        return Acceptable;
    }
};

bool RunInputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value, bool Cp932)
{
    QInputDialog Box(QApplication::activeWindow());
    Box.setWindowTitle(QString::fromStdString(Caption));
    Box.setLabelText(QString::fromStdString(Prompt));
    Box.setTextEchoMode(QLineEdit::Normal);
    if (QLineEdit* Line = Cp932 ? Box.findChild<QLineEdit*>() : nullptr)
        KeepToCp932(*Line);
    Box.setTextValue(QString::fromStdString(Value));
    // The box's layout (made on the first size question) would otherwise
    // set its minimum size from the controls alone, cutting a longer caption.
    Box.minimumSizeHint();
    if (QLayout* Layout = Box.layout())
        Layout->setSizeConstraint(QLayout::SetDefaultConstraint);
    KeepCaptionWhole(&Box);
    if (Box.exec() != QDialog::Accepted)
        return false;
    Value = Box.textValue().toStdString();
    return true;
}

} // namespace

bool InputQueryBox(const std::string& Caption, const std::string& Prompt, std::string& Value)
{
    return RunInputQuery(Caption, Prompt, Value, false);
}

bool InputCp932QueryBox(const std::string& Caption, const std::string& Prompt, std::string& Value)
{
    return RunInputQuery(Caption, Prompt, Value, true);
}

void KeepToCp932(QLineEdit& Edit)
{
    Edit.setValidator(new TCp932Validator(&Edit));
}

int CaptionFitWidth(const QString& Caption)
{
    // Title bars draw the caption in a bold face about the size of the
    // application's; beside it sit the window icon and up to three buttons.
    constexpr int IconAndButtons = 4 * 24 + 24;
    QFont Font = QApplication::font();
    Font.setBold(true);
    return QFontMetrics(Font).horizontalAdvance(Caption) + IconAndButtons;
}

void KeepCaptionWhole(QWidget* Window)
{
    if (Window)
        Window->setMinimumWidth(std::max(Window->minimumWidth(), CaptionFitWidth(Window->windowTitle())));
}
