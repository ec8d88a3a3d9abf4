#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace qv::test {

// Points every XDG folder at a fresh temporary home for as long as it lives,
// so no test reads or writes the real user's files or another test's.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    QString root() const { return m_dir.path(); }
    QString configHome() const;
    QString dataHome() const;
    QString cacheHome() const;
    QString runtimeDir() const;

private:
    QTemporaryDir m_dir;
    struct Saved;
    std::unique_ptr<Saved> m_saved;
};

// Sets the process-wide private home once, before the application object exists.
void installProcessHome();

} // namespace qv::test
