// The ordered list of paint macros of one draw object (its paint style): the
// first macro paints first. Draw objects own one, the drawing defaults two,
// style library items derive from it and paint-style clipboard data carries
// one. The list owns its macros.
//
// Binary form: int32 count, then each macro's binary form. Text form: the
// count as a decimal line, then each macro's text form.
#pragma once

#include "foundation/lists.h"
#include "foundation/tobject.h"

#include <cstdint>
#include <memory>
#include <string>

class TMacro;
class TStream;

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

private:
    TListPtrWex FList; // TMacro entries, owned
};
