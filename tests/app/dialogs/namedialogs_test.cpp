// The new folder and rename dialogs: what each way of ending them returns, and
// the name they hand back.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "app/dialogs/newfolderdlg.h"
#include "app/dialogs/renamedlg.h"
#include "app/res/resource.h"
#include "platform/user.h"

namespace {

enum class End { Ok, Enter, Cancel, Escape, CloseBox };

class NameDialogs : public ::testing::Test {
protected:
    void SetUp() override { platform::SetUser(&m_user); }
    void TearDown() override { platform::SetUser(nullptr); }

    // Queues what the user does with the next dialog: types text (unless
    // nullopt), then ends it. m_preset gets what the field held at the start.
    void Queue(const std::optional<std::string>& typed, End end) {
        m_user.QueueDialog([this, typed, end](QDialog* dialog) {
            dialog->show();
            auto* edit = dialog->findChild<QLineEdit*>();
            m_preset = edit->text().toStdString();
            if (typed) {
                edit->selectAll();
                QTest::keyClicks(edit, QString::fromStdString(*typed));
                if (typed->empty()) {
                    edit->clear();
                }
            }
            const auto button = [dialog](int id) {
                return qobject_cast<QAbstractButton*>(platform::GetDlgItem(dialog, id));
            };
            switch (end) {
                case End::Ok:
                    button(IDC_NAME_OK)->click();
                    break;
                case End::Enter:
                    QTest::keyClick(edit, Qt::Key_Return);
                    break;
                case End::Cancel:
                    button(IDC_NAME_CANCEL)->click();
                    break;
                case End::Escape:
                    QTest::keyClick(edit, Qt::Key_Escape);
                    break;
                case End::CloseBox:
                    dialog->close();
                    break;
            }
            EXPECT_FALSE(dialog->isVisible());
            return dialog->result();
        });
    }

    platform::ScriptedUser m_user;
    std::string m_preset;
};

struct Case {
    const char* what;
    std::optional<std::string> typed;
    End end;
    int result;
    std::string name;  // GetName() afterwards
};

TEST_F(NameDialogs, NewFolderGivesOneOnlyForAConfirmedName) {
    const Case cases[] = {
        {"OK with an empty field is a cancel", "", End::Ok, 0, ""},
        {"a single space is a name", " ", End::Ok, 1, " "},
        {"Enter presses OK", "Clips", End::Enter, 1, "Clips"},
        {"names come back as typed", "a\\b/..", End::Ok, 1, "a\\b/.."},
        {"Cancel after typing", "Clips", End::Cancel, 0, ""},
        {"Escape", "Clips", End::Escape, 0, ""},
        {"the close box", "Clips", End::CloseBox, 0, ""},
    };
    for (const Case& c : cases) {
        CNewFolderDlg dialog;
        Queue(c.typed, c.end);
        EXPECT_EQ(dialog.DoModal(), c.result) << c.what;
        EXPECT_EQ(dialog.GetName(), c.name) << c.what;
        EXPECT_EQ(m_preset, "") << c.what;
    }
    // Nobody answered: the same as a cancel.
    CNewFolderDlg unanswered;
    EXPECT_EQ(unanswered.DoModal(), 0);
}

TEST_F(NameDialogs, RenameStartsFromTheCurrentNameAndKeepsItOnCancel) {
    const Case cases[] = {
        {"confirmed unchanged", std::nullopt, End::Ok, 1, "song.MP3"},
        {"a new name", "tune.MP3", End::Ok, 1, "tune.MP3"},
        {"a single space", " ", End::Enter, 1, " "},
        {"OK with an empty field", "", End::Ok, 0, ""},
        {"Cancel after typing", "tune.MP3", End::Cancel, 0, "song.MP3"},
        {"Escape after typing", "tune.MP3", End::Escape, 0, "song.MP3"},
        {"the close box", "tune.MP3", End::CloseBox, 0, "song.MP3"},
    };
    for (const Case& c : cases) {
        CRenameDlg dialog;
        Queue(c.typed, c.end);
        EXPECT_EQ(dialog.DoModal("song.MP3"), c.result) << c.what;
        EXPECT_EQ(dialog.GetName(), c.name) << c.what;
        EXPECT_EQ(m_preset, "song.MP3") << c.what;
    }
}

TEST_F(NameDialogs, TemplatesCarryTheirTexts) {
    struct Expected {
        platform::CDialog* dialog;
        const char* caption;
        const char* prompt;
        int edit;
    };
    CNewFolderDlg newFolder;
    CRenameDlg rename;
    for (const Expected& e :
         {Expected{&newFolder, "New Folder", "New folder", IDC_NEWFOLDER_NAME},
          Expected{&rename, "Rename", "Reassign a file or directory name", IDC_RENAME_NAME}}) {
        ASSERT_TRUE(e.dialog->Create());
        EXPECT_EQ(e.dialog->windowTitle().toStdString(), e.caption);
        EXPECT_EQ(e.dialog->findChild<QLabel*>()->text().toStdString(), e.prompt);
        EXPECT_NE(qobject_cast<QLineEdit*>(platform::GetDlgItem(e.dialog, e.edit)), nullptr);
        EXPECT_EQ(platform::GetDlgItemText(e.dialog, IDC_NAME_OK), "&OK");
        EXPECT_EQ(platform::GetDlgItemText(e.dialog, IDC_NAME_CANCEL), "&Cancel");
    }
}

}  // namespace
