#include <array>

#include "app/res/resources.h"

namespace res {

namespace {

using platform::ControlKind;
using platform::ControlTemplate;
namespace cs = platform::cs;
namespace ds = platform::ds;

// The notice over the main window while the PVR is being read.
constexpr std::array kOnRefreshControls{
    ControlTemplate(ControlKind::GroupBox, -1, "", 7, 3, 219, 40),
    ControlTemplate(ControlKind::Static, -1, "Now updating PVR files.....", 14, 13, 205, 10,
                    cs::Center),
    ControlTemplate(ControlKind::Static, IDC_REFRESH_STATUS, "", 14, 27, 205, 10, cs::Center),
};

constexpr platform::DialogTemplate kOnRefresh{IDD_ONREFRESH, "", "Arial",   10,
                                              233,           46, ds::Popup, kOnRefreshControls};

constexpr std::array kAboutControls{
    ControlTemplate(ControlKind::Icon, -1, "", 11, 14, 21, 20, 0, IDR_MAINFRAME),
    ControlTemplate(ControlKind::Static, -1, "Vexlo", 40, 10, 119, 10, cs::NoPrefix),
    ControlTemplate(ControlKind::Static, IDC_ABOUT_VERSION, "1.0.0", 40, 22, 119, 10, cs::NoPrefix),
    ControlTemplate(ControlKind::DefPushButton, IDOK, "OK", 178, 7, 50, 14, cs::Group),
    ControlTemplate(ControlKind::Static, -1,
                    "PC companion of the TX-PVR 100 video recorder\n"
                    "Support: https://www.tavrix.example/support",
                    40, 38, 188, 20, cs::NoPrefix | cs::Multiline),
};

constexpr platform::DialogTemplate kAbout{IDD_ABOUTBOX,
                                          "About Vexlo",
                                          "Arial",
                                          12,
                                          235,
                                          64,
                                          ds::Popup | ds::Caption | ds::SysMenu | ds::ModalFrame,
                                          kAboutControls};

}  // namespace

const platform::DialogTemplate& OnRefreshDialog() {
    return kOnRefresh;
}

const platform::DialogTemplate& AboutDialog() {
    return kAbout;
}

}  // namespace res
