// Router addresses as typed into the address field and read from settings.
// The input is the typed text as UTF-8; its first four bytes are also an
// address number. Dotted text and numbers must turn into each other without
// loss, and the field's formatter must read back what it shows.
#include "fuzz/FuzzCheck.h"
#include "WBLib/IsValidLocalIP.h"
#include "WBLib/WBIPFormatter.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace flowtally;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const quint32 number = inetNumber(text);
    fuzzCheck(inetNSNumber(text).value<quint32>() == number, "boxed and plain numbers agree");
    if (isValidLocalIP(text))
        fuzzCheck(number != 0xFFFFFFFF, "a local address is an address");

    quint32 raw = 0;
    std::memcpy(&raw, data, std::min(size, sizeof raw));
    fuzzCheck(inetNumber(addressWithInetNumber(raw)) == raw,
              "dotted text reads back as its number");

    const WBIPFormatter formatter;
    QVariant value;
    QString error;
    if (!formatter.getObjectValue(&value, text, &error))
        return 0;
    const std::optional<QString> shown = formatter.stringForObjectValue(value);
    fuzzCheck(shown.has_value(), "an accepted address can be shown");
    QVariant again;
    fuzzCheck(formatter.getObjectValue(&again, *shown, &error) &&
                  again.value<quint32>() == value.value<quint32>(),
              "what the field shows reads back as the same address");
    return 0;
}
