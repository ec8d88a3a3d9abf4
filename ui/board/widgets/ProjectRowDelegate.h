#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QStyledItemDelegate>

class QPainter;

namespace qv {

class Preferences;
class ProjectCounterModel;
class ProjectListController;
class TODOList;

// Columns of the project list.
enum ProjectListColumn { QuadrantOverviewColumn = 0, ProjectNameColumn = 1 };

// The counter cell: the four quadrant tiles with their counts, the red overdue badge and the
// archived mark, drawn into rect.
void paintProjectCounters(QPainter& painter, const QRect& rect, const ProjectCounterModel& counters);
// Where paintProjectCounters() puts tile q (0-3) and the badge within rect.
QRect projectCounterTileRect(const QRect& rect, int quadrant);
QRect projectCounterBadgeRect(const QRect& rect);

// Draws the rows of the project list and edits project names. The open name editor holds the
// "projectNameTextCell" lock; every way an edit ends (Return, Tab, Escape, focus elsewhere,
// another project selected, the list closed) commits the text and releases it.
class ProjectRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    ProjectRowDelegate(ProjectListController& controller, Preferences* preferences,
                       QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // The open editor's text goes to its project now (the rows are about to be rebuilt).
    void commitOpenEditor();
    QLineEdit* openEditor() const { return m_editor.data(); }

    // The name cell: where the title and the tag tokens go.
    bool isShowingTags(const QStringList& tags) const;
    QRect rectForTitleIn(const QRect& frame, bool showingTags) const;
    QRect rectForTagsIn(const QRect& frame, bool showingTags) const;
    // The colour of the project's name in a row painted with option.
    QColor nameInk(const TODOList* project, const QStyleOptionViewItem& option) const;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    void paintName(QPainter* painter, const QStyleOptionViewItem& option, TODOList* project) const;

    ProjectListController& m_controller;
    Preferences* m_preferences;
    mutable QPointer<QLineEdit> m_editor;
    mutable TODOList* m_editedProject = nullptr;
};

} // namespace qv
