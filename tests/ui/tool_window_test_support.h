// Helpers of the dock and tool window tests: a shown form with a dock on
// each edge, plain tool windows of a given client size, and the
// application's activation as the window system would report it.
#pragma once

#include "ui/dock97.h"
#include "ui/tool_window97.h"
#include "window_test_support.h"

#include <QApplication>
#include <QWidget>
#include <QtGui/qevent.h>

#include <memory>

inline void SetApplicationActive(bool Active)
{
    QApplicationStateChangeEvent E(Active ? Qt::ApplicationActive : Qt::ApplicationInactive);
    QApplication::sendEvent(qApp, &E);
}

class TDockFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Form = std::make_unique<QWidget>();
        Form->setObjectName("frmDockTest");
        Form->setGeometry(100, 100, 400, 300);
        Top = new TDock97(Form.get(), dpTop);
        Top->setObjectName("Top");
        Bottom = new TDock97(Form.get(), dpBottom);
        Bottom->setObjectName("Bottom");
        Left = new TDock97(Form.get(), dpLeft);
        Left->setObjectName("Left");
        Right = new TDock97(Form.get(), dpRight);
        Right->setObjectName("Right");
        Form->show();
    }
    void TearDown() override { Form.reset(); }

    // A shown tool window of client size W x H docked in Dock at Row, Pos
    // (floating on the form when Dock is null).
    TCustomToolWindow97* Make(TDock97* Dock, int32_t Row, int32_t Pos, int32_t W = 40, int32_t H = 16)
    {
        auto* T = new TCustomToolWindow97(Form.get());
        T->SetClientAreaSize(QSize(W, H));
        T->SetDockRow(Row);
        T->SetDockPos(Pos);
        SetApplicationActive(true);
        T->SetDockedTo(Dock);
        return T;
    }

    // A point in a widget, on the screen.
    static QPoint At(const QWidget* W, int32_t X, int32_t Y) { return W->mapToGlobal(QPoint(X, Y)); }

    std::unique_ptr<QWidget> Form;
    TDock97* Top = nullptr;
    TDock97* Bottom = nullptr;
    TDock97* Left = nullptr;
    TDock97* Right = nullptr;
};
