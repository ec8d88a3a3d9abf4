#include "platform/store/UndoManager.h"

#include "platform/store/StoreInternals.h"

namespace qv::store {

void UndoManagerPrivate::pushUndo(detail::UndoGroup group)
{
    if (group.empty())
        return;
    undoStack.push_back(std::move(group));
    redoStack.clear();
    if (levels > 0 && int(undoStack.size()) > levels)
        undoStack.erase(undoStack.begin());
}

UndoManager::UndoManager() : d(std::make_unique<UndoManagerPrivate>()) {}

UndoManager::~UndoManager() = default;

bool UndoManager::canUndo() const
{
    return d->context && !d->undoStack.empty();
}

bool UndoManager::canRedo() const
{
    return d->context && !d->redoStack.empty();
}

void UndoManager::undo()
{
    if (d->context)
        d->context->d->undoStep(true);
}

void UndoManager::redo()
{
    if (d->context)
        d->context->d->undoStep(false);
}

int UndoManager::undoCount() const
{
    return int(d->undoStack.size());
}

void UndoManager::removeAllActions()
{
    d->undoStack.clear();
    d->redoStack.clear();
    if (d->context)
        d->context->d->undoHistoryChanged();
}

void UndoManager::setLevelsOfUndo(int levels)
{
    d->levels = qMax(0, levels);
    if (d->levels > 0 && int(d->undoStack.size()) > d->levels)
        d->undoStack.erase(d->undoStack.begin(), d->undoStack.end() - d->levels);
    if (d->context)
        d->context->d->undoHistoryChanged();
}

void UndoManager::setDidUndoHandler(std::function<void()> handler)
{
    d->didUndo = std::move(handler);
}

void UndoManager::setWillUndoHandler(std::function<void(const std::vector<ManagedObject*>& removed)> handler)
{
    d->willUndo = std::move(handler);
}

void UndoManager::setDidRedoHandler(std::function<void()> handler)
{
    d->didRedo = std::move(handler);
}

} // namespace qv::store
