#pragma once

#include "TcpConnection.h"

#include <atomic>
#include <thread>

// Keeps data moving over a connection in a thread of its own: a chunk each
// way, then a short pause, again and again, until stopped (or for a minute
// at most), so that other things can happen while traffic flows.
class BackgroundTraffic {
  public:
    BackgroundTraffic(TcpConnection &connection, quint64 chunk);
    ~BackgroundTraffic();
    BackgroundTraffic(const BackgroundTraffic &) = delete;
    BackgroundTraffic &operator=(const BackgroundTraffic &) = delete;

    // How many chunks went each way so far.
    int exchanges() const { return exchanges_; }
    // Ends the traffic; returns whether every exchange went through.
    bool stop();

  private:
    TcpConnection &connection_;
    const quint64 chunk_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> failed_{false};
    std::atomic<int> exchanges_{0};
    std::thread thread_;
};
