#pragma once

#include <QFont>
#include <QRect>

class QWidget;

namespace trilo::gui {

// The windows are designed in pixels at 120 dots per inch; this scales them to the screen.
class Metrics {
public:
    // From the primary screen's logical resolution.
    Metrics();
    explicit Metrics(double scale) : scale_(scale) {}

    double scale() const { return scale_; }
    int px(int design) const;
    QRect rect(int left, int top, int width, int height) const;
    // DejaVu Sans (fonts-dejavu-core) has every Czech letter, unlike many bitmap fonts.
    QFont font(int designPixels) const;

private:
    double scale_;
};

inline constexpr int kDesignDpi = 120;

// Places a top-level window at the centre of the screen it is on.
void centreOnScreen(QWidget* window);

}  // namespace trilo::gui
