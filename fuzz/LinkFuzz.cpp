// quadrivo:// links and the web links to items and projects, as the URL handler reads them.
#include "core/util/Utils.h"
#include "fuzz/FuzzSupport.h"

#include <QUrl>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QUrl url(fuzz::textOf(data, size), QUrl::StrictMode);
    if (!url.isValid())
        return 0;
    for (const QString& host : {QStringLiteral("sync.example.org"), QStringLiteral("127.0.0.1:8765")}) {
        Utils::projectIDFromURL(url, host);
        Utils::itemIDFromURL(url, host);
    }
    Utils::isSyncURL(url);
    Utils::isBlankURL(url);
    return 0;
}
