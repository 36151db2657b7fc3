#include "platform/qt/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "app/Document.h"
#include "platform/qt/ViewPicture.h"
#include "platform/qt/ViewWidget.h"
#include "view/Controls.h"
#include "view/View.h"

// The build gives the version.
#ifndef ZELK_VERSION
#define ZELK_VERSION "unknown"
#endif

namespace zelk {

namespace {

const char* const kAboutText =
    "ZELK Version " ZELK_VERSION "\n\n"
    "ZELK finds the weights of the variables of a mixed-type data set (continuous, ordinal, "
    "nominal and asymmetric binary variables) that make the weighted distances between its "
    "records as close as possible to an ultrametric. It minimises the ultrametric loss Lu by "
    "Newton-Raphson steps, scans the loss surface for two to four variables, replays stored "
    "runs, and writes its histories, covariance estimates and distance matrices as text files "
    "beside the data file.";

}  // namespace

QString WindowTitleFor(const CZELKDoc& doc) {
    QString title = "Untitled";
    if (!doc.bNoData && !doc.data.sDataPath.empty())
        title = QFileInfo(QString::fromStdString(doc.data.sDataPath)).fileName();
    return title + " - ZELK";
}

MainWindow::MainWindow(CZELKDoc& doc, CZELKView& view, bool headless, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_headless(headless) {
    m_viewWidget = new ViewWidget(view, this);
    setCentralWidget(m_viewWidget);
    m_viewWidget->setFocus();
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    resize(1600, 1000);
    RefreshStatus();
    // The progress line follows every draw of the view, so it shows what the panel shows.
    connect(m_viewWidget, &ViewWidget::Drawn, this, &MainWindow::RefreshStatus);
    m_statusTimer.setInterval(250);
    // Between draws the timer keeps the title right and puts back "Ready" once no run is
    // active; it leaves a run's progress line to the draws.
    connect(&m_statusTimer, &QTimer::timeout, this, [this] {
        if (RunProgressText(m_doc).empty())
            RefreshStatus();
        else if (windowTitle() != WindowTitleFor(m_doc))
            setWindowTitle(WindowTitleFor(m_doc));
    });
    m_statusTimer.start();
}

void MainWindow::BuildMenus() {
    m_fileMenu = menuBar()->addMenu("&File");
    m_newAction = m_fileMenu->addAction("&New\tCtrl+N", this, &MainWindow::OnFileNew);
    m_newAction->setStatusTip("Clear the data set from memory");
    m_newAction->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    m_openAction = m_fileMenu->addAction("&Open...\tCtrl+O", this, &MainWindow::OnFileOpen);
    m_openAction->setStatusTip("Open a data file");
    m_openAction->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    m_saveImageAction = m_fileMenu->addAction("Save &Image...", this, &MainWindow::OnFileSaveImage);
    m_saveImageAction->setStatusTip("Save the view as a PNG image");
    // The labels carry the shortcut text; the shortcuts themselves are set apart so that
    // they work while the menu is closed.
    auto* newKey = new QAction(this);
    newKey->setShortcut(QKeySequence("Ctrl+N"));
    connect(newKey, &QAction::triggered, this, &MainWindow::OnFileNew);
    addAction(newKey);
    auto* openKey = new QAction(this);
    openKey->setShortcut(QKeySequence("Ctrl+O"));
    connect(openKey, &QAction::triggered, this, &MainWindow::OnFileOpen);
    addAction(openKey);

    m_fileMenu->addSeparator();
    m_recentPlaceholder = m_fileMenu->addAction("Recent File");
    m_recentPlaceholder->setEnabled(false);
    for (int i = 0; i < kRecentFileCount; ++i) {
        QAction* a = m_fileMenu->addAction(QString());
        connect(a, &QAction::triggered, this, [this, i] { OpenRecent(i); });
        m_recentActions.push_back(a);
    }
    m_recentSeparator = m_fileMenu->addSeparator();
    QAction* exitAction = m_fileMenu->addAction("E&xit", this, &QWidget::close);
    exitAction->setStatusTip("Quit the application");
    RebuildRecentMenu();

    QMenu* analyze = menuBar()->addMenu("&Analyze");
    analyze->addAction("Newton-Raphson", this, [this] { m_doc.OnAnalyzeNrt(); })
        ->setStatusTip("Find the weights by Newton-Raphson steps");
    analyze->addAction("Surface", this, [this] { m_doc.OnAnalyzeSurface(); })
        ->setStatusTip("Scan the loss surface on a grid of weights");
    analyze->addAction("Newton-Raphson Replay", this, [this] { m_doc.OnAnalyzeNrtReplay(); })
        ->setStatusTip("Replay the stored Newton-Raphson history");

    QMenu* viewMenu = menuBar()->addMenu("&View");
    QAction* toolbarToggle = viewMenu->addAction("&Toolbar");
    toolbarToggle->setCheckable(true);
    toolbarToggle->setChecked(true);
    toolbarToggle->setStatusTip("Show or hide the toolbar");
    connect(toolbarToggle, &QAction::toggled, this, [this](bool on) {
        if (m_toolBar) m_toolBar->setVisible(on);
    });
    QAction* statusToggle = viewMenu->addAction("&Status Bar");
    statusToggle->setCheckable(true);
    statusToggle->setChecked(true);
    statusToggle->setStatusTip("Show or hide the status bar");
    connect(statusToggle, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });

    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction("&Keys...", this, &MainWindow::OnHelpKeys)->setStatusTip("List the keys and mouse actions of the map");
    m_aboutAction = help->addAction("&About ZELK...", this, &MainWindow::OnAppAbout);
    m_aboutAction->setStatusTip("Display program information and version");
    m_aboutAction->setIcon(style()->standardIcon(QStyle::SP_MessageBoxQuestion));

    // The tool bar's toggle follows the bar when it is closed from its own context menu.
    m_toolBar = new QToolBar("Toolbar", this);
    connect(m_toolBar, &QToolBar::visibilityChanged, toolbarToggle, [this, toolbarToggle](bool on) {
        if (!isMinimized() && isVisible()) toolbarToggle->setChecked(on);
    });
}

void MainWindow::BuildToolBar() {
    m_toolBar->setObjectName("MainToolBar");
    m_toolBar->setMovable(true);
    m_toolBar->addAction(m_newAction);
    m_toolBar->addAction(m_openAction);
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_aboutAction);
    m_newAction->setToolTip("New (Ctrl+N)");
    m_openAction->setToolTip("Open (Ctrl+O)");
    m_aboutAction->setToolTip("About ZELK");
    addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void MainWindow::BuildStatusBar() {
    m_messagePane = new QLabel("Ready", this);
    statusBar()->addWidget(m_messagePane, 1);
    // The lock-key indicators. Qt does not report the state of the lock keys, so the
    // panes are shown in their "off" look.
    for (const char* text : {"CAP", "NUM", "SCRL"}) {
        auto* pane = new QLabel(text, this);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance("SCRL") + 12);
        pane->setEnabled(false);
        statusBar()->addPermanentWidget(pane);
    }
}

