#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

namespace qv::test {

namespace {

constexpr std::array<const char*, 5> kVariables = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                                   "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"};

void pointAt(const QString& root)
{
    const QString names[] = {"home", "config", "data", "cache", "runtime"};
    for (std::size_t i = 0; i < kVariables.size(); ++i) {
        const QString path = root + '/' + names[i];
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv(kVariables[i], QFile::encodeName(path));
    }
}

} // namespace

struct TempHome::Saved {
    std::array<std::optional<QByteArray>, kVariables.size()> values;
};

TempHome::TempHome() : m_saved(std::make_unique<Saved>())
{
    for (std::size_t i = 0; i < kVariables.size(); ++i) {
        if (qEnvironmentVariableIsSet(kVariables[i]))
            m_saved->values[i] = qgetenv(kVariables[i]);
    }
    pointAt(m_dir.path());
}

TempHome::~TempHome()
{
    for (std::size_t i = 0; i < kVariables.size(); ++i) {
        if (m_saved->values[i])
            qputenv(kVariables[i], *m_saved->values[i]);
        else
            qunsetenv(kVariables[i]);
    }
}

QString TempHome::configHome() const
{
    return m_dir.path() + "/config";
}
QString TempHome::dataHome() const
{
    return m_dir.path() + "/data";
}
QString TempHome::cacheHome() const
{
    return m_dir.path() + "/cache";
}
QString TempHome::runtimeDir() const
{
    return m_dir.path() + "/runtime";
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

void installProcessHome()
{
    static QTemporaryDir dir(QDir::tempPath() + "/quadrivo-test-XXXXXX");
    pointAt(dir.path());
}

} // namespace qv::test
