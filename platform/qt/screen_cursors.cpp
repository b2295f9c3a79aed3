#include "platform/qt/screen_cursors.h"

#include "foundation/user_error.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QPixmap>
#include <QStringList>

namespace {

std::map<std::string, QCursor>& LoadedCursors()
{
    static std::map<std::string, QCursor> Loaded;
    return Loaded;
}

// Pixmap cursors must go while the application still exists.
void ReleaseCursors()
{
    LoadedCursors().clear();
    ScreenCursors() = TScreenCursors();
}

} // namespace

std::optional<QCursor> LoadCursorResource(const std::string& Name)
{
    std::map<std::string, QCursor>& Loaded = LoadedCursors();
    static const bool Registered = (qAddPostRoutine(ReleaseCursors), true);
    (void)Registered;
    if (auto It = Loaded.find(Name); It != Loaded.end())
        return It->second;
    QImageReader Reader(":/cursors/" + QString::fromStdString(Name), "png");
    // The text keys come with the header, before the pixels are read.
    const QStringList HotSpot = Reader.text("HotSpot").split(',');
    const QImage Image = Reader.read();
    if (Image.isNull())
        return std::nullopt;
    int X = -1;
    int Y = -1;
    if (HotSpot.size() == 2) {
        X = HotSpot[0].toInt();
        Y = HotSpot[1].toInt();
    }
    return Loaded.emplace(Name, QCursor(QPixmap::fromImage(Image), X, Y)).first->second;
}

TScreenCursors::TScreenCursors()
{
    FCursors[0] = QCursor(Qt::ArrowCursor);
}

QCursor TScreenCursors::Cursor(int32_t Index) const
{
    auto It = FCursors.find(Index);
    return It != FCursors.end() ? It->second : FCursors.at(0);
}

void TScreenCursors::SetCursor(int32_t Index, const QCursor& Cursor)
{
    FCursors[Index] = Cursor;
}

int32_t TScreenCursors::SetCursorByResource(const void*, const std::string& ResourceName)
{
    const std::optional<QCursor> Loaded = LoadCursorResource(ResourceName);
    if (!Loaded)
        throw EOutOfResources("SetCursorByResource: Can't load Cursor");
    const QCursor Default = Cursor(0);
    for (int32_t Index = 32767; Index > 0; --Index) {
        const QCursor Here = Cursor(Index);
        if (Here == *Loaded)
            return Index;
        if (Here == Default) {
            SetCursor(Index, *Loaded);
            return Index;
        }
    }
    throw EOutOfResources("SetCursorByResource: Too Many Cursors");
}

TScreenCursors& ScreenCursors()
{
    static TScreenCursors Table;
    return Table;
}

int32_t SetCursorByResource(const void* Module, const std::string& ResourceName)
{
    return ScreenCursors().SetCursorByResource(Module, ResourceName);
}
