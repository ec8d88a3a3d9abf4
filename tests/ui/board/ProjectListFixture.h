#pragma once

#include "core/document/MyDocument.h"
#include "core/model/ListTag.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TagManager.h"
#include "platform/store/Context.h"
#include "tests/support/DocumentFakes.h"
#include "tests/support/TestData.h"
#include "ui/board/ProjectListController.h"

#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>

namespace qv::test {

// Records the editing lock and the sends the panels ask for.
class RecordingSyncEngine : public StubSyncEngine {
public:
    QStringList lockCalls; // "+component" / "-component"
    QSet<QString> holders;

    bool uiIsEditing() const override { return !holders.isEmpty(); }
    void setEditing(bool on, const QString& component) override
    {
        lockCalls << (on ? QStringLiteral("+") : QStringLiteral("-")) + component;
        if (on)
            holders.insert(component);
        else
            holders.remove(component);
    }
};

// What the project list asks of the window, recorded.
class RecordingHost : public ProjectListHost {
public:
    bool filteringItems = false;
    bool refuseFirstResponder = false;
    QString search = QStringLiteral("");
    QStringList messages;
    int deselects = 0;
    int firstQuadrantRequests = 0;
    std::optional<bool> showingArchived;

    void deselectItems() override { ++deselects; }
    bool isFilteringItems() const override { return filteringItems; }
    QString searchString() const override { return search; }
    void setIsShowingArchived(bool showing) override { showingArchived = showing; }
    void setNoQuadrantsMessageLabel(const QString& text) override { messages << text; }
    void enableFirstQuadrantAndSelectRow(int) override { ++firstQuadrantRequests; }
    bool makeWindowFirstResponder() override { return !refuseFirstResponder; }
};

// A document over its own store in a private home, the window's project list, and hand-driven
// time. Projects and items made here are known to the list once settle() has run.
class ProjectListFixture : public ::testing::Test, protected FakeServices<> {
protected:
    void SetUp() override
    {
        QString error;
        document = openDocument(&error);
        ASSERT_NE(document, nullptr) << error.toStdString();
        document->setSyncEngine(&sync);
        document->setWindow(&window);
    }

    void TearDown() override
    {
        list.reset();
        document.reset();
    }

    // The list over what the store holds now.
    ProjectListController& makeList()
    {
        settle();
        list = std::make_unique<ProjectListController>(*document, services);
        list->setHost(&host);
        window.list = list.get();
        return *list;
    }

    store::Context& context() { return document->context(); }
    void settle() { scheduler.runPosted(); }

    // Projects in this order on the list: indexes 1000 apart, the last at 1000.
    template <std::size_t N> std::array<TODOList*, N> listed(const char* const (&names)[N])
    {
        std::array<TODOList*, N> projects{};
        for (std::size_t i = 0; i < N; ++i)
            projects[i] = ProjectBuilder(context(), names[i]).atIndex(qint64(1000 * (N - i)));
        return projects;
    }

    QStringList rowNames() const
    {
        QStringList names;
        for (int row = 0; row < list->rowCount(); ++row)
            names << list->getProjectAtRow(row)->name();
        return names;
    }

    QString selectedName() const
    {
        const std::vector<store::ManagedObject*> selected =
            list->displayProjectsArrayController().selectedObjects();
        return selected.size() == 1 ? selected.front()->stringValue(QStringLiteral("name")) : QString();
    }

    RecordingSyncEngine sync;
    RecordingWindow window;
    RecordingHost host;
    std::unique_ptr<MyDocument> document;
    std::unique_ptr<ProjectListController> list;
};

} // namespace qv::test
