#pragma once

#include <QList>
#include <QObject>

#include <array>

class QAction;

namespace qv {

class ArrayController;
class Preferences;

// The toolbar's four-segment panel control, as four checkable actions: inbox, projects, team
// feed and item detail. Each segment flips its preference ("kShowingInbox", "kHideProjects" in the inverted
// sense, "kShowingFeed", "kShowingDetail") and follows it; the inbox segment counts the inbox items and
// the team segment the pending shared projects, each as a red number for its icon.
class PanelsControl : public QObject {
    Q_OBJECT
public:
    static constexpr int kInboxSegment = 0;
    static constexpr int kTeamSegment = 2;

    PanelsControl(Preferences& preferences, const ArrayController* inboxItems, QObject* parent = nullptr);

    QAction* segment(int index) const { return m_segments[size_t(index)]; }
    QList<QAction*> segments() const { return {m_segments.begin(), m_segments.end()}; }
    // The team segment counts the projects shared with the user and not yet answered.
    void setTeamCount(int count);

private:
    void segmentToggled(int index);
    void refresh();
    void showCount(int index, qint64 count);

    Preferences& m_preferences;
    const ArrayController* m_inboxItems;
    std::array<QAction*, 4> m_segments{};
    int m_teamCount = 0;
    std::array<qint64, 4> m_shownCounts{};
};

} // namespace qv
