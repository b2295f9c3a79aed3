// Keeps the anchored children of a container at their distance from its
// right and bottom edges. The distances are recorded when the target is set;
// Realign moves and stretches the children after the container changed
// size. Each control's anchors are kept on the control itself.
#pragma once

#include <QObject>

#include <cstdint>
#include <vector>

class QRect;
class QWidget;

using TAnchors = uint8_t;
constexpr TAnchors akLeft = 1;
constexpr TAnchors akTop = 2;
constexpr TAnchors akRight = 4;
constexpr TAnchors akBottom = 8;

// A control's anchors; a control never given any has [akLeft, akTop].
void SetAnchors(QWidget* Control, TAnchors Anchors);
TAnchors GetAnchors(const QWidget* Control);

class TAnchorsControlWex : public QObject {
    Q_OBJECT
public:
    // One child's distances from its right and bottom edges to the container's.
    struct TRecord {
        QWidget* Control;
        int32_t Right;
        int32_t Bottom;
    };

    explicit TAnchorsControlWex(QObject* Owner = nullptr);

    QWidget* Target() const { return FTarget; }
    void SetTarget(QWidget* Value);
    void Realign();
    // In child order; a freed child's record is gone.
    const std::vector<TRecord>& Records() const { return FRecords; }

private:
    void Record();
    // The page control's display area for a page, else the target itself.
    QRect ContainerRect() const;

    QWidget* FTarget = nullptr;
    std::vector<TRecord> FRecords;
};
