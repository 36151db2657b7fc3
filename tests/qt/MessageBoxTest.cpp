// Message boxes of the window: modal, with the text unchanged, the icon asked for, and
// OK as the only yes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

#include <functional>

#include "platform/qt/QtPlatform.h"
#include "qt/QtTestApp.h"

namespace zelk {
namespace {

TEST(MessageBox, OkBoxWithTheStopIcon) {
    TestApp();
    QtPlatform pf({"zelk"}, false);
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenBoxOpens([&](QMessageBox* box) {
        text = box->text();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(pf.MessageBox("Could not read from x.dat.\nSecond line", MsgIcon::Stop, MsgButtons::Ok), MsgAnswer::Ok);
    EXPECT_EQ(text, "Could not read from x.dat.\nSecond line");
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST(MessageBox, QuestionAnswers) {
    TestApp();
    QtPlatform pf({"zelk"}, false);
    WhenBoxOpens([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    EXPECT_EQ(pf.MessageBox("Delete?", MsgIcon::Stop, MsgButtons::OkCancel), MsgAnswer::Ok);
    WhenBoxOpens([](QMessageBox* box) { box->button(QMessageBox::Cancel)->click(); });
    EXPECT_EQ(pf.MessageBox("Delete?", MsgIcon::Stop, MsgButtons::OkCancel), MsgAnswer::Cancel);
    // Closed without a button (the application ending under it): the safe answer.
    WhenBoxOpens([](QMessageBox* box) { box->done(0); });
    EXPECT_EQ(pf.MessageBox("Delete?", MsgIcon::Stop, MsgButtons::OkCancel), MsgAnswer::Cancel);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenBoxOpens([&](QMessageBox* box) {
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    pf.MessageBox("Convergence attained.", MsgIcon::Information, MsgButtons::Ok);
    EXPECT_EQ(icon, QMessageBox::Information);
}

}  // namespace
}  // namespace zelk
