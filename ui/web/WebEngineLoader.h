#pragma once

#include "ui/web/WebSurface.h"

#include <QString>

#include <functional>
#include <memory>

namespace qv {

// The web engine, loaded from its library the first time a page is wanted. Until then the
// process holds none of it: no library, no profile, no helper processes.
class WebEngineLoader final {
public:
    WebEngineLoader();
    ~WebEngineLoader();
    WebEngineLoader(const WebEngineLoader&) = delete;
    WebEngineLoader& operator=(const WebEngineLoader&) = delete;

    // What the profile is made with, asked for once when the engine loads. Without it the
    // pages keep nothing.
    void setSetup(std::function<web::EngineSetup()> setup) { m_setup = std::move(setup); }

    // Loads the engine on first call; nullptr (said once in the log) when it cannot be loaded.
    web::Engine* engine();
    bool isLoaded() const { return m_engine != nullptr; }
    // A page in the engine's profile, or nullptr when there is no engine.
    std::unique_ptr<web::Page> createPage(QWidget* parent, web::PageHooks hooks);

    // Where the library is looked for: in the installed program's library folder, then, for a
    // program run from a build folder, in that build; both found from the running executable.
    static QStringList modulePaths();

    // Before the application object: the web engine's sandbox cannot start as root, so it is
    // turned off then. True when it was turned off here.
    static bool prepareProcess();
    // Says once in the log that the sandbox is off, when prepareProcess() turned it off.
    static void reportSandbox();

private:
    std::function<web::EngineSetup()> m_setup;
    std::unique_ptr<web::Engine> m_engine;
    bool m_failed = false;
};

} // namespace qv
