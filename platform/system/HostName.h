#pragma once

#include <QString>

// This computer's host name, as the kernel knows it.
QString currentHostName();
