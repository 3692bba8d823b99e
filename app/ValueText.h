#pragma once

#include <QLabel>

namespace trilo::gui {

// A sunken static text that shows a value (the data file, the family, the device). A value
// too long for its place is elided in the middle, so a path keeps its file name in view, and
// the whole of it is the tooltip. Screen readers get the whole value as the name and the
// description; the label beside it says what it is.
class ValueText : public QLabel {
    Q_OBJECT
public:
    // A line of words rather than a path loses its end instead: `mode` Qt::ElideRight.
    explicit ValueText(QWidget* parent, Qt::TextElideMode mode = Qt::ElideMiddle);

    void setValue(const QString& value);
    const QString& value() const { return value_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fit();

    QString value_;
    Qt::TextElideMode mode_;
};

}  // namespace trilo::gui
