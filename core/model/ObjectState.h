#pragma once

#include "platform/store/ManagedObject.h"

#include <QString>
#include <QtGlobal>

namespace qv {

// Where an item or a project is in its life; stored and sent as the number. A number outside
// the four (from another version) reads as itself and equals none of them.
enum class ObjectState : qint64 {
    Open = 0,
    Completed = 1,
    Trashed = 2, // in the trash, where the user can take it back
    Removed = 3, // gone for good
};

constexpr ObjectState toObjectState(qint64 stored)
{
    return static_cast<ObjectState>(stored);
}

constexpr qint64 storedValue(ObjectState state)
{
    return static_cast<qint64>(state);
}

// Trashed or removed: lists and boards no longer show it.
constexpr bool isDeleted(ObjectState state)
{
    return state == ObjectState::Trashed || state == ObjectState::Removed;
}

constexpr bool isVisible(ObjectState state)
{
    return !isDeleted(state);
}

// The state of any item or project, read through the generic attribute.
inline ObjectState objectStateOf(const store::ManagedObject& object)
{
    return toObjectState(object.intValue(QStringLiteral("state")));
}

} // namespace qv
