#include "ui/ole_qt_bridge.h"

#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QGuiApplication>
#include <QWidget>

#include <cstring>
#include <memory>

namespace {

TFormatEtcList FormatListOf(const QMimeData* Mime)
{
    TFormatEtcList List;
    if (Mime)
        for (uint16_t F : FormatsOfMime(*Mime))
            List.push_back(MakeFormatEtc(F));
    return List;
}

QClipboard* Clipboard()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard()
                                                                          : nullptr;
}

Qt::DropActions ActionsOf(uint32_t Effects)
{
    Qt::DropActions A;
    if (Effects & DROPEFFECT_COPY)
        A |= Qt::CopyAction;
    if (Effects & DROPEFFECT_MOVE)
        A |= Qt::MoveAction;
    if (Effects & DROPEFFECT_LINK)
        A |= Qt::LinkAction;
    return A;
}

// The first effect of Effects as one drop action; IgnoreAction for none.
Qt::DropAction ActionOf(uint32_t Effects)
{
    if (Effects & DROPEFFECT_COPY)
        return Qt::CopyAction;
    if (Effects & DROPEFFECT_MOVE)
        return Qt::MoveAction;
    if (Effects & DROPEFFECT_LINK)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

HRESULT QtDoDragDrop(IDataObject* Data, IDropSource*, uint32_t OkEffects, uint32_t& Effect)
{
    // The parent owns the drag; it goes once the loop has ended.
    auto* Drag = new QDrag(QCoreApplication::instance());
    Drag->setMimeData(new TOleMimeData(Data));
    const Qt::DropAction Action = Drag->exec(ActionsOf(OkEffects));
    Drag->deleteLater();
    Effect = DropEffectsOf(Action);
    return Action == Qt::IgnoreAction ? DRAGDROP_S_CANCEL : DRAGDROP_S_DROP;
}

TDoDragDropHandler& DragDropHandler()
{
    static TDoDragDropHandler Handler = QtDoDragDrop;
    return Handler;
}

class TDropTargetFilter : public QObject {
public:
    TDropTargetFilter(QWidget* Widget, IDropTarget* Target) : QObject(Widget), FWidget(Widget), FTarget(Target)
    {
        Widget->installEventFilter(this);
    }
    IDropTarget* Target() const { return FTarget.Get(); }

    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Watched != FWidget)
            return false;
        switch (Event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            Answer(static_cast<QDropEvent*>(Event));
            return true;
        case QEvent::DragLeave:
            FTarget->DragLeave();
            return true;
        default:
            return false;
        }
    }

private:
    void Answer(QDropEvent* E)
    {
        const uint32_t Allowed = DropEffectsOf(E->possibleActions());
        const uint32_t KeyState = KeyStateOf(E->buttons(), E->modifiers());
        const QPoint P = FWidget->mapToGlobal(E->position().toPoint());
        const POINTL Pt{P.x(), P.y()};
        uint32_t Effect = Allowed;
        if (E->type() == QEvent::DragMove) {
            FTarget->DragOver(KeyState, Pt, Effect);
        } else {
            const auto Data = MakeCom<TMimeDataObject>(E->mimeData());
            if (E->type() == QEvent::DragEnter)
                FTarget->DragEnter(Data.Get(), KeyState, Pt, Effect);
            else
                FTarget->Drop(Data.Get(), KeyState, Pt, Effect);
        }
        const Qt::DropAction Action = ActionOf(Effect & Allowed);
        if (Action == Qt::IgnoreAction) {
            E->ignore();
            return;
        }
        E->setDropAction(Action);
        E->accept();
    }

    QWidget* FWidget;
    TComPtr<IDropTarget> FTarget;
};

TDropTargetFilter* FilterOf(QWidget* Widget)
{
    // The filter has no meta-object of its own: findChild would take any
    // child for it.
    if (Widget)
        for (QObject* Child : Widget->children())
            if (auto* Filter = dynamic_cast<TDropTargetFilter*>(Child))
                return Filter;
    return nullptr;
}

} // namespace

TOleMimeData::TOleMimeData(IDataObject* Source) : FSource(Source)
{
    TComPtr<IEnumFORMATETC> Enum;
    if (!FSource || FSource->EnumFormatEtc(DATADIR_GET, Enum) != S_OK || !Enum)
        return;
    FORMATETC F;
    while (Enum->Next(1, &F, nullptr) == S_OK)
        if (F.tymed & TYMED_HGLOBAL)
            OfferFormat(F.cfFormat);
}

