#pragma once

#include "ui/board/ArrayController.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QMimeData;

namespace qv {

class MyDocument;
class TODOItem;

// The inbox table's logic: the items without a project (neither trashed nor removed), newest
// first, new inbox items made from a title and notes, the rows a drag carries to a quadrant
// and the trashing of the chosen items.
class InboxModel : public QObject {
    Q_OBJECT
public:
    explicit InboxModel(MyDocument& document, QObject* parent = nullptr);
    ~InboxModel() override;

    ArrayController& itemsArrayController() { return m_items; }
    const ArrayController& itemsArrayController() const { return m_items; }

    // The new item, sent to the server; nullptr for a title that is empty after trimming
    // white space and line breaks.
    TODOItem* addItemWithTitle(const QString& title, const QString& notes = {});
    // An inbox item made elsewhere (the document's addItemWithTitle): listed, shown on top.
    void itemAdded(TODOItem* item);
    void reload();

    // The items of the given rows as a drag carries them ("TODOItemDataType", from the inbox);
    // nullptr when no row names an item.
    std::unique_ptr<QMimeData> dragData(const QList<qsizetype>& rows) const;
    // Moves the selected items to the trash, then selects the row that took the first one's
    // place; the number trashed.
    int trashSelectedItems();

signals:
    void scrollToFirstRowRequested();

private:
    MyDocument& m_document;
    ArrayController m_items;
    int m_observer = 0;
};

} // namespace qv
