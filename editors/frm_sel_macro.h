// TfrmSelMacro ("マクロ選択"): a fixed grid of paint-effect kinds, each cell
// the name of a macro of the effect catalogue, from which the property panel
// takes the kind of a new paint macro. Headers and empty cells cannot be
// chosen.
#pragma once

#include <QDialog>
#include <QWidget>

#include <string>

class QPushButton;

constexpr int MacroKindCols = 3;
constexpr int MacroKindRows = 13;

// A cell: its text and its kind picture (-1 for headers and empty cells).
struct TMacroKindCell {
    const char* Text;
    int ImageIndex;
    bool Header;
};
const TMacroKindCell& MacroKindCell(int Col, int Row);
bool MacroKindSelectable(int Col, int Row);

// The kind grid: columns 180 pixels wide, rows 23 high.
class TMacroKindGrid : public QWidget {
    Q_OBJECT
public:
    explicit TMacroKindGrid(QWidget* Parent = nullptr);

    static constexpr int ColWidth = 180;
    static constexpr int RowHeight = 23;

    int Col() const { return FCol; }
    int Row() const { return FRow; }
    // False (and nothing changes) for a cell that cannot be chosen.
    bool SelectCell(int Col, int Row);
    QSize sizeHint() const override;

signals:
    void CellDoubleClicked();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;

private:
    bool CellAt(const QPoint& P, int& Col, int& Row) const;

    int FCol = 0;
    int FRow = 1;
};

// The 20 x 20 picture of a kind (0 to 28), drawn by the program.
QPixmap MacroKindImage(int ImageIndex);

class TfrmSelMacro : public QDialog {
    Q_OBJECT
public:
    // Opens at the mouse cursor, kept inside the work area.
    explicit TfrmSelMacro(QWidget* Owner = nullptr);

    // The chosen cell's text (the macro name).
    std::string SelText() const;

    TMacroKindGrid* grid = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
};
