#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include "app/app_state.h"
#include "app/history_log.h"
#include "track/track.h"

// Where the settings, the history log and the analysis go: beside a writable executable's
// folder, otherwise in the user's XDG folders. "@" in a cell stands for the temporary folder.
class TestFileLocations : public QObject {
    Q_OBJECT

    static constexpr const char* kVars[] = {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"};
    QByteArray savedEnv_[3];

private slots:
    void initTestCase() {
        for (int i = 0; i < 3; ++i) savedEnv_[i] = qgetenv(kVars[i]);
    }
    void cleanup() {
        for (int i = 0; i < 3; ++i) qputenv(kVars[i], savedEnv_[i]);
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
        const QString t = tmp.path();
        const auto at = [&t](QString s) { return s.replace('@', t); };
        QVERIFY(QDir().mkpath(t + "/bin"));
        if (readOnly)
            QVERIFY(QFile::setPermissions(t + "/bin", QFile::ReadOwner | QFile::ExeOwner));
        qputenv("HOME", (t + "/home").toUtf8());
        for (const auto& [name, value] :
             {std::pair{"XDG_CONFIG_HOME", configHome}, {"XDG_STATE_HOME", stateHome}})
            value.isEmpty() ? qunsetenv(name) : qputenv(name, at(value).toUtf8());
        theApp() = CVantrailApp{};
        theApp().moduleDir = at(moduleDir).toStdString();

        // Settings are read back from where they were written.
        theApp().folderPath = "/media/cam";
        QVERIFY(theApp().SaveFolderPath());
        QVERIFY(QFile::exists(at(configDir) + "/um_config.ini"));
        theApp().folderPath.clear();
        theApp().LoadConfig();
        QCOMPARE(theApp().folderPath, std::string("/media/cam"));

        const QString history = at(stateDir) + "/History.log";
        QVERIFY(WriteHistoryLog("test\n") > 0 && QFile::exists(history));
        FreeTrack(LoadTrack(VANTRAIL_SOURCE_DIR "/samples/REC0003.nmea",
                            theApp().StateFile("out_nmea.txt")));
        QVERIFY(QFile::exists(at(stateDir) + "/out_nmea.txt"));
        DeleteHistoryLog();
        QVERIFY(!QFile::exists(history));

        // Nothing lands in a folder that is not ours to write.
        if (at(moduleDir) != at(stateDir))
            for (const char* name : {"um_config.ini", "History.log", "out_nmea.txt"})
                QVERIFY(!QFile::exists(at(moduleDir) + "/" + name));
        QFile::setPermissions(t + "/bin", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestFileLocations)
#include "test_file_locations.moc"
