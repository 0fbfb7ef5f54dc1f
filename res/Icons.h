// The program's icons, drawn in code: the application icon and the tree's arrows.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

namespace vireo {

// Application icon (the dialog's big and small icon, the About box's picture).
QIcon AppIcon();
// The application icon drawn at size x size pixels (also exported for desktop menus).
QImage AppIconImage(int size);
// A 16 x 16 arrow pointing right, in the given colour.
QIcon ArrowIcon(const QColor& color);
// The tree's two images: green while selected, blue otherwise.
inline QColor SelectedArrowColor() {
    return QColor(0x2e, 0xa0, 0x43);
}
inline QColor NormalArrowColor() {
    return QColor(0x2a, 0x62, 0xc9);
}

} // namespace vireo
