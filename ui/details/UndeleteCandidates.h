#pragma once

#include <QObject>
#include <QString>

#include <vector>

namespace qv {

namespace store {
class ManagedObject;
}

class MyDocument;
class ProjectListController;
class TODOItem;
class TODOList;

// The trash bins' lists: the candidates (trashed or removed items of one project, or deleted
// projects), each with a tick, and the restore of the ticked ones.
class UndeleteCandidates : public QObject {
    Q_OBJECT
public:
    struct Candidate {
        store::ManagedObject* object = nullptr;
        bool ticked = false;
    };

    using QObject::QObject;

    int count() const { return int(m_candidates.size()); }
    const std::vector<Candidate>& candidates() const { return m_candidates; }
    store::ManagedObject* candidateAt(int row) const;
    bool isTicked(int row) const;
    void setTicked(int row, bool ticked);
    int tickedCount() const;
    void clearUndeleteCandidates();

    // Restores the ticked candidates and drops them from the list; answers how many.
    virtual int restoreTicked() = 0;

signals:
    void candidatesChanged();
    // The board must be rearranged (the window's refreshController).
    void refreshRequested();

protected:
    void setCandidates(const std::vector<store::ManagedObject*>& objects);
    std::vector<store::ManagedObject*> takeTicked();

private:
    std::vector<Candidate> m_candidates;
};

// Items of a project in state 2 (trash) or 3 (removed).
class ItemUndeleteCandidates final : public UndeleteCandidates {
    Q_OBJECT
public:
    explicit ItemUndeleteCandidates(MyDocument& document, QObject* parent = nullptr);

    // The selected project's candidates (none without a selected project).
    void loadUndeleteCandidates();
    void loadUndeleteCandidates(TODOList* project);
    TODOList* project() const { return m_project; }

    // Completed items come back completed, the others open; each is marked for upload.
    int restoreTicked() override;

private:
    MyDocument& m_document;
    TODOList* m_project = nullptr;
};

// Projects in state 2 (trash) or 3 (removed).
class ProjectUndeleteCandidates final : public UndeleteCandidates {
    Q_OBJECT
public:
    // list: the project list that files projects back in (may be nullptr).
    ProjectUndeleteCandidates(MyDocument& document, ProjectListController* list, QObject* parent = nullptr);

    void loadUndeleteCandidates();
    // Back to open, marked for upload, listed again.
    int restoreTicked() override;

private:
    MyDocument& m_document;
    ProjectListController* m_list;
};

// The text a candidate is listed with.
QString undeleteCandidateTitle(const store::ManagedObject* object);

} // namespace qv
