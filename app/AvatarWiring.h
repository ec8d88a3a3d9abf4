#pragma once

namespace qv {

class AvatarManager;
class MainWindow;
class QVRestManager;

// Item rows show their owner's picture once one is known (until then the initial on a disc),
// and redraw when a picture arrives.
void showAvatarsInRows(AvatarManager& avatars, MainWindow& window);
// The account button shows the signed-in user's picture, grey while offline, and redraws when
// it arrives.
void showAvatarInLoginButton(AvatarManager& avatars, QVRestManager& engine, MainWindow& window);

} // namespace qv
