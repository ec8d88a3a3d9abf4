#pragma once

#include "platform/rest/RestClient.h"
#include "tests/support/Printers.h"

#include <QStringList>
#include <QTest>

#include <functional>

namespace qv::rest::test {

// Runs the event loop until done() holds or the time is up; real loopback round trips only.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000)
{
    return QTest::qWaitFor(done, timeoutMs);
}

// Records which callbacks of which requests ran, in order.
struct CallbackLog {
    QStringList events;
    QList<Response> responses;
    QList<Error> errors;

    Request request(const QString& name, const QString& path)
    {
        Request request;
        request.path = path;
        request.userData.insert(QStringLiteral("name"), name);
        request.onSuccess = [this, name](const Response& response) {
            events.append(QStringLiteral("ok:") + name);
            responses.append(response);
        };
        request.onFailure = [this, name](const Error& error) {
            events.append(QStringLiteral("fail:") + name);
            errors.append(error);
        };
        return request;
    }
};

} // namespace qv::rest::test
