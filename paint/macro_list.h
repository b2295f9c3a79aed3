// The ordered list of paint macros of one draw object (its paint style): the
// first macro paints first. Draw objects own one, the drawing defaults two,
// style library items derive from it and paint-style clipboard data carries
// one. The list owns its macros.
//
// Binary form: int32 count, then each macro's binary form. Text form: the
// count as a decimal line, then each macro's text form.
#pragma once

#include "foundation/geometry_types.h"
#include "foundation/lists.h"
#include "foundation/rec_path.h"
#include "foundation/tobject.h"
#include "paint/macro_interpreter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TListRecPict;
class TMacro;
class TStream;

// Progress of a list paint: Total is the macro count, Current the 1-based
// number of the macro about to paint. A record counts only when Owner is set.
struct TPaintProgress {
    void* Owner = nullptr;
    int32_t Total = 0;
    int32_t Current = 0;
};
// Reports a list paint's progress; like TPaintStepHook it may only report.
using TPaintProgressProc = std::function<void(TPaintProgress&)>;

class TMacros : public TObject {
public:
    TMacros();
    ~TMacros() override;
    TMacros(const TMacros&) = delete;
    TMacros& operator=(const TMacros&) = delete;

    std::string ClassName() const override { return "TMacros"; }

    // A copy of every macro of Source, which must be a TMacros; anything
    // else (nil included) raises the assignment error.
    virtual void Assign(const TObject* Source);
    virtual void SetParamValueByTag(const std::string& Tag, const std::string& Value);
    virtual void Clear();
    // Frees the macro at Index; the list's index error outside the range.
    virtual void Delete(int32_t Index);
    // Index is clamped to 0 .. Count. The first form inserts a copy of Macro,
    // the second Macro itself.
    virtual void Insert(int32_t Index, const TMacro& Macro);
    virtual void Insert(int32_t Index, std::unique_ptr<TMacro> Macro);
    // The list's index error naming the first bad index (Index1 checked first).
    virtual void Exchange(int32_t Index1, int32_t Index2);
    virtual int32_t Add(std::unique_ptr<TMacro> Macro);
    virtual void Move(int32_t CurIndex, int32_t NewIndex);

    int32_t Count() const { return FList.Count(); }
    // The list's index error outside 0 .. Count - 1.
    TMacro* GetMacro(int32_t Index) const;

    // Same count and equal macros pair by pair; two empty lists are equal.
    bool Equals(const TMacros& Other) const;
    // Merges another selected object's list: a different count or name
    // clears this list; otherwise each macro is merged with its partner
    // (TMacro::IntersectWith).
    void IntersectWith(const TMacros& Other);

    void WriteToStream(TStream& Stream) const;
    // Clears, then reads; macros read before an error stay in the list.
    void ReadFromStream(TStream& Stream, int32_t Version);
    void WriteToStreamAsText(TStream& Stream) const;
    void ReadFromStreamAsText(TStream& Stream, int32_t Version);

    // Paints every macro in order (MacroPaint, without a stop caption). Both
    // rectangles start empty and come back as the union of what the macros
    // reported. Unless measuring, a progress record with an owner gets the
    // macro count and, before each macro, its number, and Progress is called
    // with it. A set abort byte stops the list after the macro that saw it.
    void Paint(const TMacroPaintArgs& Args, const TPaintProgressProc& Progress,
               TPaintProgress* ProgressRecord, TRect& Rect1, TRect& Rect2) const;
    // Passes Source through every path macro in turn into Result; no macros:
    // Result is a copy of Source. With an abort byte, Hook runs after each
    // macro, and a set byte makes Result a copy of Source and ends the list.
    void MakePath(const TrecPath& Source, TrecPath& Result, uint8_t* Abort,
                  const TPaintStepHook& Hook = {}, const TPaintFunctionRec* Table = nullptr) const;

    // The owner was turned by Angle (radians) about Centre and its bounds went
    // from OldBounds to NewBounds: every fill and reflection parameter that
    // turns with the object (gradation "2" or picture "4", option digit not
    // "0") is rewritten. Gradation points, in 1/16384 of the bounds' width
    // Right - Left + 1 and height, keep their page place turned about Centre;
    // a gradation is left alone when the new bounds have no width or height.
    // A picture fill's angle grows by Angle in degrees and its offset turns
    // about the origin. Each change is written to Undo (when given) first:
    // int32 macro index, line index, parameter number (1-based), then the old
    // and the new value as length-prefixed strings.
    void TransformParams(double Angle, const TPoint& Centre, const TRect& OldBounds,
                         const TRect& NewBounds, TStream* Undo);
    // Adds to Handles (handles cast through intptr_t), each once, every
    // picture handle that a picture-fill parameter names and the handle of
    // the picture the store derived from it for this parameter set and the
    // owner's size: condition (handle, set's width, set's height, set's
    // angle, first option byte, set's offset, Bounds' Right - Left + 1 and
    // Bottom - Top + 1), as the picture fill stores it.
    void CollectPictures(TListPtrWex& Handles, const TListRecPict& Store, const TRect& Bounds) const;
    // Every picture-fill parameter whose handle is a key of Map gets the
    // mapped handle.
    void RemapPictures(const TList2Item& Map);
    // True when every picture-fill parameter names no picture (a negative
    // handle) or one that Held takes.
    bool PicturesHeld(const std::function<bool(int32_t)>& Held) const;
    // Every picture-fill parameter naming a picture that Held does not take
    // names none (-1), which paints the placeholder it painted; True when
    // one changed.
    bool DropPicturesNotHeld(const std::function<bool(int32_t)>& Held);

private:
    TListPtrWex FList; // TMacro entries, owned
};
