#pragma once

#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "platform/store/UndoManager.h"
#include "tests/support/TestEnvironment.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <memory>

namespace qv::store::test {

using qv::test::readFile;
using qv::test::writeFile;

// A task with typed accessors, as the application's entities have them.
class Task : public ManagedObject {
public:
    QString name() const { return stringValue("name"); }
    void setName(const QString& name) { setValue("name", name); }
    ManagedObject* project() const { return toOne("project"); }
    void setProject(ManagedObject* project) { setToOne("project", project); }

    int fetchedCount = 0;
    int insertedCount = 0;

protected:
    void awakeFromFetch() override
    {
        ++fetchedCount;
        setValue("starred", name() == QLatin1String("star")); // a cache, not a change
    }
    void awakeFromInsert() override { ++insertedCount; }
};

// Projects hold tasks (cascade), tasks and projects carry tags (many-to-many), a task may
// have one note (one-to-one, cascade). "index" and "state" exercise quoting.
inline Model testModel(int version = 1)
{
    Model model(version);
    model.addEntity(EntityDescription("Project"))
        .indexedAttribute("id_", AttributeType::Integer)
        .attribute("name", AttributeType::String)
        .attribute("index", AttributeType::Integer)
        .attribute("state", AttributeType::Integer, 0)
        .attribute("budget", AttributeType::Double)
        .attribute("archived", AttributeType::Boolean)
        .attribute("created", AttributeType::Date)
        .attribute("icon", AttributeType::Binary)
        .transientAttribute("collaborators", AttributeType::Binary)
        .toMany("tasks", "Task", "project", DeleteRule::Cascade)
        .toMany("tags", "Tag", "projects");
    auto& task = model.addEntity(EntityDescription("Task", [] { return std::make_unique<Task>(); }))
                     .indexedAttribute("serverID", AttributeType::Integer)
                     .attribute("name", AttributeType::String)
                     .attribute("index", AttributeType::Integer)
                     .attribute("state", AttributeType::Integer, 0)
                     .attribute("dueDate", AttributeType::Date)
                     .attribute("done", AttributeType::Boolean, false)
                     .attribute("effort", AttributeType::Double)
                     .transientAttribute("starred", AttributeType::Boolean)
                     .toOne("project", "Project", "tasks")
                     .toMany("tags", "Tag", "tasks")
                     .toOne("note", "Note", "task", DeleteRule::Cascade);
    if (version >= 2)
        task.attribute("priority", AttributeType::Integer, 3);
    model.addEntity(EntityDescription("Tag"))
        .indexedAttribute("name", AttributeType::String)
        .toMany("tasks", "Task", "tags")
        .toMany("projects", "Project", "tags");
    model.addEntity(EntityDescription("Note"))
        .attribute("text", AttributeType::String)
        .toOne("task", "Task", "note");
    if (version >= 2)
        model.addEntity(EntityDescription("Milestone")).attribute("title", AttributeType::String);
    return model;
}

inline QDateTime utcMs(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

// A plain SQLite connection beside the store's own, for looking into (or locking) the file.
class RawDb {
public:
    explicit RawDb(const QString& path, bool readOnly = false)
    {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                        readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
    }
    ~RawDb() { sqlite3_close(m_db); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    bool exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    // First column of the first row as text ("" when none).
    QString text(const char* sql)
    {
        sqlite3_stmt* stmt = nullptr;
        QString result;
        if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        return result;
    }
    qint64 number(const char* sql) { return text(sql).toLongLong(); }

private:
    sqlite3* m_db = nullptr;
};

class StoreFixture : public ::testing::Test {
protected:
    QString storePath() const { return home.root() + QStringLiteral("/store.sqlite"); }

    std::unique_ptr<Context> openStore(const Model& m)
    {
        StoreError error;
        auto context = Context::open(storePath(), m, scheduler, &error);
        EXPECT_TRUE(context) << error.message.toStdString();
        return context;
    }
    std::unique_ptr<Context> openStore() { return openStore(model); }

    qv::test::TempHome home;
    ManualScheduler scheduler;
    Model model = testModel();
};

} // namespace qv::store::test
