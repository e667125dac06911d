#include "app/dialogs/pvrinfodlg.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "app/res/resources.h"
#include "core/names.h"
#include "core/xstring.h"

namespace {

constexpr std::int64_t kMiB = 1048576;

}  // namespace

CPVRInfoDlg::CPVRInfoDlg(QWidget* parent) : CDialog(res::PvrInfoDialog(), parent) {}

std::string CPVRInfoDlg::FormatVersion(std::uint16_t version) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d", version >> 8, version & 0xFF);
    return text;
}

std::string CPVRInfoDlg::FormatBytes(std::int64_t bytes) {
    // The disk figures come from the device; a negative one still reads as a number.
    return WithThousandsCommas(bytes) + " Bytes";
}

bool CPVRInfoDlg::OnInitDialog() {
    // The names come from the device and need not be terminated.
    const DeviceDescriptor& d = m_descriptor;
    platform::SetDlgItemText(this, IDC_INFO_MODEL, std::string(FieldText(d.productName)));
    platform::SetDlgItemText(this, IDC_INFO_COMPANY, std::string(FieldText(d.oemName)));
    platform::SetDlgItemText(this, IDC_INFO_SW_VERSION, FormatVersion(m_descriptor.stbVersion));
    platform::SetDlgItemText(this, IDC_INFO_HW_VERSION, "All");
    platform::SetDlgItemText(this, IDC_INFO_FREE, FormatBytes(m_freeBytes));
    platform::SetDlgItemText(this, IDC_INFO_TOTAL, FormatBytes(m_totalBytes));
    platform::CheckDlgButton(
        this, m_descriptor.speed != 0 ? IDC_INFO_HIGH_SPEED : IDC_INFO_FULL_SPEED, true);

    const QWidget* placeholder = platform::GetDlgItem(this, IDC_INFO_USED_BAR);
    m_usedBar.CreateBar(placeholder != nullptr ? placeholder->geometry() : QRect(), this);
    m_usedBar.SetLevelMode(true);
    // The figures are the device's: a total of 0 (no listing yet) leaves the bar
    // empty, and free space outside 0..total cannot push it past either end.
    const std::int64_t total = std::max<std::int64_t>(m_totalBytes, 0);
    const std::int64_t free = std::clamp<std::int64_t>(m_freeBytes, 0, total);
    const std::int64_t upper = std::min<std::int64_t>(total / kMiB, INT_MAX);
    const std::int64_t used = std::min((total - free) / kMiB, upper);
    m_usedBar.SetRange32(0, static_cast<int>(upper));
    m_usedBar.SetPos(static_cast<int>(used));
    return true;
}
