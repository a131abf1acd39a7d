#pragma once

#include "CommandRun.h"

#include <QString>

// A network namespace of our own, wired to a second one by a veth pair:
//   host side "ft0" 10.77.0.2/24, MAC 02:00:5e:77:00:02, MTU 1400,
//   default route via 10.77.0.1 (the peer "ft1", MAC 02:00:5e:77:00:01),
//   which has a permanent neighbour entry.
// Nothing leaves the two namespaces. Both are removed on destruction, also
// when setting up failed half-way.
class TestNetwork {
  public:
    TestNetwork();
    ~TestNetwork();
    TestNetwork(const TestNetwork &) = delete;
    TestNetwork &operator=(const TestNetwork &) = delete;

    // Why the network cannot be had here (not root, no `ip`, a step failed);
    // empty when it is up.
    QString unavailableReason() const { return unavailableReason_; }

    // Runs a program inside the host namespace.
    CommandResult run(const QString &program, const QStringList &arguments) const;

  private:
    bool step(const QStringList &ipArguments);

    QString host_;
    QString router_;
    QString unavailableReason_;
};
