#include "shell/menu_style.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>

namespace {

class TMenuStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement Element, const QStyleOption* Option, QPainter* Painter,
                       const QWidget* Widget) const override
    {
        // A checked entry with a picture shows its check as a sunken panel
        // behind the picture. On the highlighted entry the style blends the
        // panel into the highlight until it can hardly be told from it, and
        // the first entry of a menu opened from the keyboard is always the
        // highlighted one: the panel is drawn as on any other entry.
        if (Element == PE_PanelButtonCommand && Option && qobject_cast<const QMenu*>(Widget)) {
            QStyleOption Plain(*Option);
            Plain.palette.setBrush(QPalette::Button, Widget->palette().brush(QPalette::Button));
            Plain.state &= ~(State_Selected | State_MouseOver | State_HasFocus);
            QProxyStyle::drawPrimitive(Element, &Plain, Painter, Widget);
            return;
        }
        QProxyStyle::drawPrimitive(Element, Option, Painter, Widget);
    }
};

} // namespace

QStyle* MenuStyle()
{
    static QPointer<QStyle> Style;
    if (!Style) {
        Style = new TMenuStyle;
        Style->setParent(qApp);
    }
    return Style;
}

void ApplyMenuStyle(QMenuBar& Bar)
{
    for (QMenu* Menu : Bar.findChildren<QMenu*>())
        Menu->setStyle(MenuStyle());
}
