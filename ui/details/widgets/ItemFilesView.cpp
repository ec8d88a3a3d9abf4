#include "ui/details/widgets/ItemFilesView.h"

#include "sync/FileManager.h"
#include "ui/board/PlainText.h"
#include "ui/board/ScreenCapture.h"
#include "ui/details/ItemFilesController.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QGridLayout>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QMimeDatabase>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qv {

ItemFilesModel::ItemFilesModel(ItemFilesController& controller, QObject* parent)
    : QAbstractListModel(parent), m_controller(controller)
{
    connect(&m_controller, &ItemFilesController::entriesChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int ItemFilesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_controller.entries().size());
}

QVariant ItemFilesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= m_controller.entries().size())
        return {};
    const auto& entry = m_controller.entries()[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return entry.name;
    case Qt::ToolTipRole:
        return PlainText::toolTip(entry.name);
    case Qt::DecorationRole:
        return iconForName(entry.name);
    default:
        return {};
    }
}

QIcon ItemFilesModel::iconForName(const QString& name)
{
    // By the name alone: the file need not be on this computer.
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    // The style's file icon where the desktop names no icon theme.
    static const QFileIconProvider provider;
    return QIcon::fromTheme(
        type.iconName(),
        QIcon::fromTheme(type.genericIconName(), provider.icon(QAbstractFileIconProvider::File)));
}

bool ItemFilesModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid())
        return false;
    const QString name = value.toString().trimmed();
    if (name.isEmpty())
        return false;
    m_controller.renameFile(index.row(), name);
    return true;
}

Qt::ItemFlags ItemFilesModel::flags(const QModelIndex& index) const
{
    return QAbstractListModel::flags(index) | Qt::ItemIsEditable;
}

ItemFilesView::ItemFilesView(ItemFilesController& controller, FileManager& files, ScreenCapture* capture,
                             QWidget* parent)
    : QWidget(parent), m_controller(controller), m_files(files), m_screen(capture)
{
    m_model = new ItemFilesModel(controller, this);
    m_grid = new QListView(this);
    m_grid->setObjectName(QStringLiteral("filesGrid"));
    m_grid->setViewMode(QListView::IconMode);
    m_grid->setResizeMode(QListView::Adjust);
    m_grid->setMovement(QListView::Static);
    m_grid->setWordWrap(true);
    m_grid->setIconSize(QSize(48, 48));
    m_grid->setGridSize(QSize(96, 84));
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    m_grid->setModel(m_model);
    m_grid->setAcceptDrops(true);
    m_grid->viewport()->setAcceptDrops(true);
    m_grid->viewport()->installEventFilter(this);
    m_grid->installEventFilter(this);
    connect(m_grid, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
        if (selectedRows().size() == 1)
            m_controller.openFile(index.row());
    });
    connect(m_grid, &QWidget::customContextMenuRequested, this, &ItemFilesView::showMenu);

    auto* upload = new QPushButton(tr("Upload…"), this);
    connect(upload, &QPushButton::clicked, this, &ItemFilesView::showFileUploadDialog);
    m_capture = new QPushButton(tr("Screen Shot"), this);
    QString why;
    m_capture->setEnabled(m_screen && m_screen->isAvailable(&why));
    m_capture->setToolTip(m_capture->isEnabled() ? tr("Attach a region of the screen") : why);
    connect(m_capture, &QPushButton::clicked, this, &ItemFilesView::captureSelectionFromScreen);
    auto* download = new QPushButton(tr("Download…"), this);
    connect(download, &QPushButton::clicked, this, &ItemFilesView::downloadSelectedFiles);
    auto* remove = new QPushButton(tr("Delete"), this);
    connect(remove, &QPushButton::clicked, this, &ItemFilesView::deleteSelectedFiles);

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(6);
    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText); // it names files
    m_status->setObjectName(QStringLiteral("filesStatus"));
    // The longer notices (offline, quota) take the lines they need in a drawer of any width and
    // at any font size; the grid above gives up the room.
    m_status->setWordWrap(true);

    // Two by two: four in a row are cut short in a drawer of the usual width.
    auto* buttons = new QGridLayout;
    buttons->addWidget(upload, 0, 0);
    buttons->addWidget(m_capture, 0, 1);
    buttons->addWidget(download, 1, 0);
    buttons->addWidget(remove, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    connect(&m_files, &FileManager::statusChanged, this, &ItemFilesView::updateStatus);
    connect(&m_controller, &ItemFilesController::statusMessage, m_status, &QLabel::setText);
    updateStatus();
}

