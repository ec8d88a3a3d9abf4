#pragma once

#include "core/util/Predicate.h"
#include "ui/board/ItemFilterPanel.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

namespace qv {

class NotificationCenter;
class Preferences;

// The item filter panel's state and the predicate it makes of it: search text, the due-date
// or files restriction of filter states 3 and 4, a date range on one of four item dates, item
// tags, and the owner, creator and completer conditions.
//
// The owner set is kept in step with the project team panel through
// kNotificationSelectedOwnersChanged. filtersChanged() asks the board to apply the filters
// again (the delegate's updateFilters); changes of "kItemFilterState" reach the board through
// the preference itself.
class AdvancedFilter : public QObject, public ItemFilterPanel {
    Q_OBJECT
public:
    static const QString kItemFilterState;
    static const QString kItemTimeFilterMode;
    static const QString kItemTagFilterState;

    // Which item date the date range restricts ("kItemTimeFilterMode").
    enum TimeFilterMode { CreationDate = 0, DueDate = 1, CompletionDate = 2, ModificationDate = 3 };
    // How the selected item tags combine ("kItemTagFilterState").
    enum TagFilterState { AnyTag = 0, AllTags = 1 };

    AdvancedFilter(Preferences& preferences, NotificationCenter* notifications, QObject* parent = nullptr);
    ~AdvancedFilter() override;

    // Back to showing open items with no restriction; then filtersChanged().
    void reset() override;
    bool getIsFiltering() const override;
    Predicate userFilterPredicate() const override;

    QString searchString() const override { return m_searchString; }
    void setSearchString(const QString& text);

    int filterState() const;
    void setFilterState(int state);
    int timeFilterMode() const;
    void setTimeFilterMode(int mode);
    int tagFilterState() const;
    void setTagFilterState(int state);

    // Null dates (or the distant past / future) leave that side open.
    QDateTime getMinSelectedDate() const override { return m_minDate; }
    QDateTime getMaxSelectedDate() const override { return m_maxDate; }
    void setDateRange(const QDateTime& minDate, const QDateTime& maxDate);
    bool isWholeTimeLine() const;

    // Item tag names.
    QStringList selectedTags() const { return m_selectedTags; }
    void setSelectedTags(const QStringList& names);

    // The owner filter: usernames, sorted. A username is the person's e-mail address.
    QStringList selectedOwners() const { return m_owners; }
    QStringList currentOwnerEmails() const override { return m_owners; }
    // The single owner when exactly one is chosen; empty otherwise.
    QString delegatedTo() const { return m_delegatedTo; }
    // The user's choice of one person (empty: nobody): becomes the owner set, announced to
    // the team panel when it differs.
    void setDelegatedTo(const QString& username);
    bool ownersNegated() const { return m_ownersNegated; }
    void setOwnersNegated(bool negated);

    QStringList createdBy() const { return m_createdBy; }
    bool createdByNegated() const { return m_createdByNegated; }
    void setCreatedBy(const QStringList& usernames, bool negated);
    QStringList completedBy() const { return m_completedBy; }
    bool completedByNegated() const { return m_completedByNegated; }
    void setCompletedBy(const QStringList& usernames, bool negated);

signals:
    void filtersChanged();

private:
    static QStringList normalized(const QStringList& usernames);
    void takeOwners(const QStringList& owners);
    void announceOwners();

    Preferences& m_preferences;
    NotificationCenter* m_notifications;
    QString m_searchString;
    QDateTime m_minDate;
    QDateTime m_maxDate;
    QStringList m_selectedTags;
    QStringList m_owners;
    QString m_delegatedTo;
    bool m_ownersNegated = false;
    QStringList m_createdBy;
    bool m_createdByNegated = false;
    QStringList m_completedBy;
    bool m_completedByNegated = false;
};

} // namespace qv
