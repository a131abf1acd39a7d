#include "TextNumbers.h"

#include "Scanner.h"

double doubleValue(const QString &text) {
    double value = 0;
    Scanner(text).scanDouble(&value);
    return value;
}

qint64 longLongValue(const QString &text) {
    qint64 value = 0;
    Scanner(text).scanInteger(&value);
    return value;
}

qint64 integerValue(const QString &text) {
    return longLongValue(text);
}
