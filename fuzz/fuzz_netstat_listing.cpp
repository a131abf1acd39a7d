// The listing of the netstat helper for one interface, as the local source
// reads it. The input is the listing as UTF-8. A row comes from the line
// after the header; without one, the reason quotes what was there.
#include "fuzz/FuzzCheck.h"
#include "net/ToolReplies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace flowtally;
    using Outcome = NetstatReading::Outcome;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const NetstatReading reading = readNetstatListing(text);
    const QStringList lines = text.split(u'\n');
    fuzzCheck((reading.outcome == Outcome::ShortLineCount) == (lines.size() < 2),
              "a listing without a line end is short");
    switch (reading.outcome) {
    case Outcome::ShortLineCount:
        fuzzCheck(reading.quoted == text, "a short listing is quoted whole");
        break;
    case Outcome::ResultFormat:
        fuzzCheck(reading.quoted.split(u' ', Qt::SkipEmptyParts).size() < 10,
                  "a line of the wrong format has fewer than ten fields");
        fuzzCheck(!reading.quoted.contains(QStringLiteral("  ")),
                  "its fields are quoted with single spaces");
        break;
    case Outcome::Row:
        fuzzCheck(lines[1].contains(reading.row.address), "the address comes from the row");
        fuzzCheck(reading.quoted.isEmpty(), "a row quotes nothing");
        break;
    }
    return 0;
}
