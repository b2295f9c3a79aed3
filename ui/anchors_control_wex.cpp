#include "ui/anchors_control_wex.h"

#include <QStackedWidget>
#include <QTabWidget>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace {

constexpr const char* kAnchorsProperty = "Anchors";

} // namespace

void SetAnchors(QWidget* Control, TAnchors Anchors)
{
    Control->setProperty(kAnchorsProperty, int(Anchors));
}

TAnchors GetAnchors(const QWidget* Control)
{
    const QVariant V = Control->property(kAnchorsProperty);
    return V.isValid() ? static_cast<TAnchors>(V.toInt()) : TAnchors(akLeft | akTop);
}

TAnchorsControlWex::TAnchorsControlWex(QObject* Owner) : QObject(Owner) {}

void TAnchorsControlWex::SetTarget(QWidget* Value)
{
    if (FTarget)
        disconnect(FTarget, &QObject::destroyed, this, nullptr);
    FTarget = Value;
    if (FTarget)
        connect(FTarget, &QObject::destroyed, this, [this] {
            FTarget = nullptr;
            FRecords.clear();
        });
    Record();
}

QRect TAnchorsControlWex::ContainerRect() const
{
    auto* Stack = qobject_cast<QStackedWidget*>(FTarget->parentWidget());
    if (Stack && qobject_cast<QTabWidget*>(Stack->parentWidget()))
        return Stack->rect();
    return FTarget->rect();
}

void TAnchorsControlWex::Record()
{
    for (const TRecord& R : FRecords)
        disconnect(R.Control, &QObject::destroyed, this, nullptr);
    FRecords.clear();
    if (!FTarget)
        return;
    const QRect Container = ContainerRect();
    for (QWidget* Child : FTarget->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (Child->isWindow())
            continue;
        const QRect B = Child->geometry();
        FRecords.push_back({Child, Container.width() - (B.x() + B.width()), Container.height() - (B.y() + B.height())});
        connect(Child, &QObject::destroyed, this, [this](QObject* Freed) {
            std::erase_if(FRecords, [Freed](const TRecord& R) { return R.Control == Freed; });
        });
    }
}

void TAnchorsControlWex::Realign()
{
    if (!FTarget)
        return;
    const QRect Container = ContainerRect();
    for (const TRecord& R : FRecords) {
        const TAnchors A = GetAnchors(R.Control);
        if (A == (akLeft | akTop))
            continue;
        QRect B = R.Control->geometry();
        if (A & akRight) {
            const int Right = Container.width() - R.Right;
            if (A & akLeft)
                B.setWidth(Right - B.x());
            else
                B.moveLeft(Right - B.width());
        }
        if (A & akBottom) {
            const int Bottom = Container.height() - R.Bottom;
            if (A & akTop)
                B.setHeight(Bottom - B.y());
            else
                B.moveTop(Bottom - B.height());
        }
        if (B != R.Control->geometry())
            R.Control->setGeometry(B);
    }
}
