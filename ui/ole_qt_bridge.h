// Data objects on Qt's clipboard and in Qt's drags and drops. A data object
// handed to Qt becomes a TOleMimeData that renders each format only when it
// is asked for; what Qt holds (the clipboard's data, a drop's data) is seen
// as a TMimeDataObject. The MIME types are those of platform/qt/clipboard_mime.h.
#pragma once

#include "platform/qt/clipboard_mime.h"
#include "ui/data_object.h"

#include <QPointer>

#include <functional>

class QWidget;

class TOleMimeData : public TFormatMimeData {
public:
    // Offers every global-memory format that Source enumerates; holds Source.
    explicit TOleMimeData(IDataObject* Source);
    IDataObject* DataObject() const { return FSource.Get(); }

protected:
    bool RenderBlock(uint16_t Format, QByteArray& Block) const override;

private:
    TComPtr<IDataObject> FSource;
};

// A data object over Qt's data: the formats it carried when this was made,
// rendered from it when asked. Gives nothing once the data is gone.
class TMimeDataObject : public TDataObject {
public:
    explicit TMimeDataObject(const QMimeData* Mime);

protected:
    HRESULT RenderData(const FORMATETC& Format, STGMEDIUM& Medium) override;

private:
    QPointer<const QMimeData> FMime;
};

// The clipboard's data as a data object (one with no formats when empty).
HRESULT OleGetClipboard(TComPtr<IDataObject>& Data);
// Puts Data on the clipboard, which holds it until replaced; nil empties it.
HRESULT OleSetClipboard(IDataObject* Data);
// For shutdown: data of our own on the clipboard is rendered now, so that it
// stays for other programs once our objects are gone. Whatever else the
// clipboard holds, another program's data above all, is left as it is.
HRESULT OleFlushClipboard();

// Runs a drag of Data that allows OkEffects: DRAGDROP_S_DROP with the
// effect the target chose, or DRAGDROP_S_CANCEL with effect 0. Qt's drag
// loop stands in for Source: releasing the button drops and Escape cancels.
HRESULT DoDragDrop(IDataObject* Data, IDropSource* Source, uint32_t OkEffects, uint32_t& Effect);
using TDoDragDropHandler =
    std::function<HRESULT(IDataObject* Data, IDropSource* Source, uint32_t OkEffects, uint32_t& Effect)>;
// Replaces the drag loop (tests record the drags); an empty handler restores
// Qt's. Returns the handler replaced.
TDoDragDropHandler SetDoDragDropHandler(TDoDragDropHandler Handler);

// Qt's drag events on Widget go to Target (held until revoked or the widget
// goes): enter and move as DragEnter and DragOver, leave, drop. The key state
// comes from the event's buttons and modifiers, the point is in screen
// coordinates, the effect handed in is what the drag allows; the target's
// effect, when the drag allows it, becomes the drop action, else the drag is
// refused.
HRESULT RegisterDragDrop(QWidget* Widget, IDropTarget* Target);
HRESULT RevokeDragDrop(QWidget* Widget);

uint32_t KeyStateOf(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Modifiers);
uint32_t DropEffectsOf(Qt::DropActions Actions);
