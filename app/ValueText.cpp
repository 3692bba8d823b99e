#include "app/ValueText.h"

#include <QEvent>

namespace trilo::gui {

ValueText::ValueText(QWidget* parent, Qt::TextElideMode mode) : QLabel(parent), mode_(mode) {
    // A file name is shown as it is, never taken for markup.
    setTextFormat(Qt::PlainText);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void ValueText::setValue(const QString& value) {
    value_ = value;
    // Whole, though the text shown may be elided.
    setAccessibleName(value);
    setAccessibleDescription(value);
    fit();
}

void ValueText::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void ValueText::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fit();
    }
}

void ValueText::fit() {
    // A framed label indents its text by half an 'x' unless told otherwise; allow it on both
    // sides, as a centred text has it.
    const int indentation =
        indent() >= 0 ? indent()
                      : (frameWidth() > 0 ? fontMetrics().horizontalAdvance(u'x') / 2 : 0);
    const int room = contentsRect().width() - 2 * (margin() + indentation);
    const QString shown = fontMetrics().elidedText(value_, mode_, room);
    setText(shown);
    setToolTip(shown == value_ ? QString() : value_);
}

}  // namespace trilo::gui