bool TOleMimeData::RenderBlock(uint16_t Format, QByteArray& Block) const
{
    STGMEDIUM Medium;
    try {
        if (FSource->GetData(MakeFormatEtc(Format), Medium) != S_OK)
            return false;
    } catch (...) {
        // Qt asks from inside its event handling: a failure is no data.
        return false;
    }
    const void* Data = GlobalLock(Medium.hGlobal);
    if (Data) {
        Block = QByteArray(static_cast<const char*>(Data), static_cast<qsizetype>(GlobalSize(Medium.hGlobal)));
        GlobalUnlock(Medium.hGlobal);
    }
    ReleaseStgMedium(Medium);
    return Data != nullptr;
}

TMimeDataObject::TMimeDataObject(const QMimeData* Mime) : TDataObject(FormatListOf(Mime)), FMime(Mime) {}

HRESULT TMimeDataObject::RenderData(const FORMATETC& Format, STGMEDIUM& Medium)
{
    QByteArray Block;
    if (!FMime || !MimeToBlock(*FMime, Format.cfFormat, Block))
        return DV_E_FORMATETC;
    HGLOBAL H = GlobalAlloc(GMEM_MOVEABLE, static_cast<size_t>(Block.size()));
    void* Data = GlobalLock(H);
    if (!Data) {
        if (H)
            GlobalFree(H);
        return STG_E_MEDIUMFULL;
    }
    std::memcpy(Data, Block.constData(), static_cast<size_t>(Block.size()));
    GlobalUnlock(H);
    Medium.tymed = TYMED_HGLOBAL;
    Medium.hGlobal = H;
    return S_OK;
}

HRESULT OleGetClipboard(TComPtr<IDataObject>& Data)
{
    QClipboard* C = Clipboard();
    Data = MakeCom<TMimeDataObject>(C ? C->mimeData() : nullptr);
    return S_OK;
}

HRESULT OleSetClipboard(IDataObject* Data)
{
    QClipboard* C = Clipboard();
    if (!C)
        return E_FAIL;
    if (Data)
        C->setMimeData(new TOleMimeData(Data));
    else
        C->clear();
    return S_OK;
}

HRESULT OleFlushClipboard()
{
    QClipboard* C = Clipboard();
    const auto* Ours = C ? dynamic_cast<const TFormatMimeData*>(C->mimeData()) : nullptr;
    if (!Ours)
        return S_OK;
    auto Copy = std::make_unique<QMimeData>();
    for (const QString& Type : Ours->formats())
        Copy->setData(Type, Ours->data(Type));
    C->setMimeData(Copy.release());
    return S_OK;
}

HRESULT DoDragDrop(IDataObject* Data, IDropSource* Source, uint32_t OkEffects, uint32_t& Effect)
{
    Effect = DROPEFFECT_NONE;
    return DragDropHandler()(Data, Source, OkEffects, Effect);
}

TDoDragDropHandler SetDoDragDropHandler(TDoDragDropHandler Handler)
{
    TDoDragDropHandler Old = std::move(DragDropHandler());
    DragDropHandler() = Handler ? std::move(Handler) : TDoDragDropHandler(QtDoDragDrop);
    return Old;
}

HRESULT RegisterDragDrop(QWidget* Widget, IDropTarget* Target)
{
    if (!Widget || !Target)
        return E_INVALIDARG;
    if (FilterOf(Widget))
        return DRAGDROP_E_ALREADYREGISTERED;
    new TDropTargetFilter(Widget, Target); // owned by Widget
    Widget->setAcceptDrops(true);
    return S_OK;
}

HRESULT RevokeDragDrop(QWidget* Widget)
{
    TDropTargetFilter* Filter = FilterOf(Widget);
    if (!Filter)
        return DRAGDROP_E_NOTREGISTERED;
    delete Filter;
    Widget->setAcceptDrops(false);
    return S_OK;
}

uint32_t KeyStateOf(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Modifiers)
{
    uint32_t K = 0;
    if (Buttons & Qt::LeftButton)
        K |= MK_LBUTTON;
    if (Buttons & Qt::RightButton)
        K |= MK_RBUTTON;
    if (Buttons & Qt::MiddleButton)
        K |= MK_MBUTTON;
    if (Modifiers & Qt::ShiftModifier)
        K |= MK_SHIFT;
    if (Modifiers & Qt::ControlModifier)
        K |= MK_CONTROL;
    if (Modifiers & Qt::AltModifier)
        K |= MK_ALT;
    return K;
}

uint32_t DropEffectsOf(Qt::DropActions Actions)
{
    uint32_t E = DROPEFFECT_NONE;
    if (Actions & Qt::CopyAction)
        E |= DROPEFFECT_COPY;
    if (Actions & Qt::MoveAction)
        E |= DROPEFFECT_MOVE;
    if (Actions & Qt::LinkAction)
        E |= DROPEFFECT_LINK;
    return E;
}
