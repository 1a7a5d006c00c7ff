#include "ByteCountFormatter.h"

#include <QLocale>
#include <cmath>

namespace veloxa {

QString ByteCountFormatter::format(quint64 bytes) {
    if (bytes == 1)
        return QStringLiteral("1 byte");
    if (bytes < 1024)
        return QLocale(QLocale::English).toString(bytes) + QStringLiteral(" bytes");
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    long double value = static_cast<long double>(bytes) / 1024.0L;
    int unit = 0;
    while (value >= 1024.0L && unit < 5) {
        value /= 1024.0L;
        ++unit;
    }
    const int digits = unit == 0 ? 0 : unit == 1 ? 1 : 2;
    const long double scale = std::pow(10.0L, digits);
    const long double scaled = value * scale;
    // nearbyint in the default rounding mode sends halves to the even neighbour, as the
    // platform's number formatting does.
    value = std::nearbyint(scaled) / scale;
    // Rounding up may reach the next unit (1023.96 KB reads "1 MB").
    if (value >= 1024.0L && unit < 5) {
        value /= 1024.0L;
        ++unit;
    }
    QString text = QString::number(static_cast<double>(value), 'f',
                                   unit == 0   ? 0
                                   : unit == 1 ? 1
                                               : 2);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text + u' ' + QLatin1String(units[unit]);
}

} // namespace veloxa
