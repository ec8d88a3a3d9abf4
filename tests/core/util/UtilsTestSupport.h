#pragma once

#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "platform/store/ManagedObject.h"
#include "platform/store/Model.h"

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <QVariantMap>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QColor& color, std::ostream* os)
{
    *os << "rgba(" << color.redF() << ", " << color.greenF() << ", " << color.blueF() << ", "
        << color.alphaF() << ")";
}

inline void PrintTo(const QDateTime& date, std::ostream* os)
{
    *os << date.toString(Qt::ISODateWithMs).toStdString();
}

namespace qv::test {

// A small store holding items with the attributes the utilities read, their attachments,
// tags and project.
class UtilityStore {
public:
    UtilityStore() : m_model(makeModel()), m_context(*m_model, m_scheduler) {}

    store::Context& context() { return m_context; }

    store::ManagedObject* item(const QVariantMap& values = {})
    {
        store::ManagedObject* object = m_context.insert(QStringLiteral("Item"));
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            object->setValue(it.key(), it.value());
        return object;
    }
    store::ManagedObject* file(store::ManagedObject* owner)
    {
        store::ManagedObject* object = m_context.insert(QStringLiteral("File"));
        object->setToOne(QStringLiteral("item"), owner);
        return object;
    }
    store::ManagedObject* tag(const QString& name)
    {
        store::ManagedObject* object = m_context.insert(QStringLiteral("Tag"));
        object->setValue(QStringLiteral("name"), name);
        return object;
    }
    store::ManagedObject* list(const QString& name, qint64 id = 0)
    {
        store::ManagedObject* object = m_context.insert(QStringLiteral("List"));
        object->setValue(QStringLiteral("name"), name);
        if (id != 0)
            object->setValue(QStringLiteral("id_"), id);
        return object;
    }

private:
    static std::unique_ptr<store::Model> makeModel()
    {
        using store::AttributeType;
        auto model = std::make_unique<store::Model>();
        store::EntityDescription item(QStringLiteral("Item"));
        for (const char* name :
             {"name", "descriptionText", "ownerUsername", "creatorUsername", "completedByUsername"})
            item.attribute(QString::fromLatin1(name), AttributeType::String);
        for (const char* name : {"dueDate", "startDate", "creationDate", "completionDate"})
            item.attribute(QString::fromLatin1(name), AttributeType::Date);
        for (const char* name : {"index", "completionPercentage", "serverID", "id_", "lastModifiedTimestamp"})
            item.attribute(QString::fromLatin1(name), AttributeType::Integer);
        item.attribute(QStringLiteral("allDay"), AttributeType::Boolean);
        item.toMany(QStringLiteral("files"), QStringLiteral("File"), QStringLiteral("item"),
                    store::DeleteRule::Cascade);
        item.toMany(QStringLiteral("tags"), QStringLiteral("Tag"), QStringLiteral("items"));
        item.toOne(QStringLiteral("list"), QStringLiteral("List"), QStringLiteral("items"));
        model->addEntity(std::move(item));

        store::EntityDescription file(QStringLiteral("File"));
        file.attribute(QStringLiteral("name"), AttributeType::String);
        file.toOne(QStringLiteral("item"), QStringLiteral("Item"), QStringLiteral("files"));
        model->addEntity(std::move(file));

        store::EntityDescription tag(QStringLiteral("Tag"));
        tag.attribute(QStringLiteral("name"), AttributeType::String);
        tag.toMany(QStringLiteral("items"), QStringLiteral("Item"), QStringLiteral("tags"));
        model->addEntity(std::move(tag));

        store::EntityDescription list(QStringLiteral("List"));
        list.attribute(QStringLiteral("name"), AttributeType::String);
        list.attribute(QStringLiteral("id_"), AttributeType::Integer);
        list.toMany(QStringLiteral("items"), QStringLiteral("Item"), QStringLiteral("list"),
                    store::DeleteRule::Cascade);
        model->addEntity(std::move(list));
        return model;
    }

    std::unique_ptr<store::Model> m_model;
    ManualScheduler m_scheduler;
    store::Context m_context;
};

inline QDateTime utc(int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s, ms), QTimeZone::utc());
}

} // namespace qv::test
