#pragma once

namespace qv {

class AvatarManager;
class MainWindow;
class QVRestManager;
class Scheduler;

// Item rows show their owner's picture once one is known (until then the initial on a disc),
// and redraw when a picture arrives, and, while online, 2 s after a row found one missing.
void showAvatarsInRows(AvatarManager& avatars, QVRestManager& engine, MainWindow& window,
                       Scheduler& scheduler);
// The account button shows the signed-in user's picture, grey while offline, and redraws when
// it arrives.
void showAvatarInLoginButton(AvatarManager& avatars, QVRestManager& engine, MainWindow& window);

} // namespace qv
