#pragma once

#include <QHash>

namespace qv {

namespace store {
class ManagedObject;
}

// Objects with a request outstanding: an upload, or a tag request. An object in it is never
// sent again nor overwritten by incoming data until its request has ended.
class InFlightSet {
public:
    enum class Kind { Upload, Tag };

    bool contains(const store::ManagedObject* object) const { return m_entries.contains(object); }
    // false when the object is already in flight.
    bool insert(const store::ManagedObject* object, Kind kind)
    {
        if (m_entries.contains(object))
            return false;
        m_entries.insert(object, Entry{kind, false});
        return true;
    }
    // Whether the user changed the object while its upload was out; false when it was not in flight.
    bool remove(const store::ManagedObject* object)
    {
        const auto it = m_entries.constFind(object);
        if (it == m_entries.constEnd())
            return false;
        const bool edited = it->editedMeanwhile;
        m_entries.erase(it);
        return edited;
    }
    void markEdited(const store::ManagedObject* object)
    {
        const auto it = m_entries.find(object);
        if (it != m_entries.end() && it->kind == Kind::Upload)
            it->editedMeanwhile = true;
    }
    int size() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }

private:
    struct Entry {
        Kind kind;
        bool editedMeanwhile;
    };
    QHash<const store::ManagedObject*, Entry> m_entries;
};

} // namespace qv
