// The screen's cursor table: numbered slots holding QCursors, slot 0 the
// default cursor, which every slot never set also holds. Cursors come from
// the program's PNG resources ":/cursors/<name>", whose text key "HotSpot"
// ("x,y") gives the hot spot; a resource is loaded once and shared, so the
// same name always gives an equal cursor.
#pragma once

#include "model/cursor_service.h"

#include <QCursor>

#include <map>
#include <optional>

class TScreenCursors : public TCursorService {
public:
    TScreenCursors();
    QCursor Cursor(int32_t Index) const;
    void SetCursor(int32_t Index, const QCursor& Cursor);
    // Module is ignored: every cursor is one of the program's resources.
    int32_t SetCursorByResource(const void* Module, const std::string& ResourceName) override;

private:
    std::map<int32_t, QCursor> FCursors;
};

// The program's one table, installed as the core's cursor service at start-up.
TScreenCursors& ScreenCursors();
int32_t SetCursorByResource(const void* Module, const std::string& ResourceName);

// The cursor resource Name; nullopt when there is none.
std::optional<QCursor> LoadCursorResource(const std::string& Name);
