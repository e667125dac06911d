#include <array>

#include "app/res/resources.h"

namespace res {

namespace {

using platform::AcceleratorTemplate;
namespace fv = platform::fv;

// Only the customary keys. The edit keys lead to commands nobody handles, so
// they do nothing, but they stay in the table as every such program has them.
constexpr std::array kEntries{
    AcceleratorTemplate{'N', fv::Control, ID_FILE_NEW},
    AcceleratorTemplate{'O', fv::Control, ID_FILE_OPEN},
    AcceleratorTemplate{'S', fv::Control, ID_FILE_SAVE},
    AcceleratorTemplate{'Z', fv::Control, ID_EDIT_UNDO},
    AcceleratorTemplate{'X', fv::Control, ID_EDIT_CUT},
    AcceleratorTemplate{'C', fv::Control, ID_EDIT_COPY},
    AcceleratorTemplate{'V', fv::Control, ID_EDIT_PASTE},
    AcceleratorTemplate{platform::VK_BACK, fv::Alt, ID_EDIT_UNDO},
    AcceleratorTemplate{platform::VK_DELETE, fv::Shift, ID_EDIT_CUT},
    AcceleratorTemplate{platform::VK_INSERT, fv::Control, ID_EDIT_COPY},
    AcceleratorTemplate{platform::VK_INSERT, fv::Shift, ID_EDIT_PASTE},
    AcceleratorTemplate{platform::VK_F6, 0, ID_NEXT_PANE},
    AcceleratorTemplate{platform::VK_F6, fv::Shift, ID_PREV_PANE},
};

constexpr platform::AcceleratorTable kTable{IDR_MAINFRAME, kEntries};

}  // namespace

const platform::AcceleratorTable& MainAccelerators() {
    return kTable;
}

}  // namespace res
