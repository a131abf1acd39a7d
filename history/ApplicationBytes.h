#pragma once

#include <QString>

namespace flowtally {

// The bytes one application moved on a network in some span: its key
// ("app:ID", "service:UNIT" or "other", see CgroupApplication), in and out.
struct ApplicationBytes {
    QString application;
    quint64 in = 0;
    quint64 out = 0;

    bool operator==(const ApplicationBytes &) const = default;
};

} // namespace flowtally
