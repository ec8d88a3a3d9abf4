#pragma once

#include "core/model/ItemIdentifiers.h"
#include "core/model/ObjectState.h"
#include "platform/rest/ObjectMapper.h"
#include "platform/rest/ObjectMapping.h"
#include "platform/store/ManagedObject.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace qv {

namespace store {
class Context;
}

class ItemFile;
class ItemReminder;
class ItemTag;
class TODOList;

// Entity "TODOItem": one task of a project's board, or of the inbox when it has no project.
//
// Accessor style for every entity of this folder: the getter is the attribute's name, the
// setter "set" + the name with its first letter raised (`edited_since` -> setEdited_since).
// Integers read as qint64 and texts as QString; an absent value reads 0 / empty / false /
// invalid date, and whether it is absent is asked with isNull("attribute"). Setters store
// a null QString or an invalid QDateTime as absent (an empty but non-null text stays "");
// clearValue("attribute") makes any attribute absent. Dates are stored in UTC.
class TODOItem : public store::ManagedObject, public rest::MappedValues {
    Q_GADGET
public:
    static QString staticEntityName() { return QStringLiteral("TODOItem"); }
    static constexpr qint64 kDateKeepingGapSecs = 3600;

    // How often a completed item comes back: the attribute "frequency" read as one of the texts
    // "Daily", "Weekly", "Biweekly", "4-weekly", "Monthly", "Quarterly", "Semesterly", "Yearly".
    // An empty text and "Never" read Never; any other text, Unknown (marked, but never repeated).
    enum class Recurrence {
        Never,
        Daily,
        Weekly,
        Biweekly,
        FourWeekly,
        Monthly,
        Quarterly,
        Semesterly,
        Yearly,
        Unknown
    };
    Q_ENUM(Recurrence)

    void clearValue(const QString& key) { setValue(key, QVariant()); }

