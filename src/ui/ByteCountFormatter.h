#pragma once

#include <QString>

namespace veloxa {

// Byte counts the way the platform's binary-style formatter writes them: units of 1024,
// "1 byte" / "N bytes" below 1 KB, no fraction for KB, one digit for MB, two for GB and
// above, trailing zeros dropped, halves rounded to even. Counters above the signed 64-bit
// range are written from their true value (18446744073709551615 bytes reads "16 EB").
class ByteCountFormatter {
public:
    static QString format(quint64 bytes);
};

} // namespace veloxa
