#pragma once

#include <QListWidget>

#include <functional>

namespace qv {

// A list of tag tokens in which the Delete key asks for the selected tags to be deleted (the
// tag filter panels answer with their own confirmation); the list's own key handling still runs.
class TokenCollectionView final : public QListWidget {
    Q_OBJECT
public:
    using DeleteHandler = std::function<void(TokenCollectionView* view)>;

    explicit TokenCollectionView(QWidget* parent = nullptr);
    // Without a handler Delete does only what the list itself does.
    void setDeleteHandler(DeleteHandler handler) { m_deleteHandler = std::move(handler); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    DeleteHandler m_deleteHandler;
};

} // namespace qv
