#include "sync/SendFailure.h"

#include "platform/rest/RestTypes.h"
#include "sync/UpdaterLoop.h"

namespace qv {

SendFailure SendFailure::of(const rest::Error& error)
{
    return {error.message, UpdaterLoop::outcomeUnknown(error)};
}

} // namespace qv
