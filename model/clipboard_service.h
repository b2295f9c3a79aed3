// The clipboard as the core sees it: the selection's copy and cut open it,
// empty it and hand it one memory stream under a format. The user interface
// installs the real clipboard at start-up; the core runs without one (copy
// then puts nothing anywhere) and tests install a recording double.
#pragma once

#include <cstdint>

class TMemoryStream;

class TClipboardService {
public:
    virtual ~TClipboardService() = default;

    // False while another window holds the clipboard.
    virtual bool OpenClipboard() = 0;
    virtual void EmptyClipboard() = 0;
    // Copies the whole content of Stream into a new moveable, shareable
    // block (flags 0x2002) and hands it over under Format. When the
    // clipboard refuses the block the user is told and the block freed;
    // nothing is raised.
    virtual void SetClipboardStream(uint32_t Format, TMemoryStream& Stream) = 0;
    virtual void CloseClipboard() = 0;
};

// Not owned; nil (the default) means no clipboard.
inline TClipboardService*& ClipboardServiceSlot()
{
    static TClipboardService* Service = nullptr;
    return Service;
}
inline void SetClipboardService(TClipboardService* Service)
{
    ClipboardServiceSlot() = Service;
}
inline TClipboardService* GetClipboardService()
{
    return ClipboardServiceSlot();
}
