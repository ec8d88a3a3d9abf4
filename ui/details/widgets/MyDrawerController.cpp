#include "ui/details/widgets/MyDrawerController.h"

#include "core/model/TODOItem.h"
#include "ui/details/DrawerModel.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStackedLayout>
#include <QTabWidget>
#include <QVBoxLayout>

namespace qv {

namespace {

// A folded feed pane is one lower than this.
constexpr int kFoldedFeedHeight = 80;

QWidget* emptyPlace(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setEnabled(false);
    return label;
}

QWidget* placeWithLayout(QWidget* parent, const char* name)
{
    auto* place = new QWidget(parent);
    place->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(place);
    layout->setContentsMargins(0, 0, 0, 0);
    return place;
}

} // namespace

MyDrawerController::MyDrawerController(MyDocument&, const Services&, QWidget* parent)
    : QWidget(parent), m_model(new DrawerModel(this))
{
    setObjectName(QStringLiteral("itemDrawer"));
    setAutoFillBackground(true);
    setMinimumWidth(200);
    m_pages = new QStackedLayout(this);

    m_emptyLabel = new QLabel(tr("No item selected"), this);
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setEnabled(false);
    m_pages->addWidget(m_emptyLabel);

    m_split = new QSplitter(Qt::Vertical, this);
    m_split->setObjectName(QStringLiteral("drawerSplitView"));
    m_split->setChildrenCollapsible(true);
    m_tabs = new QTabWidget(m_split);
    m_tabs->setDocumentMode(true);
    m_tabs->addTab(buildDetails(), tr("Details"));
    m_filesPlace = placeWithLayout(m_tabs, "filesPlace");
    m_filesEmpty = emptyPlace(tr("Files attached to the item are listed here."), m_filesPlace);
    m_filesPlace->layout()->addWidget(m_filesEmpty);
    m_tabs->addTab(m_filesPlace, tr("Files"));
    m_feedPlace = placeWithLayout(m_split, "feedPlace");
    m_feedEmpty = emptyPlace(tr("Comments and history of the item are shown here."), m_feedPlace);
    m_feedPlace->layout()->addWidget(m_feedEmpty);
    m_split->addWidget(m_tabs);
    m_split->addWidget(m_feedPlace);
    m_split->setStretchFactor(0, 2);
    m_split->setStretchFactor(1, 1);
    m_pages->addWidget(m_split);

    connect(m_model, &DrawerModel::changed, this, &MyDrawerController::refresh);
    refresh();
}

MyDrawerController::~MyDrawerController()
{
    commitEdits();
}

QWidget* MyDrawerController::buildDetails()
{
    auto* details = new QWidget;
    details->setObjectName(QStringLiteral("detailsPlace"));
    auto* layout = new QVBoxLayout(details);
    layout->setContentsMargins(10, 10, 10, 10);
    auto* nameLabel = new QLabel(tr("Name"), details);
    m_name = new QLineEdit(details);
    auto* notesLabel = new QLabel(tr("Notes"), details);
    m_notes = new QPlainTextEdit(details);
    m_notes->setTabChangesFocus(true);
    layout->addWidget(nameLabel);
    layout->addWidget(m_name);
    layout->addWidget(notesLabel);
    layout->addWidget(m_notes, 1);

    connect(m_name, &QLineEdit::editingFinished, this, [this] {
        if (!m_shown || m_refreshing)
            return;
        if (!DrawerModel::writeName(m_shown, m_name->text()))
            m_name->setText(m_shown->name());
        m_name->setModified(false);
    });
    m_notes->installEventFilter(this);
    return details;
}

void MyDrawerController::setArrayController(ArrayController* controller)
{
    m_model->setArrayController(controller);
}

ArrayController* MyDrawerController::arrayController() const
{
    return m_model->arrayController();
}

bool MyDrawerController::isOpen() const
{
    return m_model->isOpen();
}

TODOItem* MyDrawerController::getItem() const
{
    return m_model->getItem();
}

void MyDrawerController::setFeedView(QWidget* view)
{
    placeView(m_feedPlace, m_feedView, view, m_feedEmpty);
}

void MyDrawerController::setFilesView(QWidget* view)
{
    placeView(m_filesPlace, m_filesView, view, m_filesEmpty);
}

void MyDrawerController::placeView(QWidget* place, QPointer<QWidget>& current, QWidget* view, QWidget* empty)
{
    if (view == current)
        return;
    delete current.data();
    current = view;
    if (view) {
        view->setParent(place);
        place->layout()->addWidget(view);
        view->show();
    }
    empty->setVisible(!view);
}

void MyDrawerController::toggleFeed()
{
    const QList<int> sizes = m_split->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    const bool folded = !m_feedPlace->isVisible() || sizes.value(1) < kFoldedFeedHeight;
    if (folded) {
        const int details = total * 2 / 3;
        m_split->setSizes({details, total - details});
    } else {
        m_split->setSizes({total, 0});
    }
}

void MyDrawerController::commitEdits()
{
    if (!m_shown || m_shown->isDeleted())
        return;
    if (m_name->isModified()) {
        if (!DrawerModel::writeName(m_shown, m_name->text()))
            m_name->setText(m_shown->name());
        m_name->setModified(false);
    }
    if (m_notes->document()->isModified()) {
        DrawerModel::writeNotes(m_shown, m_notes->toPlainText());
        m_notes->document()->setModified(false);
    }
}

bool MyDrawerController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_notes && event->type() == QEvent::FocusOut)
        commitEdits();
    return QWidget::eventFilter(watched, event);
}

void MyDrawerController::refresh()
{
    TODOItem* item = m_model->getItem();
    const bool otherItem = item != m_shown;
    if (otherItem) {
        // What was typed belongs to the item it was typed for.
        commitEdits();
        m_shown = item;
        m_refreshing = true;
        m_name->setText(item ? item->name() : QString());
        m_name->setModified(false);
        m_notes->setPlainText(item ? item->descriptionText() : QString());
        m_notes->document()->setModified(false);
        m_refreshing = false;
    } else if (item) {
        // A change made elsewhere shows, unless the user is typing in that field.
        m_refreshing = true;
        if (!m_name->isModified() && m_name->text() != item->name())
            m_name->setText(item->name());
        if (!m_notes->document()->isModified() && m_notes->toPlainText() != item->descriptionText()) {
            m_notes->setPlainText(item->descriptionText());
            m_notes->document()->setModified(false);
        }
        m_refreshing = false;
    }
    m_pages->setCurrentIndex(item ? 1 : 0);
    QPalette colors = palette();
    colors.setColor(QPalette::Window, m_model->backgroundColor());
    setPalette(colors);
    const bool open = m_model->isOpen();
    if (open != m_wasOpen) {
        m_wasOpen = open;
        emit openChanged(open);
    }
    if (otherItem)
        emit itemChanged(item);
}

} // namespace qv
