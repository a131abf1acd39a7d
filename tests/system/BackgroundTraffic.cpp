#include "BackgroundTraffic.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kPause{40};
constexpr std::chrono::seconds kLongest{60};

} // namespace

BackgroundTraffic::BackgroundTraffic(TcpConnection &connection, quint64 chunk)
    : connection_(connection), chunk_(chunk) {
    thread_ = std::thread([this] {
        const Clock::time_point deadline = Clock::now() + kLongest;
        while (!stopping_ && Clock::now() < deadline) {
            if (!connection_.exchange(chunk_, chunk_)) {
                failed_ = true;
                return;
            }
            ++exchanges_;
            std::this_thread::sleep_for(kPause);
        }
    });
}

BackgroundTraffic::~BackgroundTraffic() {
    stop();
}

bool BackgroundTraffic::stop() {
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    return !failed_;
}