    // --- Attributes ---
    qint64 id_() const { return intValue(QStringLiteral("id_")); }
    void setId_(qint64 v) { setValue(QStringLiteral("id_"), v); }
    qint64 serverID() const { return intValue(QStringLiteral("serverID")); }
    void setServerID(qint64 v) { setValue(QStringLiteral("serverID"), v); }
    QString name() const { return stringValue(QStringLiteral("name")); }
    void setName(const QString& v) { setText(QStringLiteral("name"), v); }
    QString descriptionText() const { return stringValue(QStringLiteral("descriptionText")); }
    void setDescriptionText(const QString& v) { setText(QStringLiteral("descriptionText"), v); }
    QString descriptionRichText() const { return stringValue(QStringLiteral("descriptionRichText")); }
    void setDescriptionRichText(const QString& v) { setText(QStringLiteral("descriptionRichText"), v); }
    qint64 quadrant() const { return intValue(QStringLiteral("quadrant")); }
    void setQuadrant(qint64 v) { setValue(QStringLiteral("quadrant"), v); }
    qint64 index() const { return intValue(QStringLiteral("index")); }
    void setIndex(qint64 v) { setValue(QStringLiteral("index"), v); }
    QString icon() const { return stringValue(QStringLiteral("icon")); }
    void setIcon(const QString& v) { setText(QStringLiteral("icon"), v); }
    qint64 state() const { return intValue(QStringLiteral("state")); }
    void setState(qint64 v) { setValue(QStringLiteral("state"), v); }
    ObjectState objectState() const { return toObjectState(state()); }
    void setObjectState(ObjectState v) { setState(storedValue(v)); }
    qint64 edited_since() const { return intValue(QStringLiteral("edited_since")); }
    void setEdited_since(qint64 v) { setValue(QStringLiteral("edited_since"), v); }
    qint64 timestamp() const { return intValue(QStringLiteral("timestamp")); }
    void setTimestamp(qint64 v) { setValue(QStringLiteral("timestamp"), v); }
    qint64 versionID() const { return intValue(QStringLiteral("versionID")); }
    void setVersionID(qint64 v) { setValue(QStringLiteral("versionID"), v); }
    qint64 requestedTime() const { return intValue(QStringLiteral("requestedTime")); }
    void setRequestedTime(qint64 v) { setValue(QStringLiteral("requestedTime"), v); }
    qint64 lastModifiedTimestamp() const { return intValue(QStringLiteral("lastModifiedTimestamp")); }
    void setLastModifiedTimestamp(qint64 v) { setValue(QStringLiteral("lastModifiedTimestamp"), v); }
    QString editedByDevice() const { return stringValue(QStringLiteral("editedByDevice")); }
    void setEditedByDevice(const QString& v) { setText(QStringLiteral("editedByDevice"), v); }
    QString edited_by() const { return stringValue(QStringLiteral("edited_by")); }
    void setEdited_by(const QString& v) { setText(QStringLiteral("edited_by"), v); }
    QString editedByUsername() const { return stringValue(QStringLiteral("editedByUsername")); }
    void setEditedByUsername(const QString& v) { setText(QStringLiteral("editedByUsername"), v); }
    QString creatorUsername() const { return stringValue(QStringLiteral("creatorUsername")); }
    void setCreatorUsername(const QString& v) { setText(QStringLiteral("creatorUsername"), v); }
    QString ownerUsername() const { return stringValue(QStringLiteral("ownerUsername")); }
    void setOwnerUsername(const QString& v) { setText(QStringLiteral("ownerUsername"), v); }
    QString completedByUsername() const { return stringValue(QStringLiteral("completedByUsername")); }
    void setCompletedByUsername(const QString& v) { setText(QStringLiteral("completedByUsername"), v); }
    QString owner() const { return stringValue(QStringLiteral("owner")); }
    void setOwner(const QString& v) { setText(QStringLiteral("owner"), v); }
    QString resourceURI() const { return stringValue(QStringLiteral("resourceURI")); }
    void setResourceURI(const QString& v) { setText(QStringLiteral("resourceURI"), v); }
    qint64 completionPercentage() const { return intValue(QStringLiteral("completionPercentage")); }
    void setCompletionPercentage(qint64 v) { setValue(QStringLiteral("completionPercentage"), v); }
    QDateTime completionDate() const { return dateValue(QStringLiteral("completionDate")); }
    void setCompletionDate(const QDateTime& v) { setDate(QStringLiteral("completionDate"), v); }
    QDateTime creationDate() const { return dateValue(QStringLiteral("creationDate")); }
    void setCreationDate(const QDateTime& v) { setDate(QStringLiteral("creationDate"), v); }
    QDateTime startDate() const { return dateValue(QStringLiteral("startDate")); }
    // Keeps the due date at least an hour after a later start (see .cpp).
    void setStartDate(const QDateTime& v);
    QDateTime dueDate() const { return dateValue(QStringLiteral("dueDate")); }
    // Keeps the start date at least an hour before an earlier due date (see .cpp).
    void setDueDate(const QDateTime& v);
    QDateTime untilDate() const { return dateValue(QStringLiteral("untilDate")); }
    void setUntilDate(const QDateTime& v) { setDate(QStringLiteral("untilDate"), v); }
    bool allDay() const { return boolValue(QStringLiteral("allDay")); }
    void setAllDay(bool v) { setValue(QStringLiteral("allDay"), v); }
    QString frequency() const { return stringValue(QStringLiteral("frequency")); }
    void setFrequency(const QString& v) { setText(QStringLiteral("frequency"), v); }
    Recurrence recurrence() const;
    qint64 childID() const { return intValue(QStringLiteral("childID")); }
    void setChildID(qint64 v) { setValue(QStringLiteral("childID"), v); }
    qint64 parentID() const { return intValue(QStringLiteral("parentID")); }
    void setParentID(qint64 v) { setValue(QStringLiteral("parentID"), v); }
    qint64 copiedFromID() const { return intValue(QStringLiteral("copiedFromID")); }
    void setCopiedFromID(qint64 v) { setValue(QStringLiteral("copiedFromID"), v); }
    qint64 effort() const { return intValue(QStringLiteral("effort")); }
    void setEffort(qint64 v) { setValue(QStringLiteral("effort"), v); }
    qint64 highlight() const { return intValue(QStringLiteral("highlight")); }
    void setHighlight(qint64 v) { setValue(QStringLiteral("highlight"), v); }
    QString macResourceURL() const { return stringValue(QStringLiteral("macResourceURL")); }
    void setMacResourceURL(const QString& v) { setText(QStringLiteral("macResourceURL"), v); }
    QString boxFolderID() const { return stringValue(QStringLiteral("boxFolderID")); }
    void setBoxFolderID(const QString& v) { setText(QStringLiteral("boxFolderID"), v); }
    QString cachedConversation() const { return stringValue(QStringLiteral("cachedConversation")); }
    void setCachedConversation(const QString& v) { setText(QStringLiteral("cachedConversation"), v); }
    QString status() const { return stringValue(QStringLiteral("status")); }
    void setStatus(const QString& v) { setText(QStringLiteral("status"), v); }

    // --- Relationships ---
    TODOList* list() const;
    // Leaves the current project (if any) and joins list; nullptr makes an inbox item.
    void setList(TODOList* list);
    std::vector<ItemTag*> tags() const;
    std::vector<ItemFile*> files() const;
    void addFilesObject(ItemFile* file);
    void removeFilesObject(ItemFile* file);
    ItemReminder* reminder() const;
    void setReminder(ItemReminder* reminder);

