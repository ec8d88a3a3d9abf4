#pragma once

#include "core/document/DocumentWindow.h"
#include "platform/store/Context.h"
#include "platform/store/ManagedObject.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <array>
#include <functional>
#include <vector>

namespace qv {

// Which objects a controller shows. An empty predicate lets every object through.
using ObjectPredicate = std::function<bool(const store::ManagedObject*)>;
// Three-way comparison: < 0 when a sorts before b, 0 when equal, > 0 after.
using ObjectComparator = std::function<int(store::ManagedObject*, store::ManagedObject*)>;
// An object's sort key: integers compared one after the other.
using SortKey = std::array<qint64, 5>;
// The sort keys of the objects, in their order. Asked once per sort, so that what every key
// depends on (a time zone) is read once.
using SortKeysFunction = std::function<std::vector<SortKey>(const std::vector<store::ManagedObject*>&)>;

// One sort key. Several descriptors apply in order: a later one only breaks ties of the
// earlier ones, and objects equal under all of them keep their content order (stable).
struct SortDescriptor {
    enum class Comparison {
        Value,                    // compareValues() of the attribute values
        Localized,                // locale-aware text order
        LocalizedCaseInsensitive, // locale-aware text order, letter case ignored
        Custom,                   // `comparator` over the two objects
        Keyed,                    // `keysFunction`, asked once per sort
    };

    QString key; // attribute name; "self" for Custom and Keyed descriptors over the whole object
    bool ascending = true;
    Comparison comparison = Comparison::Value;
    ObjectComparator comparator;
    SortKeysFunction keysFunction;

    static SortDescriptor byValue(const QString& key, bool ascending);
    static SortDescriptor localized(const QString& key, bool ascending, bool caseInsensitive = false);
    static SortDescriptor custom(const QString& key, bool ascending, ObjectComparator comparator);
    static SortDescriptor keyed(const QString& key, bool ascending, SortKeysFunction keysFunction);
};

// Three-way comparison of two attribute values. Absent values take part in a consistent
// order: as 0 beside numbers, as the empty text beside texts, and before every date.
int compareValues(const QVariant& a, const QVariant& b);

// Sorts objects in place by the descriptors; stable.
void sortObjects(std::vector<store::ManagedObject*>& objects, const std::vector<SortDescriptor>& descriptors);

// Holds a collection of store objects (the content), shows the filtered and sorted part of it
// (the arranged objects) and keeps a selection among the arranged objects.
//
// Rules:
// - The arranged objects are rebuilt (filtered, then sorted) only by rearrangeObjects(), by a
//   new filter predicate or new sort descriptors, and by a change of membership: setContent(),
//   addObject(), removeObject(), and in fetch mode objects of the entity inserted into or
//   deleted from the context.
// - An attribute change never rebuilds them by itself; call rearrangeObjects().
// - insertObject() puts an object at an arranged position and leaves every other object where
//   it is; the inserted object stays there, whether or not it passes the filter or fits the
//   sort, until the next rebuild.
// - The selection is a set of objects. It follows those objects across a rebuild; objects that
//   leave the arranged objects leave the selection.
// - Nothing is ever selected automatically: not on setContent(), addObject(), insertObject().
// - arrangedObjectsChanged() follows every rebuild and every insertion; selectionChanged()
//   follows every change of the selected objects or of their indexes.
class ArrayController : public QObject, public ItemArrayController {
    Q_OBJECT
public:
    explicit ArrayController(QObject* parent = nullptr);
    ~ArrayController() override;

    // --- Content ---
    // A fixed collection; leaves fetch mode.
    void setContent(const std::vector<store::ManagedObject*>& objects);
    // Fetch mode: the content is every live object of the entity in the context, and follows
    // the context's change events (inserted objects join, deleted ones leave). The context
    // must outlive the controller or fetch mode (setContent() or setFetch(nullptr, {}) ends it).
    void setFetch(store::Context* context, const QString& entity);
    // Re-reads the entity's objects in fetch mode; a membership change.
    void fetch();
    // In fetch mode, a change event filters only the objects it inserts: the arranged objects
    // keep their place (sorted anew with the ones that join), and an event that neither adds
    // nor removes an arranged object leaves them alone. For a big content of which few objects
    // pass the filter, when the owner calls rearrangeObjects() on every change that can alter
    // whether an object passes. Off by default.
    void setFiltersOnlyInsertedObjects(bool on) { m_filtersOnlyInserted = on; }
    // Asks the filter again about these objects of the content only: those that now fail leave
    // the arranged objects, those that now pass join them (after their equals, in the order
    // given), and the arranged objects are sorted anew. Objects outside the content are ignored.
    void refilterObjects(const std::vector<store::ManagedObject*>& objects);

