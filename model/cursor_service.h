// The screen's cursor table, as the core sees it: cursors are registered by
// resource name and then shown by their index. The user interface installs
// the real table at start-up; tests install recording doubles.
#pragma once

#include <cstdint>
#include <string>

class TCursorService {
public:
    virtual ~TCursorService() = default;
    // Loads the cursor resource ResourceName of Module (nil: the program's
    // own resources) and returns its index in the screen's cursor table:
    // the index it already has when the same cursor is registered, else the
    // first free index counting down from 32767. Raises EOutOfResources
    // "SetCursorByResource: Can't load Cursor" when the resource does not
    // load and "SetCursorByResource: Too Many Cursors" when no index is left.
    virtual int32_t SetCursorByResource(const void* Module, const std::string& ResourceName) = 0;
};

// The installed service (not owned); nil until the user interface sets it.
inline TCursorService*& CursorServiceSlot()
{
    static TCursorService* Service = nullptr;
    return Service;
}
inline void SetCursorService(TCursorService* Service) { CursorServiceSlot() = Service; }
inline TCursorService* GetCursorService() { return CursorServiceSlot(); }
