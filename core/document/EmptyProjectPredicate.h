#pragma once

namespace qv {

class MyDocument;
class TODOList;

// Hides projects with nothing to show: a project passes while its items are still to be
// fetched, or when an item of one of its four quadrants passes the document's item filter.
class EmptyProjectPredicate {
public:
    // Without a document (or without its window) every item passes the item filter.
    explicit EmptyProjectPredicate(const MyDocument* document);
    bool evaluate(const TODOList* project) const;

private:
    const MyDocument* m_document;
};

} // namespace qv
