#pragma once

#include <QString>
#include <QStringList>

#include <mutex>
#include <vector>

namespace qv {

// A component the crash-reporting entry starts (the crash reporter is one).
class LookoutKit {
public:
    virtual ~LookoutKit() = default;
    virtual QString kitName() const = 0;
    virtual void startKit() = 0;
};

// The crash-reporting component's entry. It starts its kits once per process; later calls
// start nothing. No reporting service stands behind it, so it fetches no settings and
// registers nothing.
class Lookout {
public:
    // The process's entry, started with the kits on the first call.
    static Lookout& with(const std::vector<LookoutKit*>& kits);

    // Starts the kits unless this entry has started before; true when it started them.
    bool startWithKits(const std::vector<LookoutKit*>& kits);
    bool isStarted() const;
    QStringList kitNames() const;

private:
    mutable std::mutex m_mutex;
    bool m_started = false;
    QStringList m_kitNames;
};

} // namespace qv
