// A label that takes the size of its text, as a design-time auto-size label.
#pragma once

#include <QLabel>

namespace morlex {

/// A label placed by position, not by a layout, that sizes itself to its
/// text when its window is first polished (before it is first shown). The
/// text is measured once, then, and not while the window is being built.
class TAutoSizeLabel : public QLabel {
public:
    TAutoSizeLabel(const QString& text, QWidget* parent);

protected:
    bool event(QEvent* event) override;
};

} // namespace morlex
