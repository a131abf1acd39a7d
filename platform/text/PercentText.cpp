#include "platform/text/PercentText.h"

#include <QLocale>

namespace flowtally {

QString percentText(double share, int fractionDigits) {
    // Without group separators, as the byte amounts beside it: "8193%".
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(share * 100.0, 'f', fractionDigits) + locale.percent();
}

} // namespace flowtally
