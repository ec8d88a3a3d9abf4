#include "ui/team/widgets/SimpleCollaboratorsView.h"

#include "core/util/FontSizeTiers.h"
#include "platform/Preferences.h"
#include "ui/board/BoardImages.h"
#include "ui/board/widgets/PeopleMenuView.h"
#include "ui/team/CollaboratorRowsModel.h"
#include "ui/team/SimpleCollaboratorsController.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {

namespace {

// Clicks on the check box column toggle the invitation without touching the selection.
class InviteClickFilter : public QObject {
public:
    InviteClickFilter(QTableView* table, SimpleCollaboratorsController& controller)
        : QObject(table), m_table(table), m_controller(controller)
    {
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
            return false;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = m_table->indexAt(mouse->position().toPoint());
        if (!index.isValid() || index.column() != CollaboratorRowsModel::InviteState)
            return false;
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton)
            m_controller.inviteUninviteCollaborator(index.row());
        return true;
    }

private:
    QTableView* m_table;
    SimpleCollaboratorsController& m_controller;
};

QToolButton* toolButton(const QString& text, const QString& tip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

} // namespace

SimpleCollaboratorsView::SimpleCollaboratorsView(SimpleCollaboratorsController& controller,
                                                 Preferences* preferences, QWidget* parent)
    : QWidget(parent), m_controller(controller), m_preferences(preferences)
{
    m_add = toolButton(QStringLiteral("+"), QStringLiteral("Invite someone to this project"), this);
    m_remove = toolButton(QStringLiteral("−"), QStringLiteral("Remove people from this project"), this);
    m_refresh = toolButton(QString(), QStringLiteral("Refresh the team"), this);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setMaximumSize(48, 6);
    m_offline = new QLabel(QStringLiteral("Offline"), this);
    m_offline->setEnabled(false);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(4, 2, 4, 2);
    bar->setSpacing(2);
    bar->addWidget(m_add);
    bar->addWidget(m_remove);
    bar->addStretch(1);
    bar->addWidget(m_offline);
    bar->addWidget(m_progress);
    bar->addWidget(m_refresh);

    m_model = new CollaboratorRowsModel(m_controller, this);
    m_table = new QTableView(this);
    m_table->setModel(m_model);
    m_table->setObjectName(QStringLiteral("teamTable"));
    m_table->horizontalHeader()->hide();
    m_table->verticalHeader()->hide();
    m_table->setShowGrid(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->horizontalHeader()->setSectionResizeMode(CollaboratorRowsModel::InviteState,
                                                      QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(CollaboratorRowsModel::Person, QHeaderView::Stretch);
    m_table->horizontalHeader()->setMinimumSectionSize(8);
    m_table->setTextElideMode(Qt::ElideMiddle);
    m_table->viewport()->installEventFilter(new InviteClickFilter(m_table, m_controller));
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(bar);
    layout->addWidget(m_table, 1);

    // The team menu: the people to invite in its first entry's submenu, then the commands.
    m_teamMenu = new QMenu(this);
    QMenu* share = m_teamMenu->addMenu(QStringLiteral("Share project"));
    connect(share, &QMenu::aboutToShow, this, [this, share] { fillInvitingMenu(share); });
    m_teamMenu->addSeparator();
    connect(m_teamMenu->addAction(QStringLiteral("Invite Selected…")), &QAction::triggered, &m_controller,
            &SimpleCollaboratorsController::inviteCollaborators);
    connect(m_teamMenu->addAction(QStringLiteral("Remove Selected…")), &QAction::triggered, &m_controller,
            &SimpleCollaboratorsController::removeCollaborators);
    m_teamMenu->addSeparator();
    connect(m_teamMenu->addAction(QStringLiteral("Email Selected")), &QAction::triggered, &m_controller,
            &SimpleCollaboratorsController::emailSelectedTeam);
    connect(m_teamMenu->addAction(QStringLiteral("Email All Team")), &QAction::triggered, &m_controller,
            &SimpleCollaboratorsController::emailAllTeam);
    m_teamMenu->addSeparator();
    connect(m_teamMenu->addAction(QStringLiteral("Refresh")), &QAction::triggered, &m_controller,
            &SimpleCollaboratorsController::refresh);
    connect(m_table, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_teamMenu->popup(m_table->viewport()->mapToGlobal(at)); });

    connect(m_add, &QToolButton::clicked, this, [this] { openInput(true, m_add); });
    connect(m_remove, &QToolButton::clicked, &m_controller,
            &SimpleCollaboratorsController::removeCollaborators);
    connect(m_refresh, &QToolButton::clicked, &m_controller, &SimpleCollaboratorsController::refresh);
    connect(&m_controller, &SimpleCollaboratorsController::addInputRequested, this,
            [this] { openInput(true, m_add); });
    connect(&m_controller, &SimpleCollaboratorsController::removeInputRequested, this,
            [this] { openInput(false, m_remove); });
    connect(&m_controller, &SimpleCollaboratorsController::buttonsEnabledChanged, this, [this](bool enabled) {
        m_add->setEnabled(enabled);
        m_remove->setEnabled(enabled);
        m_refresh->setEnabled(enabled && !m_controller.isBusy());
    });
    connect(&m_controller, &SimpleCollaboratorsController::progressChanged, this,
            &SimpleCollaboratorsView::updateProgress);
    connect(&m_controller, &SimpleCollaboratorsController::onlineChanged, this,
            &SimpleCollaboratorsView::updateProgress);
    connect(&m_controller, &SimpleCollaboratorsController::rowsChanged, this,
            &SimpleCollaboratorsView::showSelection);
    connect(&m_controller, &SimpleCollaboratorsController::selectionChanged, this,
            &SimpleCollaboratorsView::showSelection);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_showingSelection)
            return;
        QList<int> rows;
        for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
            rows << index.row();
        m_controller.setSelectionIndexes(rows);
    });
    m_controller.setMailOpener([](const QUrl& url) { QDesktopServices::openUrl(url); });
    if (m_preferences) {
        connect(m_preferences, &Preferences::changed, this, [this](const QString& key) {
            if (key == FontSizeTiers::key())
                applyFontSize();
        });
    }

    m_add->setEnabled(m_controller.buttonsEnabled());
    m_remove->setEnabled(m_controller.buttonsEnabled());
    applyFontSize();
    updateProgress();
    showSelection();
}

