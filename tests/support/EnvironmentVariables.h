#pragma once

#include <QByteArray>
#include <QList>

#include <optional>
#include <utility>

namespace flowtally {

// Some of this process's environment variables, changed for a while: each
// one named is put back as it was (set or not) when the object goes, also
// when a test fails half-way.
class EnvironmentVariables {
  public:
    explicit EnvironmentVariables(const QList<QByteArray> &names) {
        for (const QByteArray &name : names)
            saved_.append({name, get(name)});
    }
    ~EnvironmentVariables() {
        for (const auto &[name, value] : saved_)
            set(name, value);
    }
    Q_DISABLE_COPY(EnvironmentVariables)

    // Sets the variable, or unsets it for no value.
    static void set(const QByteArray &name, const std::optional<QByteArray> &value) {
        value ? qputenv(name.constData(), *value) : qunsetenv(name.constData());
    }
    static std::optional<QByteArray> get(const QByteArray &name) {
        return qEnvironmentVariableIsSet(name.constData())
                   ? std::optional(qgetenv(name.constData()))
                   : std::nullopt;
    }

  private:
    QList<std::pair<QByteArray, std::optional<QByteArray>>> saved_;
};

} // namespace flowtally