void MainWindow::RebuildRecentMenu() {
    const QStringList& files = m_recent.Files();
    m_recentPlaceholder->setVisible(files.isEmpty());
    for (int i = 0; i < kRecentFileCount; ++i) {
        QAction* a = m_recentActions[i];
        if (i < files.size()) {
            const QString number = i < 9 ? QString("&%1").arg(i + 1) : (i == 9 ? QString("1&0") : QString::number(i + 1));
            QString shown = files[i];
            shown.replace("&", "&&");
            a->setText(number + " " + shown);
            a->setStatusTip("Open this document");
            a->setVisible(true);
        } else {
            a->setVisible(false);
        }
    }
}

QString MainWindow::MessagePaneText() const {
    const std::string progress = RunProgressText(m_doc);
    return progress.empty() ? QString("Ready") : QString::fromStdString(progress);
}

void MainWindow::RefreshStatus() {
    if (m_closing) return;
    const QString title = WindowTitleFor(m_doc);
    if (windowTitle() != title) setWindowTitle(title);
    const QString message = MessagePaneText();
    if (m_messagePane->text() != message) m_messagePane->setText(message);
}

bool MainWindow::OpenFile(const QString& path) {
    const bool ok = m_doc.OnOpenDocument(path.toStdString());
    if (!m_headless) {
        if (ok)
            m_recent.Add(path);
        else
            m_recent.Remove(path);
        RebuildRecentMenu();
    }
    RefreshStatus();
    return ok;
}

