#include "SymbolImageProvider.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <QUrlQuery>

namespace veloxa {

SymbolImageProvider::SymbolImageProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

QString SymbolImageProvider::assetPath(const QString& name) {
    return QStringLiteral(":/qt/qml/Veloxa/UI/assets/symbols/") + name + QStringLiteral(".svg");
}

QImage SymbolImageProvider::render(const QString& name, const QColor& color, const QSize& size) {
    if (name.contains(u'/') || !size.isValid())
        return {};
    QFile file(assetPath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray svg = file.readAll();
    const QByteArray hex = color.name(QColor::HexRgb).toLatin1();
    svg.replace("\"#fff\"", "\"" + hex + "\"");
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setOpacity(color.alphaF());
    renderer.render(&painter);
    return image;
}

QImage SymbolImageProvider::requestImage(const QString& id, QSize* size,
                                         const QSize& requestedSize) {
    const QString name = id.section(u'?', 0, 0);
    const QUrlQuery query(id.section(u'?', 1));
    const QColor color(query.queryItemValue(QStringLiteral("color"), QUrl::FullyDecoded));
    const QSize target =
        requestedSize.isValid() && !requestedSize.isEmpty() ? requestedSize : QSize(24, 24);
    QImage image = render(name, color.isValid() ? color : QColor(Qt::white), target);
    if (size)
        *size = image.size();
    return image;
}

} // namespace veloxa
