#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace qv::store {

class Context;
class ManagedObject;

// One undo group per change event. Undo and redo are themselves ordinary change events
// (announced to the context's observers) followed by the did-undo / did-redo callbacks.
class UndoManager {
public:
    UndoManager();
    ~UndoManager();
    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;

    bool canUndo() const;
    bool canRedo() const;
    void undo();
    void redo();
    int undoCount() const;
    void removeAllActions();
    // 0 = unlimited.
    void setLevelsOfUndo(int levels);

    void setDidUndoHandler(std::function<void()> handler);
    // Called before an undo with the live objects it is about to take out (those its change
    // inserted), while they still hold their values; the handler only reads.
    void setWillUndoHandler(std::function<void(const std::vector<ManagedObject*>& removed)> handler);
    void setDidRedoHandler(std::function<void()> handler);

private:
    friend class Context;
    friend struct ContextPrivate;
    std::unique_ptr<struct UndoManagerPrivate> d;
};

} // namespace qv::store
