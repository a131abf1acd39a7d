#pragma once

#include <functional>

// Starts a thread that runs the body and ends; nobody waits for or joins it.
void detachThread(std::function<void()> body);
