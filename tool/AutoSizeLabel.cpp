#include "AutoSizeLabel.h"

#include <QEvent>

namespace morlex {

TAutoSizeLabel::TAutoSizeLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
}

bool TAutoSizeLabel::event(QEvent* event)
{
    const bool handled = QLabel::event(event);
    // After the base class, so that the style's polish (font, margins) counts.
    if (event->type() == QEvent::Polish) adjustSize();
    return handled;
}

} // namespace morlex