std::vector<int> ItemFilesView::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_grid->selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ItemFilesView::updateStatus()
{
    const std::optional<double> progress = m_files.upDownPctg();
    m_progress->setVisible(progress.has_value());
    m_progress->setValue(int(progress.value_or(0)));
    m_status->setText(m_files.operationMessage());
}

void ItemFilesView::showFileUploadDialog()
{
    m_grid->clearSelection();
    const QStringList paths = QFileDialog::getOpenFileNames(this, tr("Upload files"));
    if (!paths.isEmpty())
        m_controller.uploadFiles(paths);
}

void ItemFilesView::captureSelectionFromScreen()
{
    if (!m_screen || !m_capture->isEnabled())
        return;
    m_screen->captureSelection([this](const QImage& image) { m_controller.uploadCapture(image); });
}

void ItemFilesView::downloadSelectedFiles()
{
    const std::vector<int> rows = selectedRows();
    if (rows.empty())
        return;
    QFileDialog dialog(this, tr("Save to folder"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, tr("Save to folder"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_controller.downloadFiles(rows, dialog.selectedFiles().first());
}

void ItemFilesView::deleteSelectedFiles()
{
    m_controller.deleteFiles(selectedRows());
}

void ItemFilesView::showMenu(const QPoint& at)
{
    const QModelIndex index = m_grid->indexAt(at);
    if (!index.isValid())
        return;
    if (!m_grid->selectionModel()->isSelected(index))
        m_grid->setCurrentIndex(index);
    const int row = index.row();
    QMenu menu(this);
    menu.addAction(tr("Open"), this, [this, row] { m_controller.openFile(row); });
    menu.addAction(tr("Download…"), this, &ItemFilesView::downloadSelectedFiles);
    menu.addAction(tr("Rename"), this, [this, index] { m_grid->edit(index); });
    menu.addAction(tr("Delete"), this, &ItemFilesView::deleteSelectedFiles);
    menu.addSeparator();
    menu.addAction(tr("Copy Private Link"), this, [this, row] { m_controller.copyPrivateLink(row); });
    menu.addAction(tr("Copy Public Link"), this, [this, row] { m_controller.copyPublicLink(row); });
    menu.addSeparator();
    menu.addAction(tr("Cancel Transfers"), this, [this] { m_files.cancelAll(); });
    menu.exec(m_grid->viewport()->mapToGlobal(at));
}

bool ItemFilesView::eventFilter(QObject* watched, QEvent* event)
{
    // The grid's rename key comes before the window's shortcut of the same key (which would
    // edit the board item's title instead).
    if (watched == m_grid && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F2) {
        event->accept();
        return true;
    }
    if (watched == m_grid && event->type() == QEvent::KeyPress &&
        !m_grid->isPersistentEditorOpen(m_grid->currentIndex()) &&
        !m_grid->indexWidget(m_grid->currentIndex())) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) {
            deleteSelectedFiles();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && selectedRows().size() == 1) {
            m_grid->edit(m_grid->currentIndex());
            return true;
        }
    }
    if (watched != m_grid->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (drag->mimeData()->hasUrls() || drag->mimeData()->hasText()) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        return false;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QMimeData* mime = drop->mimeData();
        QStringList paths;
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile())
                paths << url.toLocalFile();
        if (!paths.isEmpty())
            m_controller.dropFiles(paths);
        else if (!mime->urls().isEmpty())
            m_controller.dropText(mime->urls().first().toString());
        else if (mime->hasText())
            m_controller.dropText(mime->text());
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

} // namespace qv
