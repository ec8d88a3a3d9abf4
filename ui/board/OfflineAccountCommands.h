#pragma once

#include "ui/board/AccountCommands.h"

namespace qv {

// Until signing in exists: nobody is signed in and the account commands say why they are off.
class OfflineAccountCommands final : public AccountCommands {
public:
    bool isAvailable() const override { return false; }
    QString unavailableReason() const override;
    std::optional<AccountUser> currentUser() const override { return std::nullopt; }
    void sync(std::function<void()>) override {}
    void login(std::function<void()>) override {}
    void logout() override {}
};

// Opens the pages in the desktop's browser until there is one inside the application.
class DesktopBrowser final : public InternalBrowser {
public:
    // opener: where URLs go; the desktop's handler when empty.
    explicit DesktopBrowser(std::function<bool(const QUrl&)> opener = {});
    void showURLInInternalWebBrowser(const QUrl& url) override;

private:
    std::function<bool(const QUrl&)> m_opener;
};

} // namespace qv
