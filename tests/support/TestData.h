#pragma once

#include "core/model/ItemReminder.h"
#include "core/model/ItemTag.h"
#include "core/model/ListTag.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TagManager.h"
#include "platform/store/Context.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <functional>
#include <utility>
#include <vector>

namespace qv::test {

// Test data, built fluently: an item is described first and made where it is placed,
//   TODOItem* a = ItemBuilder("a").inQuadrant(2).completed().taggedWith("x").due(date).in(project);
// and a project is made in a store at once, with the items it holds:
//   TODOList* p = ProjectBuilder(context, "P").atIndex(3000).with(ItemBuilder("a"), ItemBuilder("b"));
// Values are set in the order they are described (a due date before a start date moves as the
// entity's own rules say). Nothing is set that is not described, but for an item's open state.
class ItemBuilder {
public:
    // Open, as every item the program makes starts.
    ItemBuilder() { inState(0); }
    explicit ItemBuilder(const QString& title) : ItemBuilder() { titled(title); }

    ItemBuilder& titled(const QString& title)
    {
        return step([title](TODOItem& item) { item.setName(title); });
    }
    ItemBuilder& inQuadrant(qint64 quadrant) { return withValue("quadrant", quadrant); }
    ItemBuilder& atIndex(qint64 index) { return withValue("index", index); }
    ItemBuilder& inState(qint64 state) { return withValue("state", state); }
    ItemBuilder& completed() { return inState(1); }
    ItemBuilder& trashed() { return inState(2); }
    ItemBuilder& removed() { return inState(3); }
    ItemBuilder& withServerID(qint64 id) { return withValue("serverID", id); }
    ItemBuilder& withId(qint64 id) { return withValue("id_", id); }
    ItemBuilder& edited() { return withValue("edited_since", qint64(1)); }
    ItemBuilder& ownedBy(const QString& username) { return withValue("ownerUsername", username); }
    // A reminder (the item's default one) with these notes.
    ItemBuilder& withReminder(const QString& notes)
    {
        return step([notes](TODOItem& item) { ItemReminder::reminderForItem(&item)->setNotes(notes); });
    }
    ItemBuilder& due(const QDateTime& date)
    {
        return step([date](TODOItem& item) { item.setDueDate(date); });
    }
    ItemBuilder& starting(const QDateTime& date)
    {
        return step([date](TODOItem& item) { item.setStartDate(date); });
    }
    // A tag of the item's own store, made when the store has none of that name.
    ItemBuilder& taggedWith(const QString& tag)
    {
        return step([tag](TODOItem& item) {
            item.addTagsObject(TagManager::getItemTagForName(tag, *item.context()));
        });
    }
    // Any other attribute, as stored.
    ItemBuilder& withValue(const char* attribute, const QVariant& value)
    {
        const QString key = QString::fromLatin1(attribute);
        return step([key, value](TODOItem& item) { item.setValue(key, value); });
    }

    // A new item of the store; one of the project (which joins its items at the end).
    TODOItem* in(store::Context& context) const
    {
        return onto(context.insert<TODOItem>(TODOItem::staticEntityName()));
    }
    TODOItem* in(TODOList* project) const
    {
        auto* item = project->context()->insert<TODOItem>(TODOItem::staticEntityName());
        project->addItem(item);
        return onto(item);
    }
    // An item made as the document makes a new one (identifier, index, dates), then described.
    template <class Document> TODOItem* madeBy(Document& document, TODOList* project) const
    {
        return onto(document.newItemForProject(project));
    }
    TODOItem* onto(TODOItem* item) const
    {
        for (const auto& apply : m_steps)
            apply(*item);
        return item;
    }

private:
    ItemBuilder& step(std::function<void(TODOItem&)> apply)
    {
        m_steps.push_back(std::move(apply));
        return *this;
    }

    std::vector<std::function<void(TODOItem&)>> m_steps;
};

class ProjectBuilder {
public:
    explicit ProjectBuilder(store::Context& context, const QString& name = QString())
        : m_project(context.insert<TODOList>(TODOList::staticEntityName()))
    {
        if (!name.isNull())
            named(name);
    }
    // Describes a project made elsewhere.
    explicit ProjectBuilder(TODOList* project) : m_project(project) {}

    ProjectBuilder& named(const QString& name)
    {
        m_project->setName(name);
        return *this;
    }
    ProjectBuilder& atIndex(qint64 index) { return withValue("index", index); }
    ProjectBuilder& withId(qint64 id) { return withValue("id_", id); }
    ProjectBuilder& inState(qint64 state) { return withValue("state", state); }
    ProjectBuilder& trashed() { return inState(2); }
    ProjectBuilder& removed() { return inState(3); }
    ProjectBuilder& edited() { return withValue("edited_since", qint64(1)); }
    // Not yet fetched from the server.
    ProjectBuilder& lazy() { return withValue("lazyFetch", true); }
    ProjectBuilder& taggedWith(const QString& tag)
    {
        m_project->addTagsObject(TagManager::getListTagForName(tag, *m_project->context()));
        return *this;
    }
    ProjectBuilder& archived() { return taggedWith(QStringLiteral("archived")); }
    ProjectBuilder& withValue(const char* attribute, const QVariant& value)
    {
        m_project->setValue(QString::fromLatin1(attribute), value);
        return *this;
    }
    // Items of the project, in this order.
    template <class... Items> ProjectBuilder& with(const Items&... items)
    {
        (items.in(m_project), ...);
        return *this;
    }

    TODOList* get() const { return m_project; }
    operator TODOList*() const { return m_project; }

private:
    TODOList* m_project;
};

} // namespace qv::test
