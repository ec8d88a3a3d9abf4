#pragma once

#include <QString>

namespace qv {

class Preferences;

// First-use counters kept in the preferences: how many more times to remind the user of a
// gesture. The first one made is the process's shared instance until it is destroyed.
class CountDowns {
public:
    static QString quadrantDoubleClicksKey() { return QStringLiteral("quadrantDoubleClicksCountDown"); }
    static constexpr int kInitialQuadrantDoubleClicks = 10;

    // Starts the double-click counter at 10 when it has no value yet.
    explicit CountDowns(Preferences& preferences);
    ~CountDowns();
    CountDowns(const CountDowns&) = delete;
    CountDowns& operator=(const CountDowns&) = delete;

    // nullptr while none exists.
    static CountDowns* shared();

    // The double-click counter; 0 for a negative value.
    int getQuadrantDoubleClicksCountDown() const;
    // One down, never below 0; a value already below 1 is left as it is.
    void countDown(const QString& key);

private:
    Preferences& m_preferences;
};

} // namespace qv
