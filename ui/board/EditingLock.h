#pragma once

#include <QString>

namespace qv {

// The sync engine's editing lock as the board's editors take it: while any component holds
// it, no sync loop sends, polls or merges and scheduled saves wait. Each editor must release
// what it took on every way its edit ends.
class EditingLock {
public:
    virtual ~EditingLock() = default;
    // component: "itemNameTextCell", "projectNameTextCell", ...
    virtual void setEditing(bool editing, const QString& component) = 0;
};

} // namespace qv
