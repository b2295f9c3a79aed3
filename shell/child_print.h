// The document window's page-picture commands: printing the page, saving it
// as a BMP file and copying it to the clipboard as a bitmap, tracing a
// picture file into outlines on the page, and starting the companion
// program on the copied picture. The handlers are TfrmChild members
// (child_print.cpp); these are the parts they are built from.
#pragma once

#include "model/page.h"
#include "raster/rec_picture.h"

#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>

class QPrinter;
class QWidget;
class TPage;
class TSelectedObjects;

// Where and how large the page picture lands on the printer's page, in
// printer pixels from the printable area's top-left corner.
struct TPrintPlacement {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

// The printed size is the picture's at the printer's resolution, rounded:
// (pixels x printer dpi + page DPI div 2) div page DPI on each axis. The
// place is the page's print position; a centring flag puts the picture in
// the middle of the printable width (height) as the page setup computes it,
// so that a page set up on another printer is centred on this one too.
// PageDPI must be at least 1.
TPrintPlacement PrintPlacement(int32_t PictureWidth, int32_t PictureHeight, int32_t PageDPI,
                               int32_t PrinterDPIX, int32_t PrinterDPIY, const TrecPrintPosition& Position,
                               int32_t PrintableWidth, int32_t PrintableHeight);

// The printer of the session: page setup measures the paper on it, its
// printer set-up changes it, and printing prints on it, so that a position
// set up is where the page prints. The print dialog's last choice stays in
// it. Made on first use at the printer's own resolution: the system's
// default printer, or the PDF printer Qt always offers when there is none.
QPrinter& CurrentPrinter();
// Drops the session's printer; the next use makes a fresh one.
void ResetCurrentPrinter();

// Asks the user for the printer (QPrintDialog): true to print. Tests set
// their own (nil puts the dialog back) to print without asking.
using TPrintDialogProc = std::function<bool(QPrinter& Printer, QWidget* Parent)>;
void SetPrintDialogProc(TPrintDialogProc Proc);
bool RunPrintDialog(QPrinter& Printer, QWidget* Parent);

// Prints a 24-bit picture as one document of one page: Title names the
// job, the picture is stretched onto Placement. False when the printer
// cannot be started.
bool PrintPicture(QPrinter& Printer, const std::string& Title, const TrecPicture& Picture,
                  const TPrintPlacement& Placement);

// The companion program: the registry value "path" of the current user's
// key; started with its path quoted and " /c" (it reads the page picture
// from the clipboard).
inline constexpr char MorvoKey[] = "SOFTWARE\\ZELBAR\\Morvo";
inline constexpr char MorvoValueName[] = "path";
std::string MorvoPath();
// "\"" Path "\" /c": the command line the program is started with.
std::string MorvoCommandLine(const std::string& Path);
// The program and its arguments of MorvoCommandLine, for QProcess.
QStringList MorvoArguments();
// Starts Path detached; false when it could not be started.
bool StartMorvo(const std::string& Path);

// The paint macro of traced regions and its fill parameter.
inline constexpr char TraceMacroName[] = "塗り(ボカシ)";
inline constexpr char TraceMacroParam[] = "塗り方法";
// The parameter's value of a region of Colour: "1" and the colour in
// hexadecimal digits, upper case, without leading zeros ("1FF" for red).
std::string TraceFillValue(uint32_t Colour);

// Traces Picture (changed in place, see TraceOutline) and adds one line
// object per traced outline to Page through Selection, each one history
// command, filled by the blur fill macro in the region's colour. Progress
// goes to Progress when given. Raises EUserError when the macro library has
// no blur fill macro; the outlines added before a failure stay.
int32_t TraceIntoPage(TrecPicture& Picture, TPage& Page, TSelectedObjects& Selection,
                      const std::function<void(int32_t Position, int32_t Max)>& Progress);
