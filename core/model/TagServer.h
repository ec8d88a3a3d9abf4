#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace qv {

class TODOItem;

// The server's tag operations on items, as the tag service needs them. The sync engine
// implements this; each call answers whether a request was started.
class TagServer {
public:
    using Success = std::function<void(const QByteArray& response)>;
    // No error (std::nullopt) means the server answered with an error status.
    using Failure = std::function<void(const std::optional<QString>& error)>;

    virtual ~TagServer() = default;
    virtual bool addTagName(const QString& name, TODOItem* item, Success success, Failure failure) = 0;
    virtual bool removeTagName(const QString& name, TODOItem* item, Success success, Failure failure) = 0;
};

} // namespace qv
