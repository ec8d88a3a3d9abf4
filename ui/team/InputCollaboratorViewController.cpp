#include "ui/team/InputCollaboratorViewController.h"

#include "core/util/Utils.h"
#include "sync/AvatarManager.h"
#include "sync/CollaborationManager.h"

namespace qv {

InputCollaboratorViewController::InputCollaboratorViewController(CollaborationManager& collaboration,
                                                                 AvatarManager* avatars, QObject* parent)
    : QObject(parent), m_collaboration(collaboration), m_avatars(avatars)
{
}

void InputCollaboratorViewController::setText(const QString& text)
{
    m_text = text;
}

void InputCollaboratorViewController::reset()
{
    m_text.clear();
    emit textChanged(m_text);
    fillCompletions(QString(), false);
    stopProgress();
}

void InputCollaboratorViewController::completeAndEnter(const QString& title)
{
    m_text = title;
    emit textChanged(m_text);
    enterPressed();
}

void InputCollaboratorViewController::enterPressed()
{
    // The delegate may reset this input from its answer; the search uses the text as entered.
    const QString entered = m_text;
    if (Utils::validateEmail(entered) && m_delegate)
        m_delegate->inputCollaborator(*this, entered);
    fillCompletions(entered, true);
    emit completionMenuRequested();
}

void InputCollaboratorViewController::fillCompletions(const QString& search, bool withNotFound)
{
    m_completions.clear();
    for (const User& user : m_collaboration.getCachedCollaboratorsForSearchString(search)) {
        const AvatarImage* avatar = m_avatars ? m_avatars->avatarForEmail(user.username) : nullptr;
        m_completions.append({user.email, avatar ? avatar->smallImage() : QImage(), true});
    }
    if (m_completions.isEmpty() && withNotFound)
        m_completions.append({kNotFound, QImage(), false});
    emit completionsChanged();
}

void InputCollaboratorViewController::setInProgress(bool inProgress)
{
    if (m_inProgress == inProgress)
        return;
    m_inProgress = inProgress;
    emit progressChanged(inProgress);
}

} // namespace qv
