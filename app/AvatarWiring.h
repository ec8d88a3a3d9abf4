#pragma once

namespace qv {

class AvatarManager;
class MainWindow;

// Item rows show their owner's picture once one is known (until then the initial on a disc),
// and redraw when a picture arrives.
void showAvatarsInRows(AvatarManager& avatars, MainWindow& window);

} // namespace qv
