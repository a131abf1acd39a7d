#include "TimerInterval.h"

#include <algorithm>
#include <climits>
#include <cmath>

int timerMilliseconds(double seconds) {
    if (!(seconds > 0))
        return 0;
    return static_cast<int>(std::min(std::ceil(seconds * 1000.0), double(INT_MAX)));
}
