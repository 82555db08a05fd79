#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include "app/app_state.h"
#include "app/history_log.h"
#include "track/track.h"

namespace {
// "@" in a table cell stands for the test's temporary folder.
QString Expand(QString text, const QString& tmp) {
    return text.replace('@', tmp);
}

void SetVariable(const char* name, const QString& value) {
    if (value.isEmpty())
        qunsetenv(name);
    else
        qputenv(name, value.toUtf8());
}
}  // namespace

// Where the settings, the history log and the analysis go: beside a writable executable's
// folder, otherwise in the user's XDG folders.
class TestFileLocations : public QObject {
    Q_OBJECT

    QByteArray savedEnv_[3];

private slots:
    void initTestCase() {
        int i = 0;
        for (const char* v : {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
            savedEnv_[i++] = qgetenv(v);
    }
    void cleanup() {
        int i = 0;
        for (const char* v : {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
            qputenv(v, savedEnv_[i++]);
    }

    void filesGoWhereTheyMayBeWritten_data() {
        QTest::addColumn<QString>("moduleDir");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("configHome");
        QTest::addColumn<QString>("stateHome");
        QTest::addColumn<QString>("configDir");
        QTest::addColumn<QString>("stateDir");
        QTest::newRow("writable build folder") << "@/bin" << false << "@/cfg"
                                               << "@/state"
                                               << "@/bin"
                                               << "@/bin";
        QTest::newRow("installed in /usr/bin") << "/usr/bin" << false << "@/cfg"
                                               << "@/state"
                                               << "@/cfg/vantrail"
                                               << "@/state/vantrail";
        QTest::newRow("XDG folders unset") << "/usr/bin" << false << ""
                                           << ""
                                           << "@/home/.config/vantrail"
                                           << "@/home/.local/state/vantrail";
        QTest::newRow("relative XDG folders ignored") << "/usr/bin" << false << "rel/cfg"
                                                      << "rel/state"
                                                      << "@/home/.config/vantrail"
                                                      << "@/home/.local/state/vantrail";
        QTest::newRow("read-only portable copy") << "@/bin" << true << "@/cfg"
                                                 << "@/state"
                                                 << "@/cfg/vantrail"
                                                 << "@/state/vantrail";
    }
    void filesGoWhereTheyMayBeWritten() {
        QFETCH(QString, moduleDir);
        QFETCH(bool, readOnly);
        QFETCH(QString, configHome);
        QFETCH(QString, stateHome);
        QFETCH(QString, configDir);
        QFETCH(QString, stateDir);
        if (readOnly && geteuid() == 0)
            QSKIP("root writes into any folder");
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString t = tmp.path();
        QVERIFY(QDir().mkpath(t + "/bin"));
        if (readOnly)
            QVERIFY(QFile::setPermissions(t + "/bin", QFile::ReadOwner | QFile::ExeOwner));
        qputenv("HOME", (t + "/home").toUtf8());
        SetVariable("XDG_CONFIG_HOME", Expand(configHome, t));
        SetVariable("XDG_STATE_HOME", Expand(stateHome, t));
        theApp() = CVantrailApp{};
        theApp().moduleDir = Expand(moduleDir, t).toStdString();

        // Settings: written on close, read at the next start.
        theApp().folderPath = "/media/cam";
        QVERIFY(theApp().SaveFolderPath());
        const QString ini = Expand(configDir, t) + "/um_config.ini";
        QVERIFY(QFile::exists(ini));
        theApp().folderPath.clear();
        theApp().LoadConfig();
        QCOMPARE(theApp().folderPath, std::string("/media/cam"));

        // History log and analysis file.
        QVERIFY(WriteHistoryLog("test\n") > 0);
        const QString history = Expand(stateDir, t) + "/History.log";
        QVERIFY(QFile::exists(history));
        TrackEntry* track =
            LoadTrack(VANTRAIL_SOURCE_DIR "/samples/REC0003.nmea", theApp().StateFile("out_nmea.txt"));
        QVERIFY(track != nullptr);
        FreeTrack(track);
        QVERIFY(QFile::exists(Expand(stateDir, t) + "/out_nmea.txt"));
        DeleteHistoryLog();
        QVERIFY(!QFile::exists(history));

        // Nothing lands in a folder that is not ours to write.
        if (Expand(moduleDir, t) != Expand(stateDir, t)) {
            for (const char* name : {"um_config.ini", "History.log", "out_nmea.txt"})
                QVERIFY(!QFile::exists(Expand(moduleDir, t) + "/" + name));
        }
        QFile::setPermissions(t + "/bin", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestFileLocations)
#include "test_file_locations.moc"
