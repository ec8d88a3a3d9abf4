#pragma once

#include "sync/FileManager.h"
#include "tests/support/FakeAccountProfile.h"
#include "tests/sync/SyncFixture.h"

#include <QDir>
#include <QFile>

namespace qv::test {

// A signed-in device with a file manager, an item the server knows, and files on disk to send.
class FileFixture : public SyncFixture {
protected:
    ~FileFixture() override { files.reset(); }

    void openWithFiles()
    {
        profile.profile = server.userProfile();
        device->open();
        files = std::make_unique<FileManager>(device->sync(), &profile);
    }
    TODOItem* syncedItem()
    {
        TODOItem* item = ItemBuilder("I").madeBy(*device->document, startWithProject());
        tick(5'000);
        EXPECT_TRUE(item->isValidUniID());
        return item;
    }
    QString localFile(const QString& name, const QByteArray& bytes = "x")
    {
        const QString path = home.root() + QStringLiteral("/files/") + name;
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }
    void finish()
    {
        ASSERT_TRUE(waitUntil([&] { return files->pendingRequestCount() == 0; }));
        settle();
    }

    FakeAccountProfile profile;
    std::unique_ptr<FileManager> files;
};

} // namespace qv::test
