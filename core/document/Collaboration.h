#pragma once

#include <QString>

#include <optional>

namespace qv {

// The signed-in user as the collaboration manager (sync/) knows it.
class CollaborationInterface {
public:
    virtual ~CollaborationInterface() = default;
    // The signed-in user's user name; nullopt while the user is not known.
    virtual std::optional<QString> myUsername() const = 0;
};

} // namespace qv
