#pragma once

#include "report/Report.h"

#include <QString>

namespace flowtally {

// The report for people: per network, a title (its name and identifier)
// and either its figures, a line each, or, when the report asks for days or
// months, its tables of daily and monthly traffic. Networks are parted by
// an empty line.
QString textReport(const Report &report);

} // namespace flowtally
