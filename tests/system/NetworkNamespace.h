#pragma once

#include "CommandRun.h"

#include <QString>
#include <QStringList>

#include <optional>

// The byte counters of one interface as the kernel keeps them.
struct InterfaceCounters {
    quint64 received = 0;
    quint64 sent = 0;
};

// A network namespace of the test's own: named after this process (so that
// runs never meet), loopback up, IPv6 off (no router or neighbour
// solicitations), and an empty resolver configuration, so that nothing
// started inside it asks a name server. The namespace, every interface in
// it and the resolver file are removed on destruction, also when making it
// failed half-way.
class NetworkNamespace {
  public:
    // The role ("lan", "peer") goes into the name, to read logs by.
    explicit NetworkNamespace(const QString &role);
    ~NetworkNamespace();
    NetworkNamespace(const NetworkNamespace &) = delete;
    NetworkNamespace &operator=(const NetworkNamespace &) = delete;

    // Why namespaces cannot be had on this machine (not root, no `ip`);
    // empty when they can.
    static QString unavailableReason();

    const QString &name() const { return name_; }
    // Why making this namespace failed; empty when it is up.
    const QString &failure() const { return failure_; }

    // Runs `ip -n NAME ARGUMENTS`. On failure, tells why in *error.
    bool ip(const QStringList &arguments, QString *error = nullptr) const;
    // Runs a program inside the namespace (`ip netns exec`), which also
    // shows the namespace's own /sys.
    CommandResult exec(const QString &program, const QStringList &arguments) const;

    // The counters of an interface in this namespace; nothing when they
    // cannot be read.
    std::optional<InterfaceCounters> counters(const QString &interface) const;

    // A new socket that belongs to this namespace (it keeps its namespace
    // wherever it is used from), or -1. Close-on-exec.
    int makeSocket(int domain, int type) const;

  private:
    // Namespaces and resolver files that runs of this test program left
    // behind when they were killed (their process is gone).
    static void removeLeftovers();
    void remove();

    QString name_;
    QString failure_;
};
