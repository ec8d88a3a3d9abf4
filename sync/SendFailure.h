#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace qv {

namespace rest {
struct Error;
}

// How a request that changes something on the server (a comment, an invitation) ended without
// an answer to act on.
struct SendFailure {
    // None: refused before anything left (no network, nothing to send).
    std::optional<QString> error;
    // The request left and its answer was lost (the connection broke, the answer was cut or
    // garbled, a gateway gave up waiting): the server may have carried it out, so it has to
    // be looked for before it is sent again.
    bool mayHaveArrived = false;

    // As the sync loops judge their own uploads.
    static SendFailure of(const rest::Error& error);
};

using SendFailed = std::function<void(const SendFailure& failure)>;

} // namespace qv
