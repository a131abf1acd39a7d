// The number readers and the scanner under them. The input is a text as
// UTF-8 (up to its first NUL byte) and, after the NUL, a list of scanner
// steps, one a byte. Numbers must print and read back exactly, and every
// scan must keep to the scanner's rules on where it leaves the position.
#include "fuzz/FuzzCheck.h"
#include "platform/text/Numbers.h"
#include "platform/text/Scanner.h"

#include <cmath>

namespace flowtally {

namespace {

constexpr int kSteps = 64;

void checkNumbers(const QString &text) {
    const double value = doubleValue(text);
    fuzzCheck(!std::isnan(value), "a text reads as a number, never NaN");
    fuzzCheck(integerValue(text) == longLongValue(text), "integers are long longs");
    if (value == 0 || (std::isfinite(value) && std::fabs(value) >= 1e-80)) {
        // 100 fraction digits hold 17 significant ones for such values.
        const QString printed = cFixedPoint(value, 100);
        fuzzCheck(doubleValue(printed) == value, "a number printed reads back exactly");
        fuzzCheck(cStringToDouble(printed.toLatin1()) == value, "strtod reads it back too");
    }
}

void walk(const QString &text, QByteArrayView steps) {
    Scanner scanner(text);
    const CharacterSet digits = CharacterSet::decimalDigitCharacterSet();
    const CharacterSet punctuation = CharacterSet::characterSetWithCharactersInString(":.,-");
    for (qsizetype step = 0; step < std::min<qsizetype>(steps.size(), kSteps); ++step) {
        const qsizetype before = scanner.scanLocation();
        const char op = steps[step];
        bool scanned = false;
        switch (op % 8) {
        case 0:
            scanned = scanner.scanInteger();
            break;
        case 1:
            scanned = scanner.scanDouble();
            break;
        case 2:
            scanned = scanner.scanCharactersFromSet(digits);
            break;
        case 3:
            scanned = scanner.scanUpToCharactersFromSet(punctuation);
            break;
        case 4:
            scanned = scanner.scanCharactersFromSet(punctuation);
            break;
        case 5:
            scanner.setCharactersToBeSkipped(std::nullopt);
            continue;
        case 6:
            scanner.setCharactersToBeSkipped(punctuation);
            continue;
        default:
            scanner.setCharactersToBeSkipped(CharacterSet::whitespaceAndNewlineCharacterSet());
            continue;
        }
        const qsizetype after = scanner.scanLocation();
        fuzzCheck(after <= text.size(), "the position stays within the text");
        fuzzCheck(scanned ? after > before : after == before,
                  "a scan moves on when it finds something and stays when it does not");
        if (scanner.isAtEnd())
            fuzzCheck(!scanner.scanInteger() && !scanner.scanDouble(),
                      "nothing is left at the end");
    }
}

} // namespace

} // namespace flowtally

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace flowtally;
    const QByteArrayView bytes(data, qsizetype(size));
    const qsizetype nul = bytes.indexOf('\0');
    const QString text = QString::fromUtf8(nul < 0 ? bytes : bytes.first(nul));
    checkNumbers(text);
    walk(text, nul < 0 ? QByteArrayView() : bytes.sliced(nul + 1));
    return 0;
}
