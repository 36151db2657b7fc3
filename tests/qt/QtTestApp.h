// One QApplication for the platform tests, on the offscreen platform, with the settings
// kept out of the user's own (test mode).
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

#include <cstdlib>
#include <functional>

namespace zelk {

inline QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "test_platform";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QStandardPaths::setTestModeEnabled(true);
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Acts on the next message box once it is open (the box is modal: the test waits in it).
inline void WhenBoxOpens(std::function<void(QMessageBox*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        timer->stop();
        timer->deleteLater();
        act(box);
    });
    timer->start();
}

}  // namespace zelk
