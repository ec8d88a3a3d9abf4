#pragma once

#include <QToolButton>

#include <functional>

namespace qv {

class ValueTransformerRegistry;

// The status bar's account button: who is signed in and whether the sync engine is online, with
// the signed-in user's picture (or the sign-in picture); its menu holds the account commands.
class LoginStatusButton final : public QToolButton {
    Q_OBJECT
public:
    // currentUser gives the signed-in e-mail (empty: nobody); the registry must outlive the button.
    LoginStatusButton(const ValueTransformerRegistry& transformers, std::function<QString()> currentUser,
                      QWidget* parent = nullptr);

    // Reads the title and picture again: the transformers look up the newest avatar.
    void redisplay();
    // A copy with no sync server: nothing to sign in to, and the reason on the button and its menu.
    void showNoSyncServer(const QString& reason);

private:
    const ValueTransformerRegistry& m_transformers;
    std::function<QString()> m_currentUser;
};

} // namespace qv
