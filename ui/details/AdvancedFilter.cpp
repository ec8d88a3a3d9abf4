#include "ui/details/AdvancedFilter.h"

#include "core/util/Utils.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "ui/details/DetailsNotifications.h"

#include <algorithm>
#include <vector>

namespace qv {

const QString AdvancedFilter::kItemFilterState = QStringLiteral("kItemFilterState");
const QString AdvancedFilter::kItemTimeFilterMode = QStringLiteral("kItemTimeFilterMode");
const QString AdvancedFilter::kItemTagFilterState = QStringLiteral("kItemTagFilterState");

AdvancedFilter::AdvancedFilter(Preferences& preferences, NotificationCenter* notifications, QObject* parent)
    : QObject(parent), m_preferences(preferences), m_notifications(notifications)
{
    if (m_notifications) {
        m_notifications->addObserver(this, kNotificationSelectedOwnersChanged,
                                     [this](const Notification& note) {
                                         const QStringList owners = normalized(note.object.toStringList());
                                         if (owners == m_owners)
                                             return;
                                         takeOwners(owners);
                                         emit filtersChanged();
                                     });
    }
}

AdvancedFilter::~AdvancedFilter()
{
    if (m_notifications)
        m_notifications->removeObserver(this);
}

QStringList AdvancedFilter::normalized(const QStringList& usernames)
{
    QStringList list;
    for (const QString& name : usernames) {
        if (!name.isEmpty() && !list.contains(name))
            list << name;
    }
    list.sort();
    return list;
}

void AdvancedFilter::takeOwners(const QStringList& owners)
{
    m_owners = owners;
    m_delegatedTo = owners.size() == 1 ? owners.front() : QString();
}

void AdvancedFilter::announceOwners()
{
    postSelectedOwners(m_notifications, this, m_owners);
}

void AdvancedFilter::reset()
{
    m_preferences.setValue(kItemFilterState, 1);
    m_preferences.setValue(kItemTimeFilterMode, 1);
    m_preferences.setValue(kItemTagFilterState, 0);
    m_minDate = {};
    m_maxDate = {};
    m_searchString = QStringLiteral("");
    m_selectedTags.clear();
    const bool hadOwners = !m_owners.isEmpty();
    takeOwners({});
    m_ownersNegated = false;
    m_createdBy.clear();
    m_createdByNegated = false;
    m_completedBy.clear();
    m_completedByNegated = false;
    // The team panel would otherwise keep showing owners this panel no longer filters by.
    if (hadOwners)
        announceOwners();
    emit filtersChanged();
}

bool AdvancedFilter::isWholeTimeLine() const
{
    const bool openStart = !m_minDate.isValid() || m_minDate <= Utils::distantPast();
    const bool openEnd = !m_maxDate.isValid() || m_maxDate >= Utils::distantFuture();
    return openStart && openEnd;
}

bool AdvancedFilter::getIsFiltering() const
{
    return filterState() > 1 || !isWholeTimeLine() || !m_selectedTags.isEmpty() ||
           !m_searchString.trimmed().isEmpty() || !m_owners.isEmpty() || !m_createdBy.isEmpty() ||
           !m_completedBy.isEmpty();
}

Predicate AdvancedFilter::userFilterPredicate() const
{
    std::vector<Predicate> members;
    const QString search = m_searchString.trimmed();
    if (!search.isEmpty()) {
        members.push_back(Predicate::withFormat(
            QStringLiteral("(name CONTAINS[cd] %@) OR (descriptionText CONTAINS[cd] %@)"), {search, search}));
    }
    const int state = filterState();
    if (state == 3)
        members.push_back(Utils::filterForItemsThatHaveDueDate());
    else if (state == 4)
        members.push_back(Utils::filterForItemsThatHaveFiles());

    // The due and completion ranges exclude undated items even without bounds, so the range
    // applies only once one is chosen.
    if (!isWholeTimeLine()) {
        switch (timeFilterMode()) {
        case CreationDate:
            members.push_back(Utils::filterItemsWithCreationBetweenMinDate(m_minDate, m_maxDate));
            break;
        case CompletionDate:
            members.push_back(Utils::filterItemsWithCompletionDatesBetweenMinDate(m_minDate, m_maxDate));
            break;
        case ModificationDate:
            members.push_back(Utils::filterItemsWithTimestampBetweenMinDate(m_minDate, m_maxDate));
            break;
        case DueDate:
        default:
            members.push_back(Utils::filterItemsWithDueDatesBetweenMinDate(m_minDate, m_maxDate));
            break;
        }
    }

    if (!m_selectedTags.isEmpty()) {
        QVariantList names;
        for (const QString& name : m_selectedTags)
            names << name;
        if (tagFilterState() == AllTags) {
            std::vector<Predicate> each;
            for (const QString& name : m_selectedTags)
                each.push_back(Predicate::withFormat(QStringLiteral("ANY tags.name == %@"), {name}));
            members.push_back(Predicate::andPredicate(each));
        } else {
            members.push_back(
                Predicate::withFormat(QStringLiteral("ANY tags.name IN %@"), {QVariant(names)}));
        }
    }

    if (!m_owners.isEmpty())
        members.push_back(Utils::filterByOwnerUsernames(m_owners, m_ownersNegated));
    if (!m_createdBy.isEmpty())
        members.push_back(Utils::filterByCreators(m_createdBy, m_createdByNegated));
    if (!m_completedBy.isEmpty())
        members.push_back(Utils::filterByCompletedBy(m_completedBy, m_completedByNegated));
    return Predicate::andPredicate(members);
}

void AdvancedFilter::setSearchString(const QString& text)
{
    if (text == m_searchString)
        return;
    m_searchString = text;
    emit filtersChanged();
}

int AdvancedFilter::filterState() const
{
    return m_preferences.intValue(kItemFilterState);
}

void AdvancedFilter::setFilterState(int state)
{
    m_preferences.setValue(kItemFilterState, state);
}

int AdvancedFilter::timeFilterMode() const
{
    const QVariant mode = m_preferences.value(kItemTimeFilterMode);
    return mode.isValid() ? mode.toInt() : DueDate;
}

void AdvancedFilter::setTimeFilterMode(int mode)
{
    if (mode == timeFilterMode())
        return;
    m_preferences.setValue(kItemTimeFilterMode, mode);
    if (!isWholeTimeLine())
        emit filtersChanged();
}

int AdvancedFilter::tagFilterState() const
{
    return m_preferences.intValue(kItemTagFilterState);
}

void AdvancedFilter::setTagFilterState(int state)
{
    if (state == tagFilterState())
        return;
    m_preferences.setValue(kItemTagFilterState, state);
    if (!m_selectedTags.isEmpty())
        emit filtersChanged();
}

void AdvancedFilter::setDateRange(const QDateTime& minDate, const QDateTime& maxDate)
{
    if (minDate == m_minDate && maxDate == m_maxDate)
        return;
    m_minDate = minDate;
    m_maxDate = maxDate;
    emit filtersChanged();
}

void AdvancedFilter::setSelectedTags(const QStringList& names)
{
    QStringList tags;
    for (const QString& name : names) {
        if (!name.isEmpty() && !tags.contains(name))
            tags << name;
    }
    if (tags == m_selectedTags)
        return;
    m_selectedTags = tags;
    emit filtersChanged();
}

void AdvancedFilter::setDelegatedTo(const QString& username)
{
    const QStringList owners = username.isEmpty() ? QStringList() : QStringList{username};
    m_delegatedTo = username;
    if (owners == m_owners)
        return;
    m_owners = owners;
    announceOwners();
    emit filtersChanged();
}

void AdvancedFilter::setOwnersNegated(bool negated)
{
    if (negated == m_ownersNegated)
        return;
    m_ownersNegated = negated;
    if (!m_owners.isEmpty())
        emit filtersChanged();
}

void AdvancedFilter::setCreatedBy(const QStringList& usernames, bool negated)
{
    const QStringList names = normalized(usernames);
    if (names == m_createdBy && negated == m_createdByNegated)
        return;
    m_createdBy = names;
    m_createdByNegated = negated;
    emit filtersChanged();
}

void AdvancedFilter::setCompletedBy(const QStringList& usernames, bool negated)
{
    const QStringList names = normalized(usernames);
    if (names == m_completedBy && negated == m_completedByNegated)
        return;
    m_completedBy = names;
    m_completedByNegated = negated;
    emit filtersChanged();
}

} // namespace qv