    // Tag mutations that keep the cached starred flag in step.
    void addTagsObject(ItemTag* tag);
    void removeTagsObject(ItemTag* tag);
    void addTags(const std::vector<ItemTag*>& tags);
    void removeTags(const std::vector<ItemTag*>& tags); // nothing when the item has no tags

    // --- Transient ---
    // Project resource paths the server sent under "projects"; never stored.
    const QStringList& projectURIs() const { return m_projectURIs; }
    void setProjectURIs(const QStringList& uris) { m_projectURIs = uris; }
    // The cached flag as it is (none until computed or set).
    std::optional<bool> starred() const { return m_starred; }
    // The cached flag, computed from the tag "starred" when none is cached.
    bool getStarred();
    // Caches v; in the document's context also adds or removes the tag "starred" through the
    // tag service (locally and on the server). Other contexts only change the cache.
    void setStarred(bool v);

    // --- Identity ---
    qint64 uniID() const { return serverID(); }
    bool isValidUniID() const { return !isNull(QStringLiteral("serverID")) && serverID() != 0; }
    TODOList* getProject() const { return list(); }
    // list.id_, else the id in the first of projectURIs, else none.
    std::optional<qint64> getProjectID() const;
    // Caches {"/api/v1/project/<id>/"} when none is cached and getProjectID() has one.
    QStringList getProjectURIs();
    // resourceURI when not empty, else "/api/v1/item/<serverID>/" when serverID != 0, else empty.
    QString getURI() const;
    // Tag names, localized case-insensitive order.
    QStringList getTagNames() const;
    // New id_ unique in the item's project; serverID, versionID, boxFolderID, copiedFromID and
    // resourceURI cleared.
    void resetIDs(const ItemIdentifiers::RandomSource& random = {});

    // Item with that server id that is not removed; duplicates are logged and the first wins.
    static TODOItem* findWithID(qint64 serverID, store::Context& context);

    // --- Copies ---
    // What a copy takes besides the item's own values and its reminder.
    enum CopyFlag {
        CopyNoFlags = 0,
        CopyIdentifiers = 1 << 0, // serverID, id_, versionID, resourceURI
        CopyTags = 1 << 1,
        CopyFiles = 1 << 2,
        CopyProject = 1 << 3, // the destination joins the source's project
        // When the reminder found for the destination is the source's own (both items in one
        // context), it moves to the destination (recurrence follow-ups); without this flag the
        // destination gets a new reminder copied from it and the source keeps its own.
        MoveOwnReminder = 1 << 4,
        CopyDefault = CopyIdentifiers | CopyProject,
    };
    Q_DECLARE_FLAGS(CopyFlags, CopyFlag)
    void copyTo(TODOItem* destination, CopyFlags flags = CopyDefault) const;
    // The values copyTo copies as they are: identifiers (with CopyIdentifiers) and the rest; and
    // the dates it copies when they are real (after the start of 1970) and clears otherwise.
    static const QStringList& copiedIdentifierKeys();
    static const QStringList& copiedValueKeys();
    static const QStringList& copiedDateKeys();

    // --- Change test ---
    static const QSet<QString>& nonTrackedProperties();
    // Keys changed in the current change event outside the non-tracked set: none -> false;
    // other == nullptr -> true; else whether one of them differs from other's value.
    bool needToUploadGiven(const TODOItem* other) const;

    // --- JSON ---
    static rest::MappingPtr mapping();
    static rest::MappingPtr inverseMapping();

    // --- Ordering ---
    // < 0, 0, > 0 like a three-way compare: due dates with their all-day flags, then start dates.
    int compareByDates(const TODOItem& other) const;
    // A real date as compareByDates() compares it: in local time to the minute, or at midnight
    // of its local day when all-day. Invalid when that midnight does not exist; an invalid date
    // comes before every valid one.
    static QDateTime sortingDate(const QDateTime& date, bool allDay);
    // Starred items first; among equally starred ones higher index first (the board's manual
    // order); an absent index counts as 0. Returns < 0 when this item sorts before other.
    int compareByStar(TODOItem& other);
    // A strict weak ordering for std::stable_sort over compareByStar.
    static bool lessByStar(TODOItem* a, TODOItem* b) { return a->compareByStar(*b) < 0; }

    // The project paths a reply's "projects" value names (an array of paths, or one path).
    static QStringList projectURIsFrom(const QJsonValue& value);

    // rest::MappedValues
    bool setMappedValue(const QString& attribute, const QJsonValue& value) override;
    std::optional<QJsonValue> mappedValue(const QString& attribute) const override;

protected:
    void awakeFromFetch() override;

private:
    void setText(const QString& key, const QString& v);
    void setDate(const QString& key, const QDateTime& v);
    bool hasTagNamed(const QString& name) const;

    QStringList m_projectURIs;
    std::optional<bool> m_starred;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TODOItem::CopyFlags)

} // namespace qv
