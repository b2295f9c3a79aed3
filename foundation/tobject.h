// Root of the classes whose instances lists may own and free through a plain
// entry (TCustomListWex::FreeObjects, DeleteRangeFree, string-list objects),
// and whose class name appears in messages (RaiseAssignError).
#pragma once

#include <string>

class TObject {
public:
    virtual ~TObject() = default;
    virtual std::string ClassName() const { return "TObject"; }
};
