#pragma once

#include "platform/store/Model.h"

#include <QString>

#include <memory>

namespace qv {

// The object model "todo_list_mac": items, projects, their reminders, attachments and tags,
// and the per-user status records. Entity, attribute and relationship names are the table
// and column names of the store file.
//
// Relationships (both sides kept in step by the store):
//   TODOItem.list      <-> TODOList.contains   (to-one / to-many; deleting a project deletes its items)
//   TODOItem.tags      <-> ItemTag.items       (many-to-many)
//   TODOList.tags      <-> ListTag.lists       (many-to-many)
//   TODOItem.files     <-> ItemFile.item       (to-many / to-one; cascade)
//   TODOItem.reminder  <-> ItemReminder.item   (to-one both ways; cascade)
class TodoModel {
public:
    // 2: InstantSyncStatus.lastInboxPollingDate, TODOItem and TODOList.unansweredPost,
    //    InstantSyncStatus.projectsToDownload.
    static constexpr int kVersion = 2;
    static QString name() { return QStringLiteral("todo_list_mac"); }

    // A fresh model whose factories create the entity classes of this folder.
    static std::unique_ptr<store::Model> build();
    // One immutable model shared by the process.
    static const store::Model& shared();
};

} // namespace qv
