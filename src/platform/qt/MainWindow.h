// The main frame: menu, tool bar, status bar with its four panes, and the view widget.
// Commands go straight to the document; the frame keeps no program state of its own.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <vector>

#include "platform/qt/RecentFiles.h"

class QAction;
class QLabel;
class QMenu;
class QToolBar;

namespace zelk {

class CZELKDoc;
class CZELKView;
class ViewWidget;

// "<document title> - ZELK": the data file's name, or "Untitled" with no data set.
QString WindowTitleFor(const CZELKDoc& doc);

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(CZELKDoc& doc, CZELKView& view, bool headless, QWidget* parent = nullptr);

    ViewWidget* View() { return m_viewWidget; }
    // Opens a data file as File > Open does; false when the open failed.
    bool OpenFile(const QString& path);
    // Notes a file opened at start-up in the recent-file list.
    void NoteOpened(const QString& path);
    QString MessagePaneText() const;
    bool IsClosing() const { return m_closing; }
    QMenu* FileMenu() { return m_fileMenu; }
    // Writes the picture the view shows now as a PNG file (File > Save Image...); false,
    // after its message, when it could not be written.
    bool SaveImage(const QString& path);
    // Refreshes the title and the message pane (after every draw of the view, and every
    // 250 ms while no run is active).
    void RefreshStatus();

public slots:
    void OnFileNew();
    void OnFileOpen();
    void OnFileSaveImage();
    void OnAppAbout();
    void OnHelpKeys();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    void RebuildRecentMenu();
    void OpenRecent(int index);

    CZELKDoc& m_doc;
    bool m_headless;
    bool m_closing = false;
    ViewWidget* m_viewWidget = nullptr;
    QMenu* m_fileMenu = nullptr;
    QAction* m_newAction = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_saveImageAction = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_recentPlaceholder = nullptr;
    QAction* m_recentSeparator = nullptr;
    std::vector<QAction*> m_recentActions;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_messagePane = nullptr;
    RecentFiles m_recent;
    QTimer m_statusTimer;
};

}  // namespace zelk
