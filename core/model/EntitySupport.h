#pragma once

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QVariant>

#include <optional>

namespace qv {

namespace store {
class ManagedObject;
}

// Small rules shared by the entity classes.
namespace entity {

// "(null)" for an absent value, its text otherwise (log lines).
QString describe(const QVariant& value);

// The number in the last non-empty path component of a resource path; none when that
// component is not a number (earlier components are never consulted).
std::optional<qint64> idFromURI(const QString& uri);

// A date that lies at least one second after the start of 1970.
bool isRealDate(const QDateTime& date);

// The change test of items and projects: keys changed in the current change event outside
// nonTracked; none -> false; no other object -> true; else whether a value differs.
bool needToUpload(const store::ManagedObject& self, const store::ManagedObject* other,
                  const QSet<QString>& nonTracked);

} // namespace entity
} // namespace qv
