#include "history/ApplicationsRest.h"

#include <algorithm>

namespace flowtally {

namespace {

quint64 lessBy(quint64 from, quint64 by) {
    return from > by ? from - by : 0;
}

} // namespace

QList<ApplicationBytes> withRest(const QList<ApplicationBytes> &applications,
                                 const TrafficTotals &counted, const TrafficTotals &written,
                                 bool behindRouter) {
    QList<ApplicationBytes> rows = applications;
    // Where no application was counted (no service) there is nothing to add up.
    if (applications.isEmpty())
        return rows;
    TrafficTotals given;
    for (const ApplicationBytes &bytes : applications) {
        given.in += bytes.in;
        given.out += bytes.out;
    }
    // Bytes written beyond the meter's (a history that outran the settings)
    // are not counted twice: the unwritten part is what the meter holds
    // beyond both.
    const TrafficTotals shown{std::max(written.in, given.in), std::max(written.out, given.out)};
    const ApplicationBytes rest[] = {
        {behindRouter ? RestKey::OtherDevices : RestKey::NotPerApplication,
         lessBy(std::min(written.in, counted.in), given.in),
         lessBy(std::min(written.out, counted.out), given.out)},
        {RestKey::NotWritten, lessBy(counted.in, shown.in), lessBy(counted.out, shown.out)}};
    for (const ApplicationBytes &bytes : rest)
        if (bytes.in != 0 || bytes.out != 0)
            rows.append(bytes);
    return rows;
}

} // namespace flowtally
