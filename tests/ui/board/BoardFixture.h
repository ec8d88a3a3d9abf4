#pragma once

#include "app/TODOItem.h"
#include "app/TODOList.h"
#include "app/TodoModel.h"
#include "platform/Clock.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"

#include <QStringList>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace qv::test {

// A scratch store with items to arrange.
class BoardFixture : public ::testing::Test {
protected:
    FakeClock clock;
    ManualScheduler scheduler{&clock};
    store::Context context{TodoModel::shared(), scheduler};

    TODOItem* item(const QString& name, qint64 index = 0, qint64 quadrant = 0, qint64 state = 0)
    {
        auto* it = context.insert<TODOItem>(TODOItem::staticEntityName());
        it->setName(name);
        it->setIndex(index);
        it->setQuadrant(quadrant);
        it->setState(state);
        return it;
    }

    TODOList* project(const QString& name)
    {
        auto* list = context.insert<TODOList>(TODOList::staticEntityName());
        list->setName(name);
        return list;
    }

    static std::vector<store::ManagedObject*> objects(std::initializer_list<TODOItem*> items)
    {
        return std::vector<store::ManagedObject*>(items.begin(), items.end());
    }

    static QStringList names(const std::vector<store::ManagedObject*>& objects)
    {
        QStringList out;
        for (const store::ManagedObject* object : objects)
            out << object->value(QStringLiteral("name")).toString();
        return out;
    }

    static QStringList indexes(const std::vector<store::ManagedObject*>& objects)
    {
        QStringList out;
        for (const store::ManagedObject* object : objects)
            out << QString::number(object->value(QStringLiteral("index")).toLongLong());
        return out;
    }
};

} // namespace qv::test
