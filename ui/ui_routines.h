// Small routines the windows share: moving a page between page controls,
// grid cell rectangles, status bar panels, clearing menus, halo text.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include <string>

class QLineEdit;
class QMenu;
class QPainter;
class QStatusBar;
class QTabWidget;
class QTableView;
class TStringGridWex;
class QWidget;

// Moves TabSheet (a page, with its tab caption and icon) to the end of
// PageControl. The item index of every combo box inside the page and the
// bounds of PageControl's parent are the same afterwards.
void MoveTabSheetKeepState(QWidget* TabSheet, QTabWidget* PageControl);

// The cell's full rectangle in the grid's viewport, also when only part of
// it is in view; a cell wholly out of view has its full size at (0, 0).
QRect GetGridCellRect(const QTableView& Grid, int Column, int Row);
QRect GetGridCellRect(const TStringGridWex& Grid, int Column, int Row);

// The panels of a status bar are its QLabel children in the order they were
// added. Sets one panel's text, repainting that panel only; an index beyond
// the panels raises EListError.
void SetStatusPanelText(QStatusBar& StatusBar, int Index, const QString& Text);

// Removes every entry of Menu, last first, freeing the entries and submenus
// the menu owns; actions owned elsewhere (shared commands) only leave it.
void ClearMenuItems(QMenu& MenuItem);

// Text word-wrapped in Rect and aligned to its bottom when shorter, drawn in
// OutlineColor at the eight one-pixel offsets around it and then in
// TextColor, over a transparent background.
void DrawHaloText(QPainter& Canvas, const QString& Text, const QRect& Rect, const QColor& OutlineColor,
                  const QColor& TextColor);

// Asks for one line of text in a modal box over the active window, starting
// from Value; on OK Value takes the answer and the result is true. The box is
// wide enough for its caption (KeepCaptionWhole).
bool InputQueryBox(const std::string& Caption, const std::string& Prompt, std::string& Value);
// The same box for a name kept as CP932: its line leaves out, as they are
// typed or pasted, the characters CP932 cannot hold (KeepToCp932).
bool InputCp932QueryBox(const std::string& Caption, const std::string& Prompt, std::string& Value);
// Makes Edit leave out the characters CP932 cannot hold (KeepCp932Characters)
// from every change of its text, the caret staying after what it followed.
void KeepToCp932(QLineEdit& Edit);

// The window width at which a title bar shows Caption whole: the caption in
// the bold application font and room for the window icon and three buttons.
int CaptionFitWidth(const QString& Caption);
// Raises Window's minimum width to CaptionFitWidth of its title; a window
// already as wide keeps its minimum.
void KeepCaptionWhole(QWidget* Window);
