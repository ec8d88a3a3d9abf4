#include "platform/Paths.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace qv;

namespace {

// Points the system temporary folder at a fresh folder for its lifetime.
class TempRoot {
public:
    TempRoot()
    {
        if (qEnvironmentVariableIsSet("TMPDIR"))
            m_saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_dir.path()));
    }
    ~TempRoot()
    {
        if (m_saved)
            qputenv("TMPDIR", *m_saved);
        else
            qunsetenv("TMPDIR");
    }
    QString expected() const { return m_dir.path() + QStringLiteral("/Quadrivo-%1").arg(::geteuid()); }

private:
    QTemporaryDir m_dir;
    std::optional<QByteArray> m_saved;
};

mode_t modeOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

void expectRefused(const QString& what)
{
    QString error;
    EXPECT_TRUE(Paths::temporaryBase(&error).isEmpty()) << qPrintable(what);
    EXPECT_FALSE(error.isEmpty()) << qPrintable(what);
}

} // namespace

TEST(PathsFolders, GivenAFreshHomeThenSupportAndCacheFoldersAreCreatedUnlessTheyCannotBe)
{
    test::TempHome home;
    const QString support = Paths::applicationSupport();
    EXPECT_EQ(support, home.dataHome() + "/Velmora/Quadrivo/");
    EXPECT_TRUE(QFileInfo(support).isDir());
    const QString caches = Paths::caches();
    EXPECT_EQ(caches, home.cacheHome() + "/Quadrivo");
    EXPECT_TRUE(QFileInfo(caches).isDir());

    const QString blocker = home.root() + "/blocker";
    ASSERT_TRUE(test::writeFile(blocker));
    qputenv("XDG_DATA_HOME", QFile::encodeName(blocker + "/data"));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(blocker + "/cache"));
    EXPECT_TRUE(Paths::applicationSupport().isEmpty());
    EXPECT_TRUE(Paths::caches().isEmpty());
}

TEST(PathsTemporaryBase, GivenNoFolderOrOneOthersCanReadThenItIsMadePrivateWhateverTheUmask)
{
    TempRoot root;
    // A umask that takes the owner's own write bit away.
    const mode_t previous = ::umask(0277);
    QString error;
    const QString path = Paths::temporaryBase(&error);
    ::umask(previous);
    EXPECT_EQ(path, root.expected()) << qPrintable(error);
    EXPECT_EQ(modeOf(path), mode_t(0700));
    EXPECT_EQ(Paths::temporaryBase(), path);

    // Our own folder that others can read is used and made private.
    ::chmod(QFile::encodeName(root.expected()).constData(), 0755);
    EXPECT_EQ(Paths::temporaryBase(), root.expected());
    EXPECT_EQ(modeOf(root.expected()), mode_t(0700));
}

TEST(PathsTemporaryBase, GivenAPlantedOrUnsafeEntryThenItIsRefused)
{
    {
        TempRoot root;
        QTemporaryDir target;
        ::chmod(QFile::encodeName(target.path()).constData(), 0700);
        ASSERT_TRUE(QFile::link(target.path(), root.expected()));
        expectRefused("symlink");
    }
    {
        TempRoot root;
        ASSERT_TRUE(test::writeFile(root.expected()));
        expectRefused("regular file");
    }
    for (const mode_t mode : {mode_t(0777), mode_t(0720), mode_t(0702)}) {
        TempRoot root;
        ASSERT_TRUE(QDir().mkpath(root.expected()));
        ::chmod(QFile::encodeName(root.expected()).constData(), mode);
        expectRefused(QString::number(mode, 8));
    }
}

TEST(PathsTemporaryBase, GivenAFolderOwnedBySomeoneElseThenItIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "changing a folder's owner needs root";
    TempRoot root;
    ASSERT_TRUE(QDir().mkpath(root.expected()));
    const QByteArray native = QFile::encodeName(root.expected());
    ::chmod(native.constData(), 0700);
    ASSERT_EQ(::chown(native.constData(), 4242, 4242), 0);
    expectRefused("foreign owner");
}
