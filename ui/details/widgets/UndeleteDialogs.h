#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;

namespace qv {

class ItemUndeleteCandidates;
class MyDocument;
class ProjectListView;
class ProjectUndeleteCandidates;
class UndeleteCandidates;
struct Services;

// A trash bin: its candidates with a tick each, "Restore" for the ticked ones, "Close".
// refreshRequested() follows a restore: the window rearranges the board (refreshController).
class UndeleteDialog : public QDialog {
    Q_OBJECT
public:
    QListWidget* candidateList() const { return m_list; }
    QPushButton* restoreButton() const { return m_restore; }
    // Restores the ticked candidates; answers how many.
    int restoreTicked();
    void clearUndeleteCandidates();

signals:
    void refreshRequested();

protected:
    UndeleteDialog(UndeleteCandidates& candidates, const QString& title, const QString& emptyText,
                   QWidget* parent);
    void showCandidates();
    UndeleteCandidates& baseCandidates() const { return m_candidates; }

private:
    UndeleteCandidates& m_candidates;
    QString m_emptyText;
    QListWidget* m_list = nullptr;
    QPushButton* m_restore = nullptr;
    bool m_showing = false;
};

// The trash bin of the selected project's items.
class UndeleteViewController final : public UndeleteDialog {
    Q_OBJECT
public:
    UndeleteViewController(MyDocument& document, const Services& services, QWidget* parent = nullptr);
    ItemUndeleteCandidates& candidates() const { return *m_candidates; }
    // The selected project's trashed and removed items, none ticked.
    void loadUndeleteCandidates();

private:
    ItemUndeleteCandidates* m_candidates;
};

// The trash bin of deleted projects. list: the project list they go back to (may be nullptr).
class UndeleteProjectViewController final : public UndeleteDialog {
    Q_OBJECT
public:
    UndeleteProjectViewController(MyDocument& document, const Services& services, ProjectListView* list,
                                  QWidget* parent = nullptr);
    ProjectUndeleteCandidates& candidates() const { return *m_candidates; }
    void loadUndeleteCandidates();

private:
    ProjectUndeleteCandidates* m_candidates;
};

} // namespace qv
