#pragma once

#include <QByteArray>
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

// A file's bytes; empty when it cannot be read.
QByteArray readFile(const QString& path);
// Writes bytes to path, making its folder first; false when that fails.
bool writeFile(const QString& path, const QByteArray& bytes = {});

// Sets the process-wide private home once, before the application object exists.
void installProcessHome();

} // namespace qv::test
