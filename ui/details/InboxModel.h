#pragma once

#include "ui/board/ArrayController.h"

#include <QObject>
#include <QString>

namespace qv {

class MyDocument;
class TODOItem;

// The inbox table's logic: the items without a project (neither trashed nor removed), newest
// first, and new inbox items made from a title and notes.
class InboxModel : public QObject {
    Q_OBJECT
public:
    explicit InboxModel(MyDocument& document, QObject* parent = nullptr);

    ArrayController& itemsArrayController() { return m_items; }
    const ArrayController& itemsArrayController() const { return m_items; }

    // The new item, sent to the server; nullptr for a title that is empty after trimming
    // white space and line breaks.
    TODOItem* addItemWithTitle(const QString& title, const QString& notes = {});
    // An inbox item made elsewhere (the document's addItemWithTitle): listed, shown on top.
    void itemAdded(TODOItem* item);
    void reload();

signals:
    void scrollToFirstRowRequested();

private:
    MyDocument& m_document;
    ArrayController m_items;
};

} // namespace qv
