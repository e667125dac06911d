// The main window's convert command and the PC file list's request to convert
// an opened recording: the paths the dialog opens with, and the PC list after
// a conversion.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/convert/convertavi.h"
#include "app/pc/hostfilelistview.h"
#include "app/pc/hosttreeview.h"
#include "app/res/resource.h"
#include "platform/templates.h"
#include "platform/usermessages.h"
#include "stream/conversion.h"
#include "support/shellfixture.h"
#include "support/streambuilder.h"

namespace {

class ConvertCommand : public ::testing::Test {
protected:
    ConvertCommand() : m_frame(m_env.MakeFrame()) {}

    void SelectFolder(const std::string& folder) { m_frame.GetHostTreeView()->SelectPath(folder); }
    void SelectRow(const std::string& name) {
        CListCtrlX* list = m_frame.GetHostFileListView()->GetListCtrl();
        for (int row = 0; row < list->GetItemCount(); ++row) {
            if (list->GetItemName(row) == name) {
                list->SetItemState(row, CListCtrlX::kStateSelected, CListCtrlX::kStateSelected);
                return;
            }
        }
        ADD_FAILURE() << name << " is not listed";
    }
    std::vector<std::string> Rows() const {
        const CListCtrlX* list = m_frame.GetHostFileListView()->GetListCtrl();
        std::vector<std::string> rows;
        rows.reserve(static_cast<std::size_t>(list->GetItemCount()));
        for (int row = 0; row < list->GetItemCount(); ++row) {
            rows.push_back(list->GetItemName(row));
        }
        return rows;
    }

    // The source and target fields of the dialog that the action opens, which
    // is then closed.
    template <typename Action>
    std::pair<std::string, std::string> PresetBy(Action action) {
        std::pair<std::string, std::string> fields{"(none)", "(none)"};
        m_env.User().QueueDialog([&fields](QDialog* dialog) {
            fields = {platform::GetDlgItemText(dialog, IDC_CONVERT_SOURCE),
                      platform::GetDlgItemText(dialog, IDC_CONVERT_TARGET)};
            return IDCANCEL;
        });
        action();
        return fields;
    }

    ShellEnvironment m_env;
    CMainFrame& m_frame;
};

TEST_F(ConvertCommand, PresetsTheFirstSelectedFileAndItsDefaultTarget) {
    m_env.Drives().MakeFile("rec/Movie.AVR", "x");
    m_env.Drives().MakeFile("rec/Other.avr", "x");
    m_env.Drives().MakeFile("my.rec/Show.avr", "x");
    using Paths = std::pair<std::string, std::string>;
    const auto command = [this] { m_frame.OnCommand(ID_FILE_CONVERT_AVI); };

    SelectFolder("C:\\rec");
    EXPECT_EQ(PresetBy(command), (Paths{"", ""}));  // nothing selected

    SelectRow("Other.avr");
    SelectRow("Movie.AVR");
    EXPECT_EQ(PresetBy(command), (Paths{"C:\\rec\\Movie.AVR", "C:\\rec\\Movie.AVI"}));

    // A dot in a folder's name starts no extension.
    SelectFolder("C:\\my.rec");
    SelectRow("Show.avr");
    EXPECT_EQ(PresetBy(command), (Paths{"C:\\my.rec\\Show.avr", "C:\\my.rec\\Show.AVI"}));

    // Opening the row in the list sends 1044, which does the same.
    CHostFileListView* list = m_frame.GetHostFileListView();
    EXPECT_EQ(PresetBy([list] { list->OnOpenRow(0); }),
              (Paths{"C:\\my.rec\\Show.avr", "C:\\my.rec\\Show.AVI"}));
    EXPECT_EQ(PresetBy([this] { SendMessage(m_frame.GetSafeHwnd(), WM_OPEN_AVR, 0, 0); }),
              (Paths{"C:\\my.rec\\Show.avr", "C:\\my.rec\\Show.AVI"}));
    EXPECT_TRUE(MessageBoxes(m_env.User()).empty());
}

TEST_F(ConvertCommand, TheConvertedFileShowsInThePcListAtOnce) {
    const Bytes recording = Concat({AvrHeader(), SyntheticTs(20)});
    m_env.Drives().MakeFile("rec/Movie.AVR", std::string(recording.begin(), recording.end()));
    SelectFolder("C:\\rec");
    ASSERT_EQ(Rows(), std::vector<std::string>{"Movie.AVR"});
    SelectRow("Movie.AVR");

    std::vector<std::string> rowsAtEnd;
    m_env.User().QueueDialog([&](QDialog* dialog) {
        auto* convert = static_cast<CConvertAVI*>(dialog);
        convert->SendCommand(IDC_CONVERT_START);
        EXPECT_TRUE(platform::WaitProcessingMessages(
            [&] { return !convert->IsConverting() && !conversion_running(); }, 20000));
        rowsAtEnd = Rows();  // the dialog is still up
        return IDCANCEL;
    });
    m_frame.OnCommand(ID_FILE_CONVERT_AVI);
    wait_conversion_end(20000);

    EXPECT_EQ(rowsAtEnd, (std::vector<std::string>{"Movie.AVI", "Movie.AVR"}));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Movie.AVI", "Movie.AVR"}));
    ASSERT_EQ(MessageBoxes(m_env.User()).size(), 1u);
    EXPECT_EQ(MessageBoxes(m_env.User())[0].text, "Completed.");
}

}  // namespace
