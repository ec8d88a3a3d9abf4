#include "tests/ui/board/BoardDocumentFixture.h"

#include "core/model/ItemFile.h"
#include "platform/Log.h"
#include "platform/store/UndoManager.h"
#include "ui/board/ItemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace qv::test {
namespace {

class ItemClipboardTest : public BoardDocumentFixture {
protected:
    void SetUp() override
    {
        addLaunchProject(1000);
        x = ItemBuilder("x").inQuadrant(1).atIndex(500).in(project);
        y = ItemBuilder("y").inQuadrant(1).atIndex(400).in(project);
        other = ProjectBuilder(context(), "Other").atIndex(500);
        board = std::make_unique<Board>(*document, services);
        board->updateFilters();
        board->updateSortDescriptors();
        board->showProject(project);
        QGuiApplication::clipboard()->clear();
        clipboard = std::make_unique<ItemClipboard>(*board);
        // From here on changes are the user's: marked for upload and undoable one by one.
        document->enableDidChangeContextNotifications();
        settle();
        for (TODOItem* item : {a, b, c, x, y})
            item->setEdited_since(0);
        settle();
        context().undoManager()->removeAllActions();
    }

    void TearDown() override
    {
        clipboard.reset();
        board.reset();
    }

    // The end of a main-loop turn: the changes are announced and become one undo step.
    void settle() { scheduler.runPosted(); }
    void select(int q, const QList<qsizetype>& rows) { board->enableQuadrantAndSelectRows(q, rows, false); }
    QStringList shown(int q) const { return names(board->controller(q).arrangedObjects()); }
    TODOItem* shownAt(int q, qsizetype row) const
    {
        return store::as<TODOItem>(board->controller(q).arrangedObjectAt(row));
    }
    int itemCount() const { return context().count(TODOItem::staticEntityName()); }
    ItemFile* attachFile(TODOItem* item) const
    {
        auto* file = context().insert<ItemFile>(ItemFile::staticEntityName());
        file->setIdd(5);
        item->addFilesObject(file);
        return file;
    }
    TODOList* other = nullptr;
    TODOItem *x = nullptr, *y = nullptr;
    std::unique_ptr<Board> board;
    std::unique_ptr<ItemClipboard> clipboard;
};

// --- Copy

TEST_F(ItemClipboardTest,
       GivenCopiedItems_WhenPastedOnASelectedRow_ThenCopiesAreInsertedThereInOrderAndSelected)
{
    preferences.setValue("kItemFilterState", 0);
    ItemBuilder()
        .completed()
        .withValue("completionPercentage", 100)
        .withServerID(77)
        .taggedWith("home")
        .onto(a);
    ItemFile* file = attachFile(a);
    select(0, {0, 2});
    clipboard->copy();

    select(1, {1});
    EXPECT_TRUE(clipboard->paste());
    EXPECT_EQ(shown(1), QStringList({"x", "a", "c", "y"}));
    EXPECT_EQ(board->controller(1).selectionIndexes(), QList<qsizetype>({1, 2}));
    EXPECT_EQ(shown(0), QStringList({"a", "b", "c"}));
    TODOItem* copyOfA = shownAt(1, 1);
    ASSERT_NE(copyOfA, a);
    EXPECT_EQ(copyOfA->state(), 1);
    EXPECT_EQ(copyOfA->getTagNames(), QStringList{"home"});
    EXPECT_TRUE(copyOfA->files().empty());
    EXPECT_EQ(a->files(), std::vector<ItemFile*>{file});
    EXPECT_TRUE(copyOfA->isNull("serverID"));
    EXPECT_NE(copyOfA->id_(), a->id_());

    // A cut of nothing changes neither the clipboard nor what it holds: still copies.
    select(3, {});
    clipboard->cut();
    select(2, {});
    EXPECT_TRUE(clipboard->paste());
    EXPECT_EQ(shown(2), QStringList({"a", "c"}));
    EXPECT_EQ(a->quadrant(), 0);
    EXPECT_EQ(itemCount(), 9);
}

// --- Cut

TEST_F(ItemClipboardTest, GivenACut_WhenPastedIntoItsOwnProject_ThenTheSameItemsMoveThereOpen)
{
    select(0, {0, 1});
    clipboard->cut();
    settle();
    EXPECT_EQ(shown(0), QStringList{"c"});
    EXPECT_EQ(a->state(), 2);
    EXPECT_EQ(a->edited_since(), 0) << "a cut alone is not uploaded";

    select(1, {0});
    EXPECT_TRUE(clipboard->paste());
    settle();
    EXPECT_EQ(shown(1), QStringList({"a", "b", "x", "y"}));
    EXPECT_EQ(shownAt(1, 0), a);
    EXPECT_EQ(itemCount(), 5);
    EXPECT_EQ(a->state(), 0);
    EXPECT_EQ(board->controller(1).selectionIndexes(), QList<qsizetype>({0, 1}));
    EXPECT_EQ(a->edited_since(), 1);
}

TEST_F(ItemClipboardTest,
       GivenACutPastedIntoAnotherProject_WhenDoneAndUndone_ThenTheTrashingFollowsToTheServer)
{
    a->setServerID(77);
    ItemFile* file = attachFile(a);
    settle();
    a->setEdited_since(0);
    settle();
    context().undoManager()->removeAllActions();
    select(0, {0, 1});
    clipboard->cut();
    settle();
    ASSERT_EQ(b->edited_since(), 0);
    board->showProject(other);
    select(2, {});
    EXPECT_TRUE(clipboard->paste());
    settle();
    ASSERT_EQ(shown(2), QStringList({"a", "b"}));
    TODOItem* copy = shownAt(2, 0);
    ASSERT_NE(copy, a);
    EXPECT_EQ(copy->list(), other);
    EXPECT_EQ(copy->copiedFromID(), 77);
    EXPECT_EQ(copy->files(), std::vector<ItemFile*>{file});
    for (TODOItem* original : {a, b}) {
        EXPECT_EQ(original->state(), 2);
        EXPECT_EQ(original->edited_since(), 1) << "the original's trashing must reach the server";
    }

    // Undone: first the paste, then the cut, which is uploaded as the trashing was.
    clipboard->undo();
    settle();
    EXPECT_TRUE(shown(2).isEmpty());
    EXPECT_EQ(b->state(), 2);
    // Uploaded meanwhile.
    document->disableDidChangeContextNotifications();
    b->setEdited_since(0);
    document->enableDidChangeContextNotifications();
    clipboard->undo();
    settle();
    EXPECT_EQ(b->state(), 0);
    EXPECT_EQ(b->edited_since(), 1);
}

// --- Text

TEST_F(ItemClipboardTest, GivenTextOnTheClipboard_WhenPasted_ThenANewItemIsNamedAfterItAndLinksToAddresses)
{
    LogCapture log;
    const struct {
        const char* format;
        const char* text;
        const char* link;
    } cases[] = {
        {"text/plain", "Buy milk", ""},
        {"text/plain", "mailto:ann@example.com", "mailto:ann@example.com"},
        {"text/plain", "https://example.com/a", "https://example.com/a"},
        {"text/plain", "mailto:ann", ""},
        {"text/html", "<b>Sentinel7f3a</b>", ""},
    };
    for (const auto& pasted : cases) {
        const QString text = QString::fromUtf8(pasted.text);
        auto* mime = new QMimeData;
        mime->setData(QString::fromUtf8(pasted.format), text.toUtf8());
        QGuiApplication::clipboard()->setMimeData(mime);
        select(2, {});
        EXPECT_TRUE(clipboard->paste()) << pasted.text;
        const TODOItem* item = store::as<TODOItem>(
            context().lookupFirst(TODOItem::staticEntityName(), QStringLiteral("name"), text));
        ASSERT_TRUE(item && board->controller(2).arrangedIndexOf(item) >= 0) << pasted.text;
        EXPECT_EQ(item->list(), project);
        EXPECT_EQ(item->descriptionText(), text);
        EXPECT_EQ(item->macResourceURL(), QString::fromUtf8(pasted.link)) << pasted.text;
    }
    // Only the kind and the length of what was copied reach the log.
    EXPECT_FALSE(log.lines().join(u'\n').contains(QStringLiteral("Sentinel7f3a")));
    EXPECT_TRUE(log.contains(QStringLiteral("Clipboard text of type text/html: 19 characters")));

    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(clipboard->paste());
    EXPECT_EQ(itemCount(), 10);
}

// --- Links to items deleted since

TEST_F(ItemClipboardTest, GivenItemsDeletedAfterTheyWereCut_WhenPastedOrUndone_ThenOnlyTheOthersAreTouched)
{
    select(0, {0, 1, 2});
    clipboard->cut();
    // Deleted by a sync meanwhile.
    document->disableDidChangeContextNotifications();
    context().deleteObject(b);
    c->setState(3);
    document->enableDidChangeContextNotifications();

    select(1, {});
    EXPECT_TRUE(clipboard->paste());
    EXPECT_EQ(shown(1), QStringList({"x", "y", "a"}));
    settle();
    clipboard->undo();
    clipboard->undo();
    EXPECT_EQ(shown(0), QStringList{"a"});
    EXPECT_EQ(c->state(), 3);
}

// --- Undo after a cut

TEST_F(ItemClipboardTest, GivenACut_WhenUndone_ThenItsItemsStillTrashedComeBackOnceAndEarlierStepsWait)
{
    preferences.setValue("kItemFilterState", 0);
    ItemBuilder().completed().withValue("completionPercentage", 100).onto(a);
    b->setName(QStringLiteral("b renamed"));
    settle();
    select(0, {0, 2});
    clipboard->cut();
    // Another device completed c meanwhile.
    document->disableDidChangeContextNotifications();
    c->setState(1);
    document->enableDidChangeContextNotifications();
    EXPECT_TRUE(clipboard->canUndo());

    clipboard->undo();
    EXPECT_EQ(shown(0), QStringList({"a", "b renamed", "c"}));
    EXPECT_EQ(a->state(), 1);
    EXPECT_EQ(c->state(), 1);
    clipboard->undo();
    EXPECT_EQ(b->name(), QStringLiteral("b"));
}

TEST_F(ItemClipboardTest, GivenAClipboardItemTrashedOnPurpose_WhenAnotherEditIsUndone_ThenItStaysTrashed)
{
    select(0, {0});
    clipboard->copy();
    board->markSelectedItemsAsDeletedInQuadrant(0);
    settle();
    b->setName(QStringLiteral("b renamed"));
    settle();

    clipboard->undo();
    EXPECT_EQ(b->name(), QStringLiteral("b"));
    EXPECT_EQ(a->state(), 2);
}

} // namespace
} // namespace qv::test
