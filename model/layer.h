// Layers of a page: every draw object lies on one layer of its page's list;
// the list keeps a current layer for new and pasted objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/tobject.h"

class TStream;

class TLayer : public TObject {
public:
    std::string ClassName() const override { return "TLayer"; }

    int32_t Index = 0;     // its position in the list (kept by TLayers)
    uint8_t Display = 1;   // clear: objects on it draw no drag outline
    uint8_t Flag2 = 1;     // stored and read back unchanged
    int32_t Value = 0;     // stored and read back unchanged
    uint8_t Flag3 = 0;     // stored and read back unchanged
    std::string Name;      // not stored
};

class TLayers : public TObject {
public:
    // One unnamed layer, current.
    TLayers();
    std::string ClassName() const override { return "TLayers"; }

    int32_t GetCount() const { return static_cast<int32_t>(FList.size()); }
    // EListError outside 0..Count-1.
    TLayer* GetLayer(int32_t Index) const;
    // Appends and renumbers; returns the layer.
    TLayer* Add(std::unique_ptr<TLayer> Layer);

    // Never nil: the list always holds a layer.
    TLayer* GetCurrent() const { return FCurrent; }
    // Layer must belong to the list (EUserError otherwise).
    void SetCurrent(TLayer* Layer);

    // int32 current position, int32 count, per layer 7 bytes: display flag,
    // second flag byte, the int32, the last flag byte.
    void WriteToStream(TStream& Stream) const;
    // Replaces the list by the stored layers, numbered by position. A
    // negative current position selects the first layer, one at or past the
    // count the last; a count of 0 leaves one new layer. A display flag byte
    // other than 0 is read as 1. A negative count or
    // one larger than the bytes left raises EUserError, and a short stream
    // EReadError; the list is then unchanged. The old layers are freed:
    // items must be relinked (TDrawItem::RelinkLayers).
    void ReadFromStream(TStream& Stream);

private:
    void Renumber();

    std::vector<std::unique_ptr<TLayer>> FList;
    TLayer* FCurrent = nullptr; // one of FList
};
