#include "app/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace trilo::gui {

namespace {

// Draws on a 64 x 64 grid scaled into the painter's target; small sizes get fewer pins and
// no lettering, so the shape stays readable at 16 pixels.
void paintChipInSocket(QPainter& p, int pixels) {
    p.setRenderHint(QPainter::Antialiasing, pixels >= 24);
    const QColor socket(0x2f, 0x6f, 0xb0);
    const QColor socketEdge(0x1b, 0x40, 0x6a);
    const QColor metal(0xd4, 0xd4, 0xd4);
    const QColor metalEdge(0x80, 0x80, 0x80);

    // The socket.
    p.setPen(QPen(socketEdge, 1.5));
    p.setBrush(socket);
    p.drawRoundedRect(QRectF(8, 3, 52, 58), 4, 4);

    // The lever along the left side, knob at the top.
    p.setPen(QPen(metalEdge, 1));
    p.setBrush(metal);
    p.drawRect(QRectF(1.5, 12, 4, 46));
    p.drawEllipse(QPointF(3.5, 9), 3.5, 3.5);

    // The pins, in the socket's contact rows.
    const int pins = pixels >= 48 ? 8 : (pixels >= 28 ? 6 : 4);
    const double top = 11;
    const double span = 44;
    const double step = span / pins;
    const double pinHeight = pixels >= 28 ? step * 0.55 : step * 0.6;
    for (int i = 0; i < pins; ++i) {
        const double y = top + i * step + (step - pinHeight) / 2;
        p.drawRect(QRectF(13, y, 6, pinHeight));
        p.drawRect(QRectF(49, y, 6, pinHeight));
    }

    // The chip body with a soft top light.
    const QRectF body(18, 7, 32, 50);
    QLinearGradient shade(body.topLeft(), body.topRight());
    shade.setColorAt(0, QColor(0x44, 0x44, 0x44));
    shade.setColorAt(0.5, QColor(0x22, 0x22, 0x22));
    shade.setColorAt(1, QColor(0x11, 0x11, 0x11));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(shade);
    p.drawRoundedRect(body, 2, 2);

    // The notch at pin 1's end, and pin 1's dot.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x55, 0x55, 0x55));
    QPainterPath notch;
    notch.moveTo(29, 7);
    notch.arcTo(QRectF(29, 3, 10, 8), 180, 180);
    notch.closeSubpath();
    p.drawPath(notch);
    if (pixels >= 28) {
        p.setBrush(QColor(0x9a, 0x9a, 0x9a));
        p.drawEllipse(QPointF(23.5, 13.5), 2, 2);
    }

    if (pixels >= 48) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(7);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(0xe8, 0xe8, 0xe8));
        p.save();
        p.translate(34, 32);
        p.rotate(-90);
        p.drawText(QRectF(-22, -5, 44, 10), Qt::AlignCenter, QStringLiteral("AT89C51"));
        p.restore();
    }
}

QImage render(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    const int side = qMin(size.width(), size.height());
    // Centre the square drawing in the image.
    p.translate((size.width() - side) / 2.0, (size.height() - side) / 2.0);
    p.scale(side / 64.0, side / 64.0);
    paintChipInSocket(p, side);
    p.end();
    return image;
}

}  // namespace

QImage aboutPicture() {
    return render(kAboutPictureSize);
}

QImage iconImage(int size) {
    return render(QSize(size, size));
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32}) {
        icon.addPixmap(QPixmap::fromImage(iconImage(size)));
    }
    return icon;
}

}  // namespace trilo::gui
