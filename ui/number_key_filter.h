// What an edit or combo box lets the user type: number inputs take digits,
// one decimal point where allowed and a leading minus where allowed; any
// other printable character is eaten with a beep. Control characters
// (below 32) always pass.
#pragma once

#include <QChar>
#include <QString>

class QComboBox;
class QLineEdit;
class QWidget;

enum TEditWexInputType { ekitNormal, ekitInteger, ekitPlusInteger, ekitReal, ekitPlusReal, ekitHex };

// The (decimal point allowed, sign allowed) pair of the four number types;
// false for the others, which the number filter does not handle.
bool NumberFilterOptions(TEditWexInputType InputType, bool& Point, bool& Sign);

// Key is the character typed into Text with the selection (SelStart,
// SelLength), the caret being at SelStart when nothing is selected. An eaten
// key becomes QChar() after MessageBeep(0). A "-" needs the whole text
// selected, or the caret at 0 and no "-" in the text; a "." needs no "."
// in the text unless all of it is selected.
void NumberKeyFilter(const QString& Text, int SelStart, int SelLength, bool Point, bool Sign, QChar& Key);
// The same, except that a "." is refused whenever the text holds one.
void ComboNumberKeyFilter(const QString& Text, int SelStart, int SelLength, bool Point, bool Sign, QChar& Key);

// The filters on a control's own text and selection.
void NumberKeyFilter(const QLineEdit& Edit, bool Point, bool Sign, QChar& Key);
void ComboNumberKeyFilter(const QComboBox& Combo, bool Point, bool Sign, QChar& Key);

// The character a key event types for the filters: QChar() for a key that
// types nothing (arrows, Delete), one that no filter accepts when it types
// more than one character.
QChar TypedKey(const QString& EventText);

// A typed character that Edit (a line edit, or a spin box through its own)
// takes no notice of, because its validator refuses it or it is full, is
// refused audibly, as the program's own number edits refuse theirs.
void BeepOnRefusedKeys(QWidget* Edit);
