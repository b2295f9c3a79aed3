// The drawing of the frame's menus: the style of the application, except
// that an entry with a picture shows its check the same whether or not it
// is the highlighted entry.
#pragma once

class QMenuBar;
class QStyle;

// The one style the frame's menus share (made on first use, owned by the
// application).
QStyle* MenuStyle();
// Gives every menu of Bar, submenus too, the menus' style.
void ApplyMenuStyle(QMenuBar& Bar);
