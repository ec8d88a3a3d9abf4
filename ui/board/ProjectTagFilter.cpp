#include "ui/board/ProjectTagFilter.h"

#include "core/model/ListTag.h"
#include "core/model/TagManager.h"
#include "platform/store/Context.h"

#include <QCollator>

#include <algorithm>

namespace qv {

namespace {

const QString kArchived = QStringLiteral("archived");

bool sameTags(std::vector<ListTag*> a, std::vector<ListTag*> b)
{
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

} // namespace

ProjectTagFilter::ProjectTagFilter(store::Context& context, QObject* parent)
    : QObject(parent), m_context(context)
{
    reloadTags();
}

void ProjectTagFilter::reloadTags()
{
    m_tags.clear();
    for (store::ManagedObject* object : m_context.objects(ListTag::staticEntityName())) {
        if (auto* tag = store::as<ListTag>(object))
            m_tags.push_back(tag);
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(m_tags.begin(), m_tags.end(), [&](const ListTag* a, const ListTag* b) {
        return collator.compare(a->name(), b->name()) < 0;
    });
    std::erase_if(m_selected, [this](ListTag* tag) {
        return std::find(m_tags.begin(), m_tags.end(), tag) == m_tags.end();
    });
    emit changed();
    selectionDidChange();
}

std::vector<ListTag*> ProjectTagFilter::selectedTags() const
{
    std::vector<ListTag*> selected;
    for (ListTag* tag : m_tags) {
        if (isSelected(tag))
            selected.push_back(tag);
    }
    // Tags chosen before they were listed keep their place at the end.
    for (ListTag* tag : m_selected) {
        if (std::find(selected.begin(), selected.end(), tag) == selected.end())
            selected.push_back(tag);
    }
    return selected;
}

bool ProjectTagFilter::isSelected(const ListTag* tag) const
{
    return std::find(m_selected.begin(), m_selected.end(), tag) != m_selected.end();
}

void ProjectTagFilter::setSelectedTags(const std::vector<ListTag*>& tags)
{
    std::vector<ListTag*> selected;
    for (ListTag* tag : tags) {
        if (tag && std::find(selected.begin(), selected.end(), tag) == selected.end())
            selected.push_back(tag);
    }
    const bool listed = std::all_of(selected.begin(), selected.end(), [this](ListTag* tag) {
        return std::find(m_tags.begin(), m_tags.end(), tag) != m_tags.end();
    });
    m_selected = std::move(selected);
    if (!listed)
        reloadTags(); // a tag made since the last reload
    else
        emit changed();
    selectionDidChange();
}

void ProjectTagFilter::setTagSelected(ListTag* tag, bool selected)
{
    if (!tag || isSelected(tag) == selected)
        return;
    std::vector<ListTag*> tags = m_selected;
    if (selected)
        tags.push_back(tag);
    else
        std::erase(tags, tag);
    setSelectedTags(tags);
}

ListTag* ProjectTagFilter::archivedTag() const
{
    if (!TagManager::existsListTagForName(kArchived, m_context))
        return nullptr;
    return store::as<ListTag>(
        m_context.lookupFirst(ListTag::staticEntityName(), QStringLiteral("name"), kArchived));
}

bool ProjectTagFilter::hasArchivedTag() const
{
    return archivedTag() != nullptr;
}

bool ProjectTagFilter::isArchivedSelected() const
{
    const ListTag* archived = archivedTag();
    return archived && isSelected(archived);
}

void ProjectTagFilter::toggleArchived()
{
    ListTag* archived = archivedTag();
    if (!archived)
        return;
    std::vector<ListTag*> tags = m_selected;
    if (isSelected(archived))
        std::erase(tags, archived);
    else
        tags.push_back(archived);
    setSelectedTags(tags);
}

void ProjectTagFilter::selectionDidChange()
{
    if (sameTags(m_selected, m_lastSeen))
        return;
    m_lastSeen = m_selected;
    if (m_delegate)
        m_delegate(selectedTags());
}

} // namespace qv
