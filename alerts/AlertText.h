#pragma once

#include "alerts/AlertFigures.h"
#include "alerts/AlertKind.h"

#include <QString>

namespace flowtally {

// What a person reads of an alert, written so that it is understood without
// opening Flowtally's window: which network, how much of what is used, and
// the days left in the cycle (without a cycle, since when it was counted).
//
//   Warning        "80% of your limit used"
//                  "Home (gateway): 200.00G of 250.00G used, 9 days left in this cycle."
//   LimitReached   "limit reached"
//                  "Home (gateway): 251.00G of 250.00G used since 3 March."
//   PaceOverLimit  "on course to pass your limit"
//                  "Home (gateway): 150.00G of 250.00G used, 20 days left in this
//                   cycle; at this pace you will use 310.00G by 14 March."
//                  (without a cycle: "…; at this pace you use 310.00G every 30 days.")
//
// While the connection is worth marking metered (offersToMarkMetered), the
// alert offers it: its button reads "Mark this connection metered".
//
// Byte figures in the window's units with two fraction digits, so that
// amounts close to each other read apart ("0.52G of 1.00G"). Plain text: no
// markup.
struct AlertText {
    enum class Urgency { Normal, Critical };

    QString headline;
    QString body;
    Urgency urgency = Urgency::Normal;
    // The label of the one button the alert offers; empty for none.
    QString offer;

    // The notification's summary, the headline as a sentence: "Limit
    // reached". The notification service names the application itself.
    QString summary() const;
    // The alert in one line, for the status line: "Limit reached — Home…".
    QString statusLine() const;

    bool operator==(const AlertText &) const = default;
};

// The text of an alert about these figures. The warning's headline gives the
// share used in whole percent, rounded down; LimitReached is critical.
AlertText alertText(AlertKind kind, const AlertFigures &figures);

} // namespace flowtally
