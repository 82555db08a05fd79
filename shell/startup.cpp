#include "shell/startup.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

#include "app/app_state.h"
#include "app/message.h"
#include "instruments/instrument_font.h"
#include "map/browser_engine.h"
#include "map/map_bridge.h"
#include "playback/control_form.h"
#include "shell/command_line.h"
#include "shell/instance_check.h"
#include "shell/instance_server.h"
#include "shell/main_dialog.h"

namespace {
void ShowMessageBox(const std::string& text, const std::string& caption) {
    QMessageBox::information(QApplication::activeWindow(), QString::fromStdString(caption),
                             QString::fromStdString(text), QMessageBox::Ok);
}

void Complain(const QString& text) {
    std::fprintf(stderr, "vantrail: %s\n", qPrintable(text));
}

// Opening a recording draws its route only on a page that has completed, so the files of
// the command line wait for the map page; discovery gives up within seconds and then our
// own page loads. They open in turn with those handed over meanwhile.
void OpenWhenMapIsReady(CVantrailDlg& dialog, CInstanceServer& server,
                        const QStringList& recordings) {
    constexpr int kPollMs = 100;
    constexpr int kLongestWaitMs = 15000;
    auto* poll = new QTimer(&dialog);
    poll->setInterval(kPollMs);
    QObject::connect(
        poll, &QTimer::timeout, &dialog,
        [&dialog, &server, poll, recordings, deadline = QDeadlineTimer(kLongestWaitMs)] {
            if (!dialog.ControlForm()->Map().PageLoaded() && !deadline.hasExpired())
                return;
            poll->deleteLater();
            server.Deliver(recordings);
        });
    poll->start();
}

void BringForward(QWidget& window) {
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.raise();
    window.activateWindow();
}
}  // namespace

int RunVantrail(QApplication& application, const QStringList& paths) {
    Q_UNUSED(application);
    QStringList skipped;
    const QStringList recordings = CollectRecordings(paths, &skipped);
    for (const QString& line : skipped) Complain(line);

    QString why;
    const QString serverName = InstanceServerName(&why);
    HandOver handOver = HandOver::NoInstance;
    if (serverName.isEmpty())
        Complain(QStringLiteral("files cannot be handed over between starts: %1").arg(why));
    else
        handOver = HandOverPaths(serverName, recordings, &why);
    switch (handOver) {
        case HandOver::Delivered:
            return 0;
        case HandOver::Failed:
            Complain(QStringLiteral("another instance is running: %1").arg(why));
            return 1;
        case HandOver::NoInstance:
            break;
    }
    if (FindRunningInstance() == 0) {
        // Its window came forward, but it takes no files.
        if (recordings.isEmpty())
            return 0;
        Complain(serverName.isEmpty()
                     ? QStringLiteral("another instance is running")
                     : QStringLiteral("another instance is running and does not listen on %1")
                           .arg(serverName));
        return 1;
    }

    SetMessageHandler(ShowMessageBox);
    RegisterInstrumentFont();
    theApp().InitModulePaths();
    // The map view reaches the servers configured now and nothing else.
    theApp().LoadConfig();
    ConfineBrowserEngine(MapServers());

    // Listening from here on, later starts wait in the backlog until the window takes them.
    CInstanceServer server;
    if (!serverName.isEmpty() && !server.Listen(serverName, &why))
        Complain(QStringLiteral("later starts cannot hand files over: %1").arg(why));
    CVantrailDlg dialog;
    QObject::connect(&server, &CInstanceServer::PathsReceived, &dialog,
                     [&dialog](const QStringList& handed) {
                         BringForward(dialog);
                         if (!handed.isEmpty())
                             dialog.OpenPaths(handed);
                     });
    if (!recordings.isEmpty())
        OpenWhenMapIsReady(dialog, server, recordings);

    if (dialog.exec() == QDialog::Rejected)
        theApp().SaveFolderPath();
    return 0;
}
