// Replies of the arp helper, as the router's address lookup reads them. The
// input is one reply as UTF-8, read by every reader.
#include "fuzz/FuzzCheck.h"
#include "net/ToolReplies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace flowtally;
    const QString reply = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    if (const std::optional<QString> address = addressInArpReply(reply))
        fuzzCheck(reply.contains(*address) && !address->contains(u'(') && !address->contains(u')'),
                  "the address lies between the parentheses");

    if (const std::optional<QVariantMap> record = addressRecordInArpReply(reply)) {
        fuzzCheck(record->keys() ==
                      QStringList({"INTERFACE_DESCRIPTION", "IP", "MAC", "PrimaryInterface"}),
                  "a record has its four keys");
        const QString trimmed = QStringLiteral("[]() \n");
        for (const QVariant &value : *record) {
            const QString text = value.toString();
            fuzzCheck(reply.contains(text), "each value is a word of the reply");
            fuzzCheck(text.isEmpty() ||
                          (!trimmed.contains(text.front()) && !trimmed.contains(text.back())),
                      "values are trimmed of brackets, spaces and line ends");
        }
    }

    if (const std::optional<QString> hardware = hardwareAddressInArpReply(reply))
        fuzzCheck(reply.contains(*hardware) && !hardware->contains(u' '),
                  "the hardware address is one word of the reply");
    return 0;
}
