#pragma once

#include "core/model/ObjectState.h"
#include "platform/rest/ObjectMapping.h"
#include "platform/store/ManagedObject.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>
#include <vector>

namespace qv {

namespace store {
class Context;
}

class ListTag;
class TODOItem;

// Entity "TODOList": one project with its board of four quadrants. Accessor style as TODOItem.
class TODOList : public store::ManagedObject {
public:
    static QString staticEntityName() { return QStringLiteral("TODOList"); }

    void clearValue(const QString& key) { setValue(key, QVariant()); }

    // --- Attributes ---
    qint64 id_() const { return intValue(QStringLiteral("id_")); }
    void setId_(qint64 v) { setValue(QStringLiteral("id_"), v); }
    QString name() const { return stringValue(QStringLiteral("name")); }
    void setName(const QString& v) { setText(QStringLiteral("name"), v); }
    qint64 state() const { return intValue(QStringLiteral("state")); }
    void setState(qint64 v) { setValue(QStringLiteral("state"), v); }
    ObjectState objectState() const { return toObjectState(state()); }
    void setObjectState(ObjectState v) { setState(storedValue(v)); }
    qint64 index() const { return intValue(QStringLiteral("index")); }
    void setIndex(qint64 v) { setValue(QStringLiteral("index"), v); }
    QString textFirstQuadrant() const { return stringValue(QStringLiteral("textFirstQuadrant")); }
    void setTextFirstQuadrant(const QString& v) { setText(QStringLiteral("textFirstQuadrant"), v); }
    QString textSecondQuadrant() const { return stringValue(QStringLiteral("textSecondQuadrant")); }
    void setTextSecondQuadrant(const QString& v) { setText(QStringLiteral("textSecondQuadrant"), v); }
    QString textThirdQuadrant() const { return stringValue(QStringLiteral("textThirdQuadrant")); }
    void setTextThirdQuadrant(const QString& v) { setText(QStringLiteral("textThirdQuadrant"), v); }
    QString textFourthQuadrant() const { return stringValue(QStringLiteral("textFourthQuadrant")); }
    void setTextFourthQuadrant(const QString& v) { setText(QStringLiteral("textFourthQuadrant"), v); }
    QString colorFirstQuadrant() const { return stringValue(QStringLiteral("colorFirstQuadrant")); }
    void setColorFirstQuadrant(const QString& v) { setText(QStringLiteral("colorFirstQuadrant"), v); }
    QString colorSecondQuadrant() const { return stringValue(QStringLiteral("colorSecondQuadrant")); }
    void setColorSecondQuadrant(const QString& v) { setText(QStringLiteral("colorSecondQuadrant"), v); }
    QString colorThirdQuadrant() const { return stringValue(QStringLiteral("colorThirdQuadrant")); }
    void setColorThirdQuadrant(const QString& v) { setText(QStringLiteral("colorThirdQuadrant"), v); }
    QString colorFourthQuadrant() const { return stringValue(QStringLiteral("colorFourthQuadrant")); }
    void setColorFourthQuadrant(const QString& v) { setText(QStringLiteral("colorFourthQuadrant"), v); }
    double centerX() const { return doubleValue(QStringLiteral("centerX")); }
    void setCenterX(double v) { setValue(QStringLiteral("centerX"), v); }
    double centerY() const { return doubleValue(QStringLiteral("centerY")); }
    void setCenterY(double v) { setValue(QStringLiteral("centerY"), v); }
    qint64 lastItemIndex() const { return intValue(QStringLiteral("lastItemIndex")); }
    void setLastItemIndex(qint64 v) { setValue(QStringLiteral("lastItemIndex"), v); }
    qint64 edited_since() const { return intValue(QStringLiteral("edited_since")); }
    void setEdited_since(qint64 v) { setValue(QStringLiteral("edited_since"), v); }
    qint64 timestamp() const { return intValue(QStringLiteral("timestamp")); }
    void setTimestamp(qint64 v) { setValue(QStringLiteral("timestamp"), v); }
    qint64 versionID() const { return intValue(QStringLiteral("versionID")); }
    void setVersionID(qint64 v) { setValue(QStringLiteral("versionID"), v); }
    qint64 requestedTime() const { return intValue(QStringLiteral("requestedTime")); }
    void setRequestedTime(qint64 v) { setValue(QStringLiteral("requestedTime"), v); }
    QString editedByDevice() const { return stringValue(QStringLiteral("editedByDevice")); }
    void setEditedByDevice(const QString& v) { setText(QStringLiteral("editedByDevice"), v); }
    QString edited_by() const { return stringValue(QStringLiteral("edited_by")); }
    void setEdited_by(const QString& v) { setText(QStringLiteral("edited_by"), v); }
    QString editedByUsername() const { return stringValue(QStringLiteral("editedByUsername")); }
    void setEditedByUsername(const QString& v) { setText(QStringLiteral("editedByUsername"), v); }
    QString owner() const { return stringValue(QStringLiteral("owner")); }
    void setOwner(const QString& v) { setText(QStringLiteral("owner"), v); }
    QString resourceURI() const { return stringValue(QStringLiteral("resourceURI")); }
    void setResourceURI(const QString& v) { setText(QStringLiteral("resourceURI"), v); }
    qint64 ownersCountCache() const { return intValue(QStringLiteral("ownersCountCache")); }
    void setOwnersCountCache(qint64 v) { setValue(QStringLiteral("ownersCountCache"), v); }
    qint64 highlight() const { return intValue(QStringLiteral("highlight")); }
    void setHighlight(qint64 v) { setValue(QStringLiteral("highlight"), v); }
    QString password() const { return stringValue(QStringLiteral("password")); }
    void setPassword(const QString& v) { setText(QStringLiteral("password"), v); }
    QString boxFolderID() const { return stringValue(QStringLiteral("boxFolderID")); }
    void setBoxFolderID(const QString& v) { setText(QStringLiteral("boxFolderID"), v); }
    QString qv_notes() const { return stringValue(QStringLiteral("qv_notes")); }
    void setQv_notes(const QString& v) { setText(QStringLiteral("qv_notes"), v); }
    // A number (seconds since 1970) on projects made from a template.
    double templateCreationDate() const { return doubleValue(QStringLiteral("templateCreationDate")); }
    void setTemplateCreationDate(double v) { setValue(QStringLiteral("templateCreationDate"), v); }
    bool lazyFetch() const { return boolValue(QStringLiteral("lazyFetch")); }
    void setLazyFetch(bool v) { setValue(QStringLiteral("lazyFetch"), v); }

