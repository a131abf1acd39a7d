#pragma once

// The QTimer interval for a time in seconds: whole milliseconds rounded up,
// 0 for no time (negative or not a number), at most what QTimer can hold.
int timerMilliseconds(double seconds);
