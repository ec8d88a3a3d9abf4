#pragma once

namespace qv::store {
struct ChangeEvent;
}

namespace qv {

// The reminder sync's share of change tracking: it marks changed reminders by its own rule.
class RemindersSyncInterface {
public:
    virtual ~RemindersSyncInterface() = default;
    // Every change event the document tracks is handed on; true when a reminder was marked.
    virtual bool objectContextDidChanged(const store::ChangeEvent& event) = 0;
};

} // namespace qv
