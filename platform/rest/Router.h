#pragma once

#include "platform/rest/RestTypes.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

namespace qv::rest {

// Resource paths per entity and method. A path's ":attribute" segments are filled from the
// object being sent; the query part of a path is left as it is.
class Router {
public:
    // Returns the value of an attribute of the object, or an invalid QVariant when it has none.
    using AttributeLookup = std::function<QVariant(const QString& attribute)>;

    // For every method that has no route of its own.
    void routeClass(const QString& entity, const QString& resourcePath);
    void routeClass(const QString& entity, const QString& resourcePath, Method method);

    // The route's pattern, unfilled; empty when there is none.
    QString resourcePattern(const QString& entity, Method method) const;
    // The filled path; nullopt when there is no route or an attribute it names is missing or empty
    // (a request to "/item//" would reach the wrong resource).
    std::optional<QString> resourcePathForObject(const QString& entity, Method method,
                                                 const AttributeLookup& lookup) const;

    // Fills the ":attribute" segments of a path; values are percent-encoded, and whole numbers
    // are written without a fraction or exponent.
    static std::optional<QString> interpolate(const QString& pattern, const AttributeLookup& lookup);

private:
    struct Routes {
        std::optional<QString> any;
        QHash<int, QString> byMethod;
    };
    QHash<QString, Routes> m_routes;
};

} // namespace qv::rest