    // --- Relationships ---
    // The project's items (relationship "contains"), in insertion order.
    std::vector<TODOItem*> items() const;
    void addItem(TODOItem* item);    // the item leaves its previous project
    void removeItem(TODOItem* item); // the item becomes an inbox item
    std::vector<ListTag*> tags() const;
    void addTagsObject(ListTag* tag);
    void removeTagsObject(ListTag* tag);

    // --- Transient ---
    // Collaborator records of the team panel; empty after every load, never stored.
    const QVariantList& collaborators() const { return m_collaborators; }
    void setCollaborators(const QVariantList& v) { m_collaborators = v; }

    // --- Identity ---
    qint64 uniID() const { return id_(); }
    bool isValidUniID() const { return !isNull(QStringLiteral("id_")) && id_() != 0; }
    // id_ = 0; versionID, boxFolderID and resourceURI cleared.
    void resetIDs();
    // Title of quadrant 0..3; empty for any other number.
    QString nameForQuadrant(int quadrant) const;
    // resourceURI when not empty, else "/api/v1/project/<id_>/" when id_ != 0, else empty.
    QString getURI() const;
    QStringList getTagNames() const;
    // Carries the project tag "archived", and exactly one such tag exists in the document's
    // context (the project's own context when no document is open).
    bool isArchived() const;

    // Project with that id_ that is not removed; duplicates are logged, first wins.
    static TODOList* findWithID(qint64 id, store::Context& context);

    // --- Copies ---
    // What a copy takes besides the project's own values.
    enum CopyFlag {
        CopyNoFlags = 0,
        CopyIdentifiers = 1 << 0, // id_, versionID, resourceURI
        CopyTags = 1 << 1,
    };
    Q_DECLARE_FLAGS(CopyFlags, CopyFlag)
    void copyTo(TODOList* destination, CopyFlags flags = CopyIdentifiers) const;

    // --- Change test (same rule as TODOItem) ---
    static const QSet<QString>& nonTrackedProperties();
    bool needToUploadGiven(const TODOList* other) const;

    // --- JSON ---
    static rest::MappingPtr mapping();
    static rest::MappingPtr inverseMapping();

protected:
    void awakeFromFetch() override { m_collaborators.clear(); }

private:
    void setText(const QString& key, const QString& v);

    QVariantList m_collaborators;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TODOList::CopyFlags)

} // namespace qv