void SimpleCollaboratorsView::fillInvitingMenu(QMenu* menu)
{
    menu->clear();
    QAction* add = menu->addAction(SimpleCollaboratorsController::kNewTeamMember);
    add->setIcon(
        QIcon(QPixmap::fromImage(BoardImages::imageNamed(QStringLiteral("UI_Icon_all_no_assignee_40")))));
    connect(add, &QAction::triggered, this, [this] { openInput(true, m_add); });
    PeopleMenuView::fill(
        menu, m_controller.invitingMenu(),
        [this](const QString& email) { return m_controller.avatarFor(email); },
        [this](const PeopleMenu::Entry& entry) { m_controller.addOwnerForMenu(entry.title); });
}

void SimpleCollaboratorsView::showEvent(QShowEvent* event)
{
    if (m_refresh->icon().isNull())
        m_refresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    QWidget::showEvent(event);
}

void SimpleCollaboratorsView::openInput(bool adding, QWidget* anchor)
{
    if (m_openInput)
        m_openInput(adding, anchor);
    else
        askForAddress(adding);
}

void SimpleCollaboratorsView::askForAddress(bool adding)
{
    QDialog dialog(window());
    dialog.setWindowTitle(QStringLiteral("Email:"));
    auto* field = new QLineEdit(&dialog);
    field->setMinimumSize(280, 24);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Email:"), &dialog));
    layout->addWidget(field);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    field->setFocus();
    if (dialog.exec() == QDialog::Accepted)
        m_controller.inputCollaborator(adding, field->text().trimmed());
}

void SimpleCollaboratorsView::showSelection()
{
    m_showingSelection = true;
    QItemSelection selection;
    for (int row : m_controller.selectionIndexes())
        selection.select(m_model->index(row, 0), m_model->index(row, m_model->columnCount() - 1));
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_showingSelection = false;
}

void SimpleCollaboratorsView::updateProgress()
{
    const bool online = m_controller.isOnline();
    m_offline->setVisible(!online);
    m_progress->setVisible(online && m_controller.isBusy());
    m_refresh->setEnabled(m_controller.buttonsEnabled() && !m_controller.isBusy());
}

void SimpleCollaboratorsView::applyFontSize()
{
    QFont font = this->font();
    int rowHeight = 28;
    if (m_preferences) {
        font.setPixelSize(int(FontSizeTiers::currentFontSize(*m_preferences)));
        rowHeight = int(FontSizeTiers::currentQuadrantRowHeight(*m_preferences));
    }
    m_table->setFont(font);
    const int avatar = std::max(16, rowHeight - 6);
    m_table->setIconSize(QSize(avatar, avatar));
    m_table->verticalHeader()->setMinimumSectionSize(rowHeight);
    m_table->verticalHeader()->setDefaultSectionSize(rowHeight);
}

} // namespace qv
