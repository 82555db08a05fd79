#include "shell/startup.h"

#include <QApplication>
#include <QMessageBox>

#include "app/app_state.h"
#include "app/message.h"
#include "shell/instance_check.h"
#include "shell/main_dialog.h"
#include "instruments/instrument_font.h"

namespace {
void ShowMessageBox(const std::string& text, const std::string& caption) {
    QMessageBox::information(QApplication::activeWindow(), QString::fromStdString(caption),
                             QString::fromStdString(text), QMessageBox::Ok);
}
}  // namespace

int RunVantrail(QApplication& application) {
    Q_UNUSED(application);
    if (FindRunningInstance() == 0)
        return 0;

    SetMessageHandler(ShowMessageBox);
    RegisterInstrumentFont();
    theApp().InitModulePaths();

    CVantrailDlg dialog;
    if (dialog.exec() == QDialog::Rejected)
        theApp().SaveFolderPath();
    return 0;
}