void MainWindow::NoteOpened(const QString& path) {
    if (m_headless) return;
    m_recent.Add(path);
    RebuildRecentMenu();
}

void MainWindow::OpenRecent(int index) {
    if (index < 0 || index >= m_recent.Files().size()) return;
    OpenFile(m_recent.Files()[index]);
}

void MainWindow::OnFileNew() {
    m_doc.OnNewDocument();
    RefreshStatus();
}

void MainWindow::OnFileOpen() {
    QFileDialog dialog(this, "Open");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDirectory(QDir::currentPath());
    dialog.setNameFilter("All Files (*.*)");
    dialog.resize(900, 560);
    // "All Files (*.*)" means every file, also one without an extension.
    auto matchAll = [&dialog] {
        if (auto* model = dialog.findChild<QFileSystemModel*>()) model->setNameFilters({"*"});
    };
    matchAll();
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [matchAll](const QString&) { matchAll(); });
    if (dialog.exec() != QDialog::Accepted) return;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return;
    OpenFile(files.first());
}

void MainWindow::OnFileSaveImage() {
    // Beside the data file, named after it; without one, in the current directory.
    QString dir = QDir::currentPath(), name = "zelk.png";
    if (!m_doc.bNoData && !m_doc.data.sDataPath.empty()) {
        const QFileInfo data(QString::fromStdString(m_doc.data.sDataPath));
        dir = data.absolutePath();
        name = data.fileName() + ".png";
    }
    QFileDialog dialog(this, "Save Image");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter("PNG Images (*.png)");
    dialog.setDefaultSuffix("png");
    dialog.setDirectory(dir);
    dialog.selectFile(name);
    dialog.resize(900, 560);
    if (dialog.exec() != QDialog::Accepted) return;
    const QStringList files = dialog.selectedFiles();
    if (!files.isEmpty()) SaveImage(files.first());
}

bool MainWindow::SaveImage(const QString& path) {
    const std::string file = path.toStdString();
    const std::string failure = WritePicture(m_viewWidget->Image(), file);
    if (failure.empty()) return true;
    m_doc.Message(failure);
    return false;
}

void MainWindow::OnHelpKeys() {
    // The same table that the key handlers dispatch through.
    auto* dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle("Keys and mouse");
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel("K is the number of analysis variables. Keys that do not apply do nothing.", dialog));
    auto* table = new QTableWidget(dialog);
    const auto& rows = ControlTable();
    table->setColumnCount(3);
    table->setRowCount(static_cast<int>(rows.size()));
    table->setHorizontalHeaderLabels({"Key", "Applies when", "Effect"});
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(true);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        table->setItem(r, 0, new QTableWidgetItem(rows[r].keys));
        table->setItem(r, 1, new QTableWidgetItem(rows[r].when));
        table->setItem(r, 2, new QTableWidgetItem(rows[r].effect));
    }
    table->setColumnWidth(0, 140);
    table->setColumnWidth(1, 260);
    table->horizontalHeader()->setStretchLastSection(true);
    // The rows fit their wrapped text at the columns' final widths.
    connect(table->horizontalHeader(), &QHeaderView::sectionResized, table, &QTableView::resizeRowsToContents);
    table->resizeRowsToContents();
    layout->addWidget(table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    layout->addWidget(buttons);
    dialog->resize(1000, 700);
    dialog->show();
}

void MainWindow::OnAppAbout() {
    QMessageBox::about(this, "About ZELK", kAboutText);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_closing) {
        event->accept();
        return;
    }
    // A close that arrives inside a step (from a message box's event loop) waits until
    // the step has returned: the step's pacing thread cannot be joined from inside it.
    for (int k = 0; k < kNumRunKinds; ++k) {
        if (m_doc.runs.bInSend[k]) {
            event->ignore();
            QTimer::singleShot(50, this, &QWidget::close);
            return;
        }
    }
    m_closing = true;
    m_statusTimer.stop();
    m_doc.StopAllRunsAndJoin();
    event->accept();
    QCoreApplication::quit();
}

}  // namespace zelk
