// The cookie jar's file, read at every start.
#include "fuzz/FuzzSupport.h"
#include "platform/rest/PersistentCookieJar.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("cookies.txt")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(fuzz::bytesOf(data, size));
    file.close();

    rest::PersistentCookieJar jar(folder.path());
    jar.cookiesForUrl(QUrl(QStringLiteral("https://sync.example.org/rest/")));
    const qsizetype loaded = jar.cookies().size();
    jar.save();
    // What was kept is written so that the next start reads all of it.
    rest::PersistentCookieJar reread(folder.path());
    fuzz::require(reread.cookies().size() == loaded, "the saved jar reads back whole");
    return 0;
}
