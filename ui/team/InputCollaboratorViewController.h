#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

namespace qv {

class AvatarManager;
class CollaborationManager;
class InputCollaboratorViewController;

// Told about an address typed or picked in an input (the team panel, for its add and remove
// inputs).
class InputCollaboratorDelegate {
public:
    virtual ~InputCollaboratorDelegate() = default;
    virtual void inputCollaborator(InputCollaboratorViewController& input, const QString& email) = 0;
};

// One entry of the input's completion menu: a cached collaborator, or "Not Found".
struct CollaboratorCompletion {
    QString title;       // the e-mail address, or "Not Found"
    QImage image;        // the person's small avatar; null when none is known
    bool enabled = true; // "Not Found" does nothing when chosen

    bool operator==(const CollaboratorCompletion&) const = default;
};

// The content of the popovers in which the user types or picks the address of a person to
// invite to, or remove from, the shown project. Display-free: the view shows text(),
// completions() and the progress, forwards what the user types and does, and pops the
// completion menu up when asked.
class InputCollaboratorViewController : public QObject {
    Q_OBJECT
public:
    static inline const QString kNotFound = QStringLiteral("Not Found");

    // Without avatars the completions carry no pictures.
    explicit InputCollaboratorViewController(CollaborationManager& collaboration,
                                             AvatarManager* avatars = nullptr, QObject* parent = nullptr);

    InputCollaboratorDelegate* delegate() const { return m_delegate; }
    void setDelegate(InputCollaboratorDelegate* delegate) { m_delegate = delegate; }

    // The field's text; the view sets it as the user types.
    const QString& text() const { return m_text; }
    void setText(const QString& text);
    const QList<CollaboratorCompletion>& completions() const { return m_completions; }
    bool isInProgress() const { return m_inProgress; }

    // An empty field, one completion per cached collaborator (sorted by e-mail), no progress.
    void reset();
    void startProgress() { setInProgress(true); }
    void stopProgress() { setInProgress(false); }
    // A completion chosen: its title goes into the field, then as enterPressed().
    void completeAndEnter(const QString& title);
    // Return in the field: an address goes to the delegate; then the completions matching the
    // text (or "Not Found") are offered in the menu.
    void enterPressed();

signals:
    // The controller changed the text (reset, a completion chosen).
    void textChanged(const QString& text);
    void completionsChanged();
    void progressChanged(bool inProgress);
    // Pop the completion menu up at the field and give the field the focus again.
    void completionMenuRequested();

private:
    void fillCompletions(const QString& search, bool withNotFound);
    void setInProgress(bool inProgress);

    CollaborationManager& m_collaboration;
    AvatarManager* m_avatars;
    InputCollaboratorDelegate* m_delegate = nullptr;
    QString m_text;
    QList<CollaboratorCompletion> m_completions;
    bool m_inProgress = false;
};

} // namespace qv
