#pragma once

namespace qv {

class Alerts;
class Clock;
class NotificationCenter;
class Preferences;
class Scheduler;

// The services a component is built from. The entry point fills it with the real ones;
// each test fills it with its own fakes.
struct Services {
    Clock* clock = nullptr;
    Scheduler* scheduler = nullptr;
    Preferences* preferences = nullptr;
    NotificationCenter* notifications = nullptr;
    Alerts* alerts = nullptr;
};

} // namespace qv
