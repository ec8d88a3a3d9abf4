#include "ui/web/WebEngineLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcWebLoader, "qv.ui.web", QtInfoMsg)

namespace qv {

namespace {

bool& sandboxTurnedOff()
{
    static bool off = false;
    return off;
}

} // namespace

WebEngineLoader::WebEngineLoader() = default;

WebEngineLoader::~WebEngineLoader() = default;

QStringList WebEngineLoader::modulePaths()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList paths{programDir + QStringLiteral("/" QV_WEB_MODULE_FROM_BINDIR)};
    // Run from a build folder (the program at its top, tests and tools below it): that build's
    // own library. Never a path fixed when building: a package's program runs on machines where
    // that path is anybody's.
    QDir dir(programDir);
    do {
        if (dir.exists(QStringLiteral("CMakeCache.txt"))) {
            paths.append(dir.filePath(QStringLiteral(QV_WEB_MODULE_IN_BUILD)));
            break;
        }
    } while (dir.cdUp());
    return paths;
}

web::Engine* WebEngineLoader::engine()
{
    if (m_engine || m_failed)
        return m_engine.get();
    QStringList errors;
    for (const QString& path : modulePaths()) {
        if (!QFileInfo::exists(path))
            continue;
        QLibrary library(path);
        // Chromium's threads outlive any moment the library could be let go.
        library.setLoadHints(QLibrary::PreventUnloadHint);
        const auto create = reinterpret_cast<web::CreateEngine>(library.resolve(web::kCreateEngine));
        if (!create) {
            errors.append(library.errorString());
            continue;
        }
        m_engine.reset(create(m_setup ? m_setup() : web::EngineSetup()));
        qCInfo(lcWebLoader, "Web engine loaded");
        return m_engine.get();
    }
    m_failed = true;
    qCWarning(lcWebLoader, "No web engine: %s",
              errors.isEmpty() ? "its library is not installed"
                               : qUtf8Printable(errors.join(QStringLiteral("; "))));
    return nullptr;
}

std::unique_ptr<web::Page> WebEngineLoader::createPage(QWidget* parent, web::PageHooks hooks)
{
    web::Engine* loaded = engine();
    return loaded ? loaded->createPage(parent, std::move(hooks)) : nullptr;
}

bool WebEngineLoader::prepareProcess()
{
    if (::geteuid() != 0 || qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        return false;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    sandboxTurnedOff() = true;
    return true;
}

void WebEngineLoader::reportSandbox()
{
    if (std::exchange(sandboxTurnedOff(), false))
        qCWarning(lcWebLoader, "Running as root: the web pages' sandbox is turned off");
}

} // namespace qv
