// A list of strings, each with an associated object pointer that the list does
// not own (font names with their LOGFONT copies, settings key names...).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/tobject.h"

class TStringList : public TObject {
public:
    std::string ClassName() const override { return "TStringList"; }

    int32_t Add(const std::string& S);
    int32_t AddObject(const std::string& S, void* Object);
    void Insert(int32_t Index, const std::string& S);
    void InsertObject(int32_t Index, const std::string& S, void* Object);
    void Delete(int32_t Index);
    void Clear();

    int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
    const std::string& Strings(int32_t Index) const;
    void* Objects(int32_t Index) const;
    void PutObject(int32_t Index, void* Object);
    // First index of S, ignoring ASCII letter case; -1 when none.
    int32_t IndexOf(const std::string& S) const;

    // Brackets a batch of changes; nesting counts.
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int32_t UpdateCount() const { return FUpdateCount; }

private:
    struct TStringItem {
        std::string S;
        void* Object;
    };
    void CheckIndex(int32_t Index) const;

    std::vector<TStringItem> FItems;
    int32_t FUpdateCount = 0;
};
