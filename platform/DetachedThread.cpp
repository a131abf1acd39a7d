#include "DetachedThread.h"

#include <thread>

void detachThread(std::function<void()> body) {
    std::thread(std::move(body)).detach();
}
