// The overwrite/resume question: its text, and what every way of ending it answers.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "app/res/resources.h"
#include "app/transfer/xfermode.h"
#include "platform/user.h"

namespace {

class XferModeTest : public ::testing::Test {
protected:
    XferModeTest() {
        res::RegisterResources();
        platform::SetUser(&m_user);
    }
    ~XferModeTest() override { platform::SetUser(nullptr); }

    // Runs the prompt with the text set before, doing what the user does.
    int Run(const std::function<void(QDialog*)>& act) {
        CXferMode prompt;
        prompt.SetMessage(
            "a.bin is already exist.\nSelect button to overwrite existing file or resume.");
        m_user.QueueDialog([&](QDialog* dialog) {
            dialog->show();
            m_shownText = platform::GetDlgItemText(dialog, IDC_XFER_MESSAGE);
            act(dialog);
            return dialog->result();
        });
        return prompt.DoModal();
    }

    platform::ScriptedUser m_user;
    std::string m_shownText;
};

}  // namespace

TEST_F(XferModeTest, EveryWayOutHasItsAnswer) {
    struct Case {
        const char* name;
        std::function<void(QDialog*)> act;
        int result;
    };
    const auto click = [](int id) {
        return
            [id](QDialog* d) { static_cast<QPushButton*>(platform::GetDlgItem(d, id))->click(); };
    };
    const Case cases[] = {
        {"Overwrite", click(IDC_XFER_OVERWRITE), 1014},
        {"Resume", click(IDC_XFER_RESUME), 1015},
        {"Overwrite All", click(IDC_XFER_OVERWRITE_ALL), 1018},
        {"Resume All", click(IDC_XFER_RESUME_ALL), 1019},
        {"Cancel", click(IDC_XFER_CANCEL), 1012},
        {"Escape", [](QDialog* d) { QTest::keyClick(d, Qt::Key_Escape); }, 1012},
        {"close box", [](QDialog* d) { d->close(); }, 1012},
        // No button is the default one: Enter is the plain OK, whatever has the focus.
        {"Enter",
         [](QDialog* d) {
             platform::GetDlgItem(d, IDC_XFER_OVERWRITE)->setFocus();
             QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : d,
                             Qt::Key_Return);
         },
         IDOK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Run(c.act), c.result);
        EXPECT_EQ(m_shownText,
                  "a.bin is already exist.\nSelect button to overwrite existing file or resume.");
    }
}

TEST_F(XferModeTest, AMessageSetWhileOpenShowsAtOnce) {
    CXferMode prompt;
    EXPECT_EQ(prompt.GetMessage(), "");
    prompt.Create();
    prompt.SetMessage("later");
    EXPECT_EQ(platform::GetDlgItemText(&prompt, IDC_XFER_MESSAGE), "later");
    EXPECT_EQ(prompt.windowTitle().toStdString(), "Dialog");
}
