#pragma once

#include <QString>

namespace flowtally {

// This computer's host name, as the kernel knows it.
QString currentHostName();

} // namespace flowtally
