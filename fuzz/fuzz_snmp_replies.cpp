// Replies of snmpget and snmpwalk, as the router source reads them: the
// name, the up-time, the interface index in a walk, a counter. The input is
// one reply as UTF-8, read by every reader.
#include "fuzz/FuzzCheck.h"
#include "net/ToolReplies.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace flowtally;
    const QString reply = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool answer = isSnmpAnswer(reply);
    fuzzCheck(answer == reply.contains(QStringLiteral("MIB::")), "answers name a MIB object");

    if (const std::optional<QString> name = nameInReply(reply))
        fuzzCheck(reply.endsWith(*name) && !name->contains(u' '),
                  "the name is the reply's last word");

    const double uptime = uptimeInReply(reply);
    fuzzCheck(!std::isnan(uptime), "an up-time is a number");
    fuzzCheck(uptime == -1 || (reply.contains(u'(') && reply.contains(u')')),
              "an up-time comes from between parentheses");

    const quint32 fallback = 6;
    const quint32 index = interfaceIndexInWalk(reply, QStringLiteral("vlan1"), fallback);
    fuzzCheck(index == fallback || reply.contains(QStringLiteral("vlan1")),
              "without a matching line the walk gives the fallback");

    counterInReply(reply);
    return 0;
}
