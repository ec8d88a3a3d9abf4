#include "ui/details/widgets/PanelsControl.h"

#include "platform/Preferences.h"
#include "ui/board/ArrayController.h"
#include "ui/board/widgets/BoardWidgetsLogging.h"
#include "ui/board/widgets/SmallViews.h"

#include <QAction>
#include <QIcon>
#include <QPixmap>

namespace qv {

namespace {

struct Segment {
    const char* title;
    const char* key;
    bool inverted;
};
constexpr std::array<Segment, 4> kSegments{{
    {"Inbox", "kShowingInbox", false},
    {"Projects", "kHideProjects", true},
    {"Team", "kShowingFeed", false},
    {"Details", "kShowingDetail", false},
}};

// The toolbar's icon height.
constexpr int kCountHeight = 22;

} // namespace

PanelsControl::PanelsControl(Preferences& preferences, const ArrayController* inboxItems, QObject* parent)
    : QObject(parent), m_preferences(preferences), m_inboxItems(inboxItems)
{
    for (size_t i = 0; i < kSegments.size(); ++i) {
        auto* segment = new QAction(this);
        segment->setCheckable(true);
        segment->setToolTip(tr("Show or hide the %1 column").arg(tr(kSegments[i].title).toLower()));
        m_segments[i] = segment;
        connect(segment, &QAction::triggered, this, [this, i] { segmentToggled(int(i)); });
    }
    connect(&preferences, &Preferences::changed, this, [this](const QString& key) {
        for (const Segment& segment : kSegments) {
            if (key == QLatin1String(segment.key))
                refresh();
        }
    });
    if (inboxItems)
        connect(inboxItems, &ArrayController::arrangedObjectsChanged, this, &PanelsControl::refresh);
    refresh();
}

void PanelsControl::segmentToggled(int index)
{
    qCDebug(lcBoardWidgets, "Selected segment: %ld", long(index));
    const Segment& segment = kSegments[size_t(index)];
    const bool selected = m_segments[size_t(index)]->isChecked();
    m_preferences.setValue(QString::fromLatin1(segment.key), segment.inverted ? !selected : selected);
}

void PanelsControl::setTeamCount(int count)
{
    if (count == m_teamCount)
        return;
    m_teamCount = count;
    refresh();
}

void PanelsControl::refresh()
{
    for (size_t i = 0; i < kSegments.size(); ++i) {
        const Segment& segment = kSegments[i];
        const bool on = m_preferences.boolValue(QString::fromLatin1(segment.key));
        m_segments[i]->setChecked(segment.inverted ? !on : on);
        m_segments[i]->setText(tr(segment.title));
    }
    showCount(kInboxSegment, m_inboxItems ? m_inboxItems->arrangedCount() : 0);
    showCount(kTeamSegment, m_teamCount);
}

void PanelsControl::showCount(int index, qint64 count)
{
    qint64& shown = m_shownCounts[size_t(index)];
    if (count == shown)
        return;
    shown = count;
    m_segments[size_t(index)]->setIcon(
        count >= 1 ? QIcon(QPixmap::fromImage(PanelSegmentedControl::imageForCount(count, kCountHeight)))
                   : QIcon());
}

} // namespace qv