    const std::vector<store::ManagedObject*>& content() const { return m_content; }
    bool contentContains(const store::ManagedObject* object) const { return contentSet().contains(object); }

    // Adds to the content (no-op for an object already there) and rebuilds.
    void addObject(store::ManagedObject* object);
    // ItemArrayController: the document's way to show an item it made.
    void addObject(TODOItem* item) override;
    void addObjects(const std::vector<store::ManagedObject*>& objects);
    // Adds to the content when needed and places the object at arranged position index
    // (clamped to 0..count), moving it there when it is already arranged. No rebuild.
    void insertObject(store::ManagedObject* object, qsizetype arrangedIndex);
    // Takes the object out of the content and rebuilds.
    void removeObject(store::ManagedObject* object);
    void removeObjects(const std::vector<store::ManagedObject*>& objects);

    // --- Filter and order ---
    // What a filter reads of each object, so that a rebuild brings it into the cache ahead of the
    // filter: its values (any predicate), or only the object itself, for a predicate that reads
    // through store::IntegerReader alone. A hint for speed; the result is the same either way.
    enum class FilterReads { Values, ObjectOnly };
    void setFilterPredicate(ObjectPredicate predicate, FilterReads reads = FilterReads::Values);
    const ObjectPredicate& filterPredicate() const { return m_filter; }
    void setSortDescriptors(std::vector<SortDescriptor> descriptors);
    const std::vector<SortDescriptor>& sortDescriptors() const { return m_sortDescriptors; }

    // Filters the content and sorts the result.
    void rearrangeObjects();
    const std::vector<store::ManagedObject*>& arrangedObjects() const { return m_arranged; }
    qsizetype arrangedCount() const { return qsizetype(m_arranged.size()); }
    // nullptr outside 0..count-1.
    store::ManagedObject* arrangedObjectAt(qsizetype index) const;
    // -1 when not arranged.
    qsizetype arrangedIndexOf(const store::ManagedObject* object) const;

    // --- Selection ---
    // Ascending arranged indexes.
    QList<qsizetype> selectionIndexes() const;
    // The first selected index, -1 without selection.
    qsizetype selectionIndex() const;
    // In arranged order.
    std::vector<store::ManagedObject*> selectedObjects() const;
    bool isSelected(const store::ManagedObject* object) const { return m_selected.contains(object); }
    bool hasSelection() const { return !m_selected.isEmpty(); }

    // Indexes outside the arranged objects and objects not arranged are ignored.
    // Each answers whether the selection changed.
    bool setSelectionIndexes(const QList<qsizetype>& indexes);
    bool setSelectionIndex(qsizetype index);
    bool addSelectionIndexes(const QList<qsizetype>& indexes);
    bool removeSelectionIndexes(const QList<qsizetype>& indexes);
    bool setSelectedObjects(const std::vector<store::ManagedObject*>& objects);
    bool clearSelection();

signals:
    void arrangedObjectsChanged();
    void selectionChanged();

private:
    void observeContext(store::Context* context);
    void onContextChange(const store::ChangeEvent& event);
    // Sorts the objects that pass the filter and shows them.
    void showArranged(std::vector<store::ManagedObject*> arranged);
    // The arranged objects less those leaving, with those joining (which pass the filter), sorted.
    void mergeIntoArranged(const std::vector<store::ManagedObject*>& joining,
                           const QSet<const store::ManagedObject*>& leaving);
    void rebuildIndex() const;
    void dropSelectionOutsideArranged();
    bool replaceSelection(QSet<const store::ManagedObject*> selection);
    void emitSelectionIfChanged(const QList<qsizetype>& before);

    std::vector<store::ManagedObject*> m_content;
    // Built at its first use: a new content is often only arranged.
    QSet<const store::ManagedObject*>& contentSet() const;
    mutable QSet<const store::ManagedObject*> m_contentSet;
    mutable bool m_contentSetBuilt = false;
    ObjectPredicate m_filter;
    FilterReads m_filterReads = FilterReads::Values;
    std::vector<SortDescriptor> m_sortDescriptors;
    std::vector<store::ManagedObject*> m_arranged;
    mutable QHash<const store::ManagedObject*, qsizetype> m_arrangedIndex;
    mutable bool m_indexValid = false;
    QSet<const store::ManagedObject*> m_selected;

    store::Context* m_context = nullptr;
    QString m_entity;
    store::Context::ObserverId m_observer = 0;
    bool m_observing = false;
    bool m_filtersOnlyInserted = false;
};

} // namespace qv
