#include "platform/qtuser.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "platform/pcfs.h"

namespace platform {
namespace {

QMessageBox::Icon IconOf(unsigned type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONSTOP:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

int AskOnUiThread(const std::function<int()>& ask) {
    if (IsUiThread()) {
        return ask();
    }
    int result = IDCANCEL;
    RunOnUiThread([&]() { result = ask(); });
    return result;
}

std::optional<std::string> PickOnUiThread(const std::function<std::optional<std::string>()>& pick) {
    if (IsUiThread()) {
        return pick();
    }
    std::optional<std::string> result;
    RunOnUiThread([&]() { result = pick(); });
    return result;
}

std::optional<std::string> ToPcResult(const QString& hostPath) {
    if (hostPath.isEmpty()) {
        return std::nullopt;
    }
    // A file outside every drive has no PC path the program could use: as cancelled.
    return ToPcPath(hostPath.toStdString());
}

std::optional<std::string> Pick(const FileDialogRequest& request, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title),
                       QString::fromStdString(PickerStartPath(request.initialPath)),
                       QString::fromStdString(request.filter));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return ToPcResult(dialog.selectedFiles().front());
}

}  // namespace

std::string PickerStartPath(const std::string& pcPath) {
    if (pcPath.empty()) {
        return {};
    }
    // A bare name is offered in whatever folder the picker opens.
    if (pcPath.find_first_of(":\\") == std::string::npos) {
        return pcPath;
    }
    auto host = ToHostPath(pcPath);
    if (!host) {
        return {};
    }
    const char last = pcPath.back();
    if ((last == '\\' || last == '/') && host->back() != '/') {
        *host += '/';
    }
    return *host;
}

int QtUser::ShowMessageBox(HWND, const std::string& text, const std::string& caption,
                           unsigned type) {
    return AskOnUiThread([&]() {
        QMessageBox box(IconOf(type), QString::fromStdString(caption), QString::fromStdString(text),
                        QMessageBox::NoButton, QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        struct Choice {
            QMessageBox::StandardButton button;
            int id;
        };
        std::vector<Choice> choices;
        switch (type & MB_TYPEMASK) {
            case MB_OKCANCEL:
                choices = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
                break;
            case MB_YESNOCANCEL:
                choices = {{QMessageBox::Yes, IDYES},
                           {QMessageBox::No, IDNO},
                           {QMessageBox::Cancel, IDCANCEL}};
                break;
            case MB_YESNO:
                choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
                break;
            default:
                choices = {{QMessageBox::Ok, IDOK}};
                break;
        }
        for (const Choice& c : choices) {
            box.addButton(c.button);
        }
        box.setDefaultButton(choices.front().button);
        box.exec();
        const QAbstractButton* clicked = box.clickedButton();
        for (const Choice& c : choices) {
            if (clicked == box.button(c.button)) {
                return c.id;
            }
        }
        // Closed without a button: the set's way out.
        return choices.size() == 1 ? IDOK : (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDCANCEL;
    });
}

int QtUser::RunModal(QDialog* dialog) {
    if (dialog == nullptr) {
        return IDCANCEL;
    }
    return AskOnUiThread([dialog]() { return dialog->exec(); });
}

std::optional<std::string> QtUser::GetOpenFileName(HWND, const FileDialogRequest& request) {
    return PickOnUiThread([&]() { return Pick(request, QFileDialog::AcceptOpen); });
}

std::optional<std::string> QtUser::GetSaveFileName(HWND, const FileDialogRequest& request) {
    return PickOnUiThread([&]() { return Pick(request, QFileDialog::AcceptSave); });
}

}  // namespace platform
