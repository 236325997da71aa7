#pragma once
// Text colours of the main window's labels, shared by its construction and
// its hover handlers.

#include <QColor>
#include <QLabel>
#include <QPalette>

namespace vantoli::shell {

inline const QColor kLabelWhite(0xff, 0xff, 0xff);
inline const QColor kLabelHoverRed(0x80, 0x00, 0x00);
inline const QColor kQkGrey(0x5a, 0x5a, 0x5a);       // &H5A5A5A
inline const QColor kNoticeOrange(0xff, 0x80, 0x00); // 33023 = &H80FF

// Sets a label's text colour; does nothing (and causes no repaint) when it already has it.
inline void setTextColour(QLabel *label, const QColor &colour) {
    QPalette p = label->palette();
    if (p.color(QPalette::WindowText) == colour)
        return;
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

} // namespace vantoli::shell
