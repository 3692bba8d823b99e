#include "app/Metrics.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace trilo::gui {

namespace {

double screenScale() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
    return dpi / kDesignDpi;
}

}  // namespace

Metrics::Metrics() : scale_(screenScale()) {}

int Metrics::px(int design) const {
    return static_cast<int>(std::lround(design * scale_));
}

QRect Metrics::rect(int left, int top, int width, int height) const {
    return QRect(px(left), px(top), px(width), px(height));
}

QFont Metrics::font(int designPixels) const {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, px(designPixels)));
    return f;
}

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    // move() places the frame, which the window manager adds; before the first show it is
    // not known yet and the window's own size stands in for it.
    const QRect area = screen->availableGeometry();
    const QSize outer = window->frameGeometry().size();
    window->move(area.center() - QPoint(outer.width() / 2, outer.height() / 2));
}

}  // namespace trilo::gui
