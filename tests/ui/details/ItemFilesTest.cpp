#include "core/document/StoreFiles.h"
#include "core/model/ItemFile.h"
#include "platform/Paths.h"
#include "tests/support/FileFixture.h"
#include "ui/details/ItemFilesController.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>

#include <sys/stat.h>

namespace qv::test {
namespace {

class ItemFiles : public FileFixture {
protected:
    ItemFiles() : m_savedTemp(qgetenv("TMPDIR"))
    {
        // A temporary folder of this test's own, so that what it leaves behind is seen.
        QDir().mkpath(home.root() + QStringLiteral("/tmp"));
        qputenv("TMPDIR", QFile::encodeName(home.root() + QStringLiteral("/tmp")));
        openWithFiles();
        controller = std::make_unique<ItemFilesController>(
            device->services, *files, server.baseUrl().toString(),
            [this](const QString& path) { opened << path; }, [this](const QString& text) { copied = text; });
        item = syncedItem();
        controller->setItem(item);
    }
    ~ItemFiles() override
    {
        m_elsewhere.reset();
        controller.reset();
        files.reset();
        qputenv("TMPDIR", m_savedTemp);
    }
    // The account's other device, synced, with its own file manager and, as on a computer of its
    // own, its own temporary folder; what it does is sent before this returns.
    void elsewhere(const std::function<void(FileManager&, TODOItem* there)>& act)
    {
        const QByteArray ours = qgetenv("TMPDIR");
        const QString theirs = home.root() + QStringLiteral("/other-tmp");
        QDir().mkpath(theirs);
        qputenv("TMPDIR", QFile::encodeName(theirs));
        if (!m_elsewhere) {
            start(addOtherDevice());
            m_elsewhere = std::make_unique<FileManager>(other->sync(), &profile);
        }
        act(*m_elsewhere, other->itemWithServerID(item->serverID()));
        EXPECT_TRUE(waitUntil([&] { return m_elsewhere->pendingRequestCount() == 0; }));
        settle();
        qputenv("TMPDIR", ours);
    }
    // This device's next item poll.
    void poll() { tick(10'000); }
    QStringList names() const
    {
        QStringList list;
        for (const auto& entry : controller->entries())
            list << entry.name;
        return list;
    }
    QStringList questions() const
    {
        QStringList list;
        for (const auto& shown : device->alerts.shown())
            list << shown.message;
        return list;
    }
    int row(const QString& name) const { return int(names().indexOf(name)); }

    std::unique_ptr<ItemFilesController> controller;
    TODOItem* item = nullptr;
    QStringList opened;
    QString copied;

private:
    QByteArray m_savedTemp;
    std::unique_ptr<FileManager> m_elsewhere;
};

TEST_F(ItemFiles, GivenUploadsAndDrops_WhenNamesClashOrFoldersCome_ThenTheUserIsAsked)
{
    controller->uploadFiles({localFile("c.txt"), localFile("a.txt", "old")});
    finish();
    EXPECT_EQ(names(), QStringList({"a.txt", "c.txt"}));

    // A folder is refused with its own alert; a clashing name asks, "Cancel" leaves it out.
    QDir().mkpath(home.root() + QStringLiteral("/files/folder"));
    device->alerts.queueAnswer(false);
    controller->dropFiles(
        {home.root() + QStringLiteral("/files/folder"), localFile("a.txt", "new"), localFile("b.txt")});
    finish();
    EXPECT_EQ(questions(), QStringList({"Dragging a folder?", "Do you want to overwrite the file 'a.txt'?"}));
    EXPECT_EQ(device->alerts.shown().first().informative,
              "Please, drag the files inside the folder instead of the folder.");
    EXPECT_EQ(names(), QStringList({"a.txt", "b.txt", "c.txt"}));

    device->alerts.clear();
    device->alerts.queueAnswer(true);
    controller->uploadFiles({localFile("a.txt", "new")});
    finish();
    EXPECT_EQ(questions(), QStringList({"Do you want to overwrite the file 'a.txt'?"}));
    EXPECT_EQ(server.fileCount(), 3);
    EXPECT_EQ(server.fileContent(controller->entries()[0].idd), "new");
}

TEST_F(ItemFiles, GivenNoConnection_WhenFilesArePicked_ThenTheyWaitWrittenDownAndGoOnceOnline)
{
    controller->uploadFiles({localFile("a.txt", "old")});
    finish();
    server.failNext(QStringLiteral("/api/v1/rest_config/"), 503);
    tick(QVRestManager::kKeepAliveIntervalMs);
    ASSERT_FALSE(files->isOnline());

    device->alerts.clear();
    device->alerts.queueAnswer(true);
    controller->uploadFiles({localFile("a.txt", "new"), localFile("b.txt", "bee")});
    EXPECT_EQ(questions(), QStringList({"Do you want to overwrite the file 'a.txt'?", "Problem with file"}));
    EXPECT_EQ(device->alerts.shown().last().informative,
              "You are offline at this moment. The file will be uploaded when the app is online.");
    EXPECT_EQ(device->preferences.value(FileManager::kUploadsInFlight).toMap().size(), 2);

    tick(QVRestManager::kKeepAliveIntervalMs);
    ASSERT_TRUE(files->isOnline());
    tick(FileManager::kProcessIntervalMs);
    finish();
    EXPECT_EQ(names(), QStringList({"a.txt", "b.txt"}));
    ASSERT_EQ(server.fileCount(), 2);
    EXPECT_EQ(server.fileContent(controller->entries()[0].idd), "new");
    EXPECT_EQ(server.fileContent(controller->entries()[1].idd), "bee");
    EXPECT_FALSE(device->preferences.hasUserValue(FileManager::kUploadsInFlight));
}

TEST_F(ItemFiles, GivenAnUploadWaitingOffline_WhenItsFileIsDeletedMeanwhile_ThenTheUserIsToldOnceOnline)
{
    server.failNext(QStringLiteral("/api/v1/rest_config/"), 503);
    tick(QVRestManager::kKeepAliveIntervalMs);
    ASSERT_FALSE(files->isOnline());
    const QString path = localFile("draft.txt", "soon gone");
    controller->uploadFiles({path});
    ASSERT_TRUE(QFile::remove(path));
    device->alerts.clear();

    tick(QVRestManager::kKeepAliveIntervalMs + FileManager::kProcessIntervalMs);
    finish();
    EXPECT_EQ(questions(), QStringList{"Problem with file"});
    EXPECT_EQ(device->alerts.shown().first().informative, "File 'draft.txt' is not readable");
    EXPECT_FALSE(device->preferences.hasUserValue(FileManager::kUploadsInFlight));
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/file/")), 0);
}

TEST_F(ItemFiles, GivenSelections_WhenDeleting_ThenTheQuestionNamesTheFirstAndCountsTheOthers)
{
    controller->uploadFiles({localFile("a.txt"), localFile("b.txt"), localFile("c.txt")});
    finish();
    struct Case {
        std::vector<int> rows;
        bool yes;
        QString question;
        QStringList left;
    } cases[] = {
        {{0, 1, 2},
         false,
         "Are you sure you want to delete the file 'a.txt' and 2 others?",
         {"a.txt", "b.txt", "c.txt"}},
        {{1}, true, "Are you sure you want to delete the file 'b.txt'", {"a.txt", "c.txt"}},
        {{0, 1}, true, "Are you sure you want to delete the file 'a.txt' and 1 others?", {}},
    };
    for (const Case& c : cases) {
        device->alerts.clear();
        device->alerts.queueAnswer(c.yes);
        controller->deleteFiles(c.rows);
        finish();
        EXPECT_EQ(questions(), QStringList{c.question});
        EXPECT_EQ(device->alerts.shown().first().informative, "Deleted files cannot be recovered.");
        EXPECT_EQ(names(), c.left);
    }
}

TEST_F(ItemFiles, GivenDownloadedAttachment_WhenOpenedAgain_ThenTheCachedCopyOpensWithoutRequest)
{
    controller->uploadFiles({localFile("doc.txt", "one")});
    finish();
    controller->openFile(0);
    finish();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(readFile(opened.first()), "one");
    EXPECT_TRUE(opened.first().startsWith(Paths::temporaryBase()));

    const int downloads = count("GET", QStringLiteral("/api/v1/file/"));
    controller->openFile(0);
    finish();
    EXPECT_EQ(opened.size(), 2);
    EXPECT_EQ(count("GET", QStringLiteral("/api/v1/file/")), downloads);

    // Replaced from here: the old copy is not opened again.
    device->alerts.queueAnswer(true);
    controller->uploadFiles({localFile("doc.txt", "two")});
    finish();
    controller->openFile(0);
    finish();
    EXPECT_EQ(count("GET", QStringLiteral("/api/v1/file/")), downloads + 1);
    EXPECT_EQ(readFile(opened.last()), "two");
}

TEST_F(ItemFiles, GivenAttachmentsWhoseNamesCleanUpAlike_WhenOpened_ThenEachOpensItsOwnFreshCopy)
{
    controller->uploadFiles({localFile("one.txt", "first"), localFile("two.txt", "second")});
    finish();
    // As the server may name one of them: a path that cleans up to the other's name.
    ItemFile* renamed = item->files()[0]->filename() == "two.txt" ? item->files()[0] : item->files()[1];
    renamed->setFilename(QStringLiteral("../../one.txt"));
    controller->reloadData();
    controller->openFile(row("one.txt"));
    finish();
    controller->openFile(row("../../one.txt"));
    finish();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(readFile(opened[0]), "first");
    EXPECT_EQ(readFile(opened[1]), "second");
    EXPECT_EQ(QFileInfo(opened[1]).fileName(), "one.txt");

    // Replaced elsewhere: the poll brings the server's newer stamp, and the copy is fetched anew.
    const int downloads = count("GET", QStringLiteral("/api/v1/file/"));
    renamed->setTimestamp(renamed->timestamp() + 60);
    controller->openFile(row("../../one.txt"));
    finish();
    EXPECT_EQ(count("GET", QStringLiteral("/api/v1/file/")), downloads + 1);
    ASSERT_EQ(opened.size(), 3);
    EXPECT_NE(opened[2], opened[1]);
    EXPECT_FALSE(QFileInfo::exists(opened[1]));
}

TEST_F(ItemFiles,
       GivenOpenedCopies_WhenAnotherDeviceReplacesTheAttachment_ThenOnlyUnchangedOnesGoOnceTheNewIsIn)
{
    controller->uploadFiles({localFile("doc.txt", "one")});
    finish();
    controller->openFile(0);
    finish();
    ASSERT_EQ(opened.size(), 1);
    const QString edited = opened[0];
    ASSERT_TRUE(writeFile(edited, "one, with my notes"));
    const qint64 idd = controller->entries()[0].idd;
    const auto replaceElsewhere = [&](const QByteArray& bytes) {
        elsewhere([&](FileManager& theirFiles, TODOItem* there) {
            ItemFile* theirs = theirFiles.findFileWithID(idd); // as the other device holds it
            theirs->setItem(there);
            EXPECT_TRUE(theirFiles.uploadFileAt(localFile("doc.txt", bytes), theirs, false));
        });
        poll();
    };
    const QString download = QStringLiteral("/api/v1/file/%1/file/").arg(idd);

    // The newer content cannot be fetched, then is: the copy with the user's notes stays.
    replaceElsewhere("two");
    server.failNext(download, 500);
    controller->openFile(0);
    finish();
    EXPECT_EQ(opened.size(), 1);
    controller->openFile(0);
    finish();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(readFile(opened[1]), "two");
    EXPECT_EQ(readFile(edited), "one, with my notes");

    // A copy left as it came goes, once the newer one is in.
    replaceElsewhere("three");
    server.holdNext(download);
    controller->openFile(0);
    ASSERT_TRUE(waitUntil([&] { return server.heldReplyCount() == 1; }));
    EXPECT_EQ(readFile(opened[1]), "two");
    server.releaseHeldReplies();
    finish();
    ASSERT_EQ(opened.size(), 3);
    EXPECT_EQ(readFile(opened[2]), "three");
    EXPECT_FALSE(QFileInfo::exists(opened[1]));
    EXPECT_EQ(readFile(edited), "one, with my notes");
}

TEST_F(ItemFiles, GivenTheItemShown_WhenAnotherDeviceAddsAndDeletesAttachments_ThenTheListFollowsTheSync)
{
    controller->uploadFiles({localFile("a.txt"), localFile("b.txt")});
    finish();
    const qint64 gone = controller->entries()[0].idd;
    int rebuilt = 0;
    QObject::connect(controller.get(), &ItemFilesController::entriesChanged, [&] { ++rebuilt; });

    elsewhere([&](FileManager& theirFiles, TODOItem* there) {
        EXPECT_TRUE(theirFiles.uploadFileAt(localFile("c.txt"), there, false));
        EXPECT_TRUE(theirFiles.deleteItemFile(theirFiles.findFileWithID(gone)));
    });
    poll();
    EXPECT_EQ(names(), QStringList({"b.txt", "c.txt"}));

    // Other changes of the item leave the list, and so the grid's selection, alone.
    rebuilt = 0;
    item->setName(QStringLiteral("Renamed here"));
    poll();
    EXPECT_EQ(rebuilt, 0);
}

TEST_F(ItemFiles, GivenScreenCaptureAndDroppedAddresses_WhenUploaded_ThenNothingIsLeftInTemporaryFolders)
{
    const auto found = [](const QString& base, QDirIterator::IteratorFlags flags) {
        QStringList paths;
        QDirIterator it(base, {"Screen Shot*", "image.png"}, QDir::Files, flags);
        while (it.hasNext())
            paths << it.next();
        return paths;
    };
    QImage shot(8, 8, QImage::Format_RGB32);
    shot.fill(Qt::blue);
    server.holdNext(QStringLiteral("/api/v1/file/"));
    controller->uploadCapture(shot);
    ASSERT_TRUE(waitUntil([&] { return server.heldReplyCount() == 1; }));
    // While it is sent, the shot lies in our own folder only.
    const QStringList written = found(Paths::temporaryBase(), QDirIterator::Subdirectories);
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(QFile::permissions(written.first()) & (QFile::ReadGroup | QFile::ReadOther), 0);
    EXPECT_TRUE(found(QDir::tempPath(), QDirIterator::NoIteratorFlags).isEmpty());
    server.releaseHeldReplies();
    finish();
    ASSERT_EQ(names().size(), 1);
    EXPECT_TRUE(names().first().startsWith("Screen Shot ")) << names().first().toStdString();
    EXPECT_EQ(QImage::fromData(server.fileContent(controller->entries()[0].idd)).size(), QSize(8, 8));
    const auto leftovers = [&] {
        return found(QDir::tempPath(), QDirIterator::Subdirectories) +
               found(Paths::temporaryBase(), QDirIterator::Subdirectories);
    };
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(' ').toStdString();

    controller->dropText(server.baseUrl().toString() + QStringLiteral("/web/page.txt"));
    ASSERT_TRUE(waitUntil([&] { return !device->alerts.shown().isEmpty(); }));
    EXPECT_EQ(questions(), QStringList{"Problem with the URL"});
    controller->dropText(server.baseUrl().toString() + QStringLiteral("/web/image.png"));
    ASSERT_TRUE(waitUntil([&] { return names().size() == 2; }));
    finish();
    EXPECT_TRUE(names().contains("image.png"));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(' ').toStdString();
}

TEST_F(ItemFiles, GivenAttachments_WhenLinksCopiedOrRenamed_ThenTextsFollowTheServer)
{
    controller->uploadFiles({localFile("a.txt")});
    finish();
    const qint64 idd = controller->entries()[0].idd;
    QString changes;
    QObject::connect(controller.get(), &ItemFilesController::statusMessage,
                     [&](const QString& text) { changes = text; });
    controller->copyPrivateLink(0);
    EXPECT_EQ(copied, server.baseUrl().toString() + QStringLiteral("/api/v1/file/%1/file/").arg(idd));
    controller->copyLink(QStringLiteral("//files.example/x"));
    EXPECT_EQ(changes, "Copied: //files.example/x");
    item->files().front()->setUrl(QStringLiteral("//files.example/") + QString(60, 'y'));
    controller->reloadData();
    controller->copyPublicLink(0);
    EXPECT_TRUE(copied.startsWith("https://files.example/"));
    EXPECT_EQ(changes, QStringLiteral("Copied: https://files.example/") + QString(30, 'y') + " [...]");

    device->alerts.queueAnswer(true);
    controller->renameFile(0, QStringLiteral("b.txt"));
    settle();
    finish();
    EXPECT_EQ(questions(), QStringList{"File renaming"});
    EXPECT_EQ(device->alerts.shown().first().informative,
              "Are you sure you want to rename the file 'a.txt' to 'b.txt'");
    EXPECT_EQ(server.file(idd).value("filename").toString(), "b.txt");
    EXPECT_EQ(controller->entries()[0].name, "b.txt");
}

TEST_F(ItemFiles, GivenAFolderTheUserPicked_WhenDownloaded_ThenTheFileFollowsTheUmaskAndTheCacheStaysOurs)
{
    controller->uploadFiles({localFile("report.txt", "numbers")});
    finish();
    const QString picked = home.root() + QStringLiteral("/Downloads");
    QDir().mkpath(picked);
    const mode_t saved = ::umask(022);
    controller->downloadFiles({0}, picked);
    finish();
    ::umask(saved);
    const QString path = picked + QStringLiteral("/report.txt");
    EXPECT_EQ(readFile(path), "numbers");
    EXPECT_EQ(QFile::permissions(path) &
                  ~(QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup |
                  QFile::ReadOther);

    // The copy opened from the cache is for us alone.
    controller->openFile(0);
    finish();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(QFile::permissions(opened.first()) & (QFile::ReadGroup | QFile::ReadOther), 0);
}

} // namespace
} // namespace qv::test
