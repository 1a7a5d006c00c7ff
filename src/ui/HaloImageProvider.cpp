#include "HaloImageProvider.h"

#include "SymbolImageProvider.h"

#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <QUrlQuery>

#include <cmath>

namespace veloxa {

namespace {

// One horizontal box-blur pass over premultiplied ARGB rows (transposed by the caller for
// the vertical one).
void boxPass(const QImage& from, QImage& to, int r) {
    const int w = from.width(), h = from.height();
    const int window = 2 * r + 1;
    for (int y = 0; y < h; ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(from.constScanLine(y));
        QRgb* out = reinterpret_cast<QRgb*>(to.scanLine(y));
        int sum[4] = {0, 0, 0, 0};
        auto add = [&](int x, int sign) {
            if (x < 0 || x >= w)
                return;
            const QRgb p = in[x];
            sum[0] += sign * qAlpha(p);
            sum[1] += sign * qRed(p);
            sum[2] += sign * qGreen(p);
            sum[3] += sign * qBlue(p);
        };
        for (int x = -r; x <= r; ++x)
            add(x, 1);
        for (int x = 0; x < w; ++x) {
            out[x] = qRgba(sum[1] / window, sum[2] / window, sum[3] / window, sum[0] / window);
            add(x - r, -1);
            add(x + r + 1, 1);
        }
    }
}

QImage transposed(const QImage& image) {
    QImage out(image.height(), image.width(), image.format());
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            reinterpret_cast<QRgb*>(out.scanLine(x))[y] = in[x];
    }
    return out;
}

// The power disc's glass, in units of an 84-point disc: a white highlight from (0.3, 0.25)
// fading over 44 points, a gloss arc over 0.56 … 0.88 of a 76-point circle turned by −18°,
// and a 1-point rim from white 50 % at the top to 6 % at the bottom.
void drawGlass(QPainter& painter, const QRectF& area) {
    painter.save();
    painter.translate(area.topLeft());
    const double unit = area.width() / 84.0;
    painter.scale(unit, area.height() / 84.0);
    QPainterPath disc;
    disc.addEllipse(QRectF(0, 0, 84, 84));
    QRadialGradient highlight(QPointF(84 * 0.3, 84 * 0.25), 44);
    highlight.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.5));
    highlight.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0));
    painter.fillPath(disc, highlight);

    QPen gloss(QColor::fromRgbF(1, 1, 1, 0.85), 2.5, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(gloss);
    painter.setBrush(Qt::NoBrush);
    // Angles as QML's PathAngleArc takes them: clockwise from three o'clock.
    const double start = 0.56 * 360 - 18, sweep = 0.32 * 360;
    painter.drawArc(QRectF(4, 4, 76, 76), int(-start * 16), int(-sweep * 16));

    QPainterPath rim = disc;
    rim.addEllipse(QRectF(1, 1, 82, 82));
    rim.setFillRule(Qt::OddEvenFill);
    QLinearGradient fade(0, 0, 0, 84);
    fade.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.5));
    fade.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0.06));
    painter.fillPath(rim, fade);
    painter.restore();
}

} // namespace

HaloImageProvider::HaloImageProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

void HaloImageProvider::blur(QImage& image, int radius) {
    if (radius <= 0 || image.isNull())
        return;
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // Three boxes of this width approximate a Gaussian of sigma = radius / 2.
    const double sigma = radius / 2.0;
    const int box = std::max(1, int(std::lround((std::sqrt(12 * sigma * sigma / 3 + 1) - 1) / 2)));
    for (int axis = 0; axis < 2; ++axis) {
        QImage scratch(image.size(), image.format());
        for (int pass = 0; pass < 3; ++pass) {
            boxPass(image, scratch, box);
            std::swap(image, scratch);
        }
        image = transposed(image);
    }
}

QImage HaloImageProvider::render(const QString& shape, const QColor& color, int radius,
                                 const QSize& size) {
    if (!size.isValid() || size.isEmpty() || radius < 0 || radius > 64 || size.width() > 1024 ||
        size.height() > 1024)
        return {};
    QImage image(size + QSize(2 * radius, 2 * radius), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(radius, radius, size.width(), size.height());
    if (shape == u"glass") {
        drawGlass(painter, area);
        return image;
    }
    if (shape == u"capsule" || shape == u"disc") {
        QPainterPath path;
        if (shape == u"disc")
            path.addEllipse(area);
        else
            path.addRoundedRect(area, size.height() / 2.0, size.height() / 2.0);
        painter.fillPath(path, color);
    } else {
        QString file;
        if (shape.startsWith(u"image/"))
            file = QStringLiteral(":/qt/qml/Veloxa/UI/assets/images/") + shape.mid(6) +
                   QStringLiteral(".svg");
        else if (shape.startsWith(u"symbol/"))
            file = SymbolImageProvider::assetPath(shape.mid(7));
        if (file.isEmpty() || shape.count(u'/') != 1)
            return {};
        QSvgRenderer renderer(file);
        if (!renderer.isValid())
            return {};
        // Keep the drawing's proportions, centred, as the views lay it out.
        const QSizeF fitted =
            QSizeF(renderer.defaultSize()).scaled(area.size(), Qt::KeepAspectRatio);
        renderer.render(
            &painter, QRectF(area.center() - QPointF(fitted.width(), fitted.height()) / 2, fitted));
        // Only the silhouette counts: paint the colour through its alpha.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
    }
    painter.end();
    blur(image, radius);
    return image;
}

QImage HaloImageProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize) {
    const QString shape = id.section(u'?', 0, 0);
    const QUrlQuery query(id.section(u'?', 1));
    const QColor color(query.queryItemValue(QStringLiteral("color"), QUrl::FullyDecoded));
    const int radius = query.queryItemValue(QStringLiteral("blur")).toInt();
    QImage image =
        render(shape, color.isValid() ? color : QColor(Qt::white), radius,
               requestedSize.isValid() && !requestedSize.isEmpty() ? requestedSize : QSize(24, 24));
    if (size)
        *size = image.size();
    return image;
}

} // namespace veloxa
