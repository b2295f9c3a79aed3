// The macro interpreter: runs the lines of one paint macro, each a call of a
// paint function, binding object arguments (paths, planes, pictures) by name
// to results of earlier lines, and a path macro's lines over an outline.
//
// Names of a paint run carry the instance suffix (a tab and the instance
// number) so that several objects can share one picture cache; only
// "PictureBackGround", the target picture, is bound without it. Names compare
// without regard to ASCII letter case; the first of equal names is found.
//
// Objects that paint functions return are made with new (a TrecPath for
// result kind 8, a TrecPicture for 9 and 10); whoever takes them over frees
// them with FreePaintObject.
//
// Failures of a paint run raise EUserError with the texts below; a path run
// shows a message box instead and ends.
#pragma once

#include "foundation/geometry_types.h"
#include "foundation/rec_path.h"
#include "paint/paint_function_table.h"
#include "raster/rec_picture.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TMacro;
class TPictureCache;
class TListRecPict;
class TStringList;

// Quality modes of a paint run. Low and Mid paint the library's "_Low" and
// "_Mid" variants of a macro; Variant (and any other value) paints the lines
// as they are.
constexpr int32_t cPaintQualityNormal = 0;
constexpr int32_t cPaintQualityLow = 1;
constexpr int32_t cPaintQualityMid = 2;
constexpr int32_t cPaintQualityVariant = 3;

inline constexpr const char* cPictureBackGround = "PictureBackGround";
inline constexpr const char* cResultPath = "ResultPath";

// Called between two lines of a run (and between two macros of a list) when
// the caller gave an abort byte, with the steps done and their total. It may
// report progress and set the abort byte; it must do nothing else - no
// message loop - because the objects being painted must not change under the
// run.
using TPaintStepHook = std::function<void(int32_t Done, int32_t Total)>;

struct TMacroPaintArgs {
    TrecPicture* Target = nullptr;           // bound as "PictureBackGround"
    const TStringList* NamedPlanes = nullptr; // names with TrecPicture* objects, the caller's
    TrecPath* PrimaryPath = nullptr;         // for empty path arguments captioned "*Primary"
    TrecPicture* PrimaryPicture = nullptr;   // likewise for pictures (planes get nil)
    int32_t Instance = 0;
    // The run stops at the first line after the first whose parameter caption
    // matches this one (case-insensitive, up to "|"), once that line's
    // arguments are bound, and returns them.
    std::optional<std::string> StopCaption;
    int32_t Quality = cPaintQualityNormal;
    TListRecPict* Store = nullptr;           // passed after the last argument
    uint8_t* Abort = nullptr;
    TPaintStepHook StepHook;
    bool UseCache = false;
    bool MeasureOnly = false;
    // When set, grows by how far round the pixels it paints each line that
    // paints the target reads it (PaintDestinationReach), summed over the
    // lines: a part of the page is painted as the whole page paints it when
    // that much more round the part is painted too.
    int32_t* Reach = nullptr;
    // The functions to run; nil: the program's table.
    const TPaintFunctionRec* Table = nullptr;
};

// What a run that met the stop caption hands back: the 0-based line index and
// the line's plane and picture arguments (Args[i - 1] for argument i; nil for
// the other kinds). The intermediate records among them belong to the
// result, which frees them; the target, the primary picture, the caller's
// planes and cached records stay their owners'.
class TMacroStopResult {
public:
    TMacroStopResult() = default;
    TMacroStopResult(const TMacroStopResult&) = delete;
    TMacroStopResult& operator=(const TMacroStopResult&) = delete;
    ~TMacroStopResult();

    int32_t LineIndex = 0;
    std::vector<TrecPicture*> Args;
    std::vector<TrecPicture*> Owned;
};

// Runs Macro against the target picture. The two rectangles that every line
// binding "PictureBackGround" reports are united into Rect1 and Rect2. A
// disabled macro returns at once. Cache is the macro's picture cache (nil: no
// cache, every run is a full run and keeps nothing): without UseCache it is
// cleared; with it, the first run for an instance fills it with the inputs of
// the final lines (line flags not 0) and later runs call only those. Returns
// the stop result, or nil.
std::unique_ptr<TMacroStopResult> MacroPaint(const TMacro& Macro, TPictureCache* Cache,
                                             const TMacroPaintArgs& Args, TRect& Rect1,
                                             TRect& Rect2);

// A paint run asks the hook before it calls each function: a code other
// than 0 is taken for the function's own, without calling it, so that the
// run fails as a function that returned that code fails. Lets the tests make
// any effect fail on demand (TAVRO_TEST_FAILING_PAINT_FUNCTION does it for
// the program, see shell/tavro_program.cpp). Installs Hook (empty: none) and
// returns the one it replaces.
using TPaintCallHook = std::function<int32_t(std::string_view Function, const TMacroPaintArgs& Args)>;
TPaintCallHook SetPaintCallHook(TPaintCallHook Hook);

// Runs a path macro over Input: its "ResultPath" is copied into Result. A
// failure shows a message box, ends the run and leaves Result as it was.
void MacroMakePath(const TMacro& Macro, TrecPath& Input, TrecPath& Result, uint8_t* Abort,
                   const TPaintFunctionRec* Table = nullptr);

// True when Stored begins with Text, ignoring ASCII letter case, and the next
// character is the end of Stored or "|".
bool MatchParamCaptionI(std::string_view Stored, std::string_view Text);

// Frees an object a paint function returned: kind 8 a path, 9 and 10 a
// picture record; nil and other kinds are left alone.
void FreePaintObject(int32_t Kind, void* Object);
