#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace qv {

namespace store {
class Context;
}

class ListTag;

// The project tag filter: the project tags to choose from, the chosen ones and the
// "archived" toggle. Whenever the chosen tags become different from the last choice it saw,
// it hands them to its delegate (the project list's filterAnyTags()).
class ProjectTagFilter : public QObject {
    Q_OBJECT
public:
    using Delegate = std::function<void(const std::vector<ListTag*>&)>;

    explicit ProjectTagFilter(store::Context& context, QObject* parent = nullptr);

    void setDelegate(Delegate delegate) { m_delegate = std::move(delegate); }

    // Reads the project tags from the store again (by name); chosen tags that are gone are
    // dropped from the choice.
    void reloadTags();
    const std::vector<ListTag*>& tags() const { return m_tags; }

    // In the order of tags().
    std::vector<ListTag*> selectedTags() const;
    bool isSelected(const ListTag* tag) const;
    // Chooses exactly these tags.
    void setSelectedTags(const std::vector<ListTag*>& tags);
    // One tag on or off, as the user clicks it.
    void setTagSelected(ListTag* tag, bool selected);

    // A project tag named "archived" exists.
    bool hasArchivedTag() const;
    bool isArchivedSelected() const;
    // Adds the "archived" tag to the choice or takes it out; nothing without such a tag.
    void toggleArchived();

signals:
    // The tag list or the choice changed.
    void changed();

private:
    ListTag* archivedTag() const;
    void selectionDidChange();

    store::Context& m_context;
    Delegate m_delegate;
    std::vector<ListTag*> m_tags;
    std::vector<ListTag*> m_selected;
    std::vector<ListTag*> m_lastSeen;
};

} // namespace qv
