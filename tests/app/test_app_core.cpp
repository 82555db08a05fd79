#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "app/app_state.h"
#include "app/format.h"
#include "app/history_log.h"
#include "app/message.h"
#include "app/profile.h"

namespace {
QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
}  // namespace

class TestAppCore : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    QDir dir_;
    std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }

private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        dir_.setPath(tmp_->path());
        theApp() = CVantrailApp{};
        theApp().moduleDir = dir_.path().toStdString();
    }
    void cleanup() { tmp_.reset(); }

    void readProfile_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing file") << QByteArray("<none>") << "FOLDER_PATH"
                                      << "dflt";
        QTest::newRow("missing key") << QByteArray("[UM_CONFIG]\nOTHER=1\n") << "FOLDER_PATH"
                                     << "dflt";
        QTest::newRow("other section") << QByteArray("[X]\nFOLDER_PATH=/a\n") << "FOLDER_PATH"
                                       << "dflt";
        QTest::newRow("any case, blanks")
            << QByteArray("[um_config]\r\n folder_path = /v/c \r\n") << "FOLDER_PATH"
            << "/v/c";
        QTest::newRow("percent kept")
            << QByteArray("[UM_CONFIG]\nFOLDER_PATH=/a%sb\n") << "FOLDER_PATH"
            << "/a%sb";
        QTest::newRow("quoted") << QByteArray("[UM_CONFIG]\nDEFAULT_IP_0=\"http://x/\"\n")
                                << "DEFAULT_IP_0"
                                << "http://x/";
        QTest::newRow("empty value") << QByteArray("[UM_CONFIG]\nFOLDER_PATH=\n") << "FOLDER_PATH"
                                     << "";
        QTest::newRow("cut to 259")
            << QByteArray("[UM_CONFIG]\nFOLDER_PATH=" + QByteArray(300, 'a')) << "FOLDER_PATH"
            << QString(259, 'a');
    }
    void readProfile() {
        QFETCH(QByteArray, file);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        if (file != "<none>")
            WriteAll(dir_.filePath("um_config.ini"), file);
        QCOMPARE(QString::fromStdString(ReadProfileString("UM_CONFIG", key.toStdString(), "dflt",
                                                          Path("um_config.ini"))),
                 expected);
    }

    void writeProfile_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("no file") << QByteArray("<none>")
                                 << QByteArray("[UM_CONFIG]\nFOLDER_PATH=/rec\n");
        QTest::newRow("other section kept")
            << QByteArray("; note\n[A]\nk=v")
            << QByteArray("; note\n[A]\nk=v\n[UM_CONFIG]\nFOLDER_PATH=/rec\n");
        QTest::newRow("key replaced, CRLF kept")
            << QByteArray(
                   "[UM_CONFIG]\r\nDEFAULT_IP_0=http://a/\r\nFOLDER_PATH=/old\r\n[B]\r\nx=1\r\n")
            << QByteArray(
                   "[UM_CONFIG]\r\nDEFAULT_IP_0=http://a/\r\nFOLDER_PATH=/rec\r\n[B]\r\nx=1\r\n");
        QTest::newRow("key added at end of its section")
            << QByteArray("[UM_CONFIG]\nDEFAULT_IP_0=u\n\n[B]\nx=1\n")
            << QByteArray("[UM_CONFIG]\nDEFAULT_IP_0=u\nFOLDER_PATH=/rec\n\n[B]\nx=1\n");
    }
    void writeProfile() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const QString path = dir_.filePath("um_config.ini");
        if (before != "<none>")
            WriteAll(path, before);
        QVERIFY(WriteProfileString("UM_CONFIG", "FOLDER_PATH", "/rec", path.toStdString()));
        QCOMPARE(ReadAll(path), after);
    }

    void writeProfileFailsWithoutHarm() {
        // A directory standing where the file should be cannot be written, even as root.
        QVERIFY(QDir(dir_.path()).mkdir("um_config.ini"));
        theApp().folderPath = "/rec";
        QVERIFY(!theApp().SaveFolderPath());
        QVERIFY(QFileInfo(dir_.filePath("um_config.ini")).isDir());
    }

    void configRoundTrip() {
        theApp().LoadConfig();
        QCOMPARE(QString::fromStdString(theApp().mapUrls[0]), QString(kDefaultMapUrl));
        QCOMPARE(QString::fromStdString(theApp().folderPath), QString());
        theApp().folderPath = "/media/cam 1/100%";
        QVERIFY(theApp().SaveFolderPath());
        // Only the folder is written back, never the map URL.
        QCOMPARE(ReadAll(dir_.filePath("um_config.ini")),
                 QByteArray("[UM_CONFIG]\nFOLDER_PATH=/media/cam 1/100%\n"));
        theApp().folderPath.clear();
        theApp().LoadConfig();
        QCOMPARE(QString::fromStdString(theApp().folderPath), QString("/media/cam 1/100%"));
    }

    void historyLine_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("line");
        QTest::newRow("own line feed") << "test\n"
                                       << "[2013/5/7][09:03:05.042]\ttest\n\n";
        QTest::newRow("no line feed")
            << "GetSelFilePath => no selected file"
            << "[2013/5/7][09:03:05.042]\tGetSelFilePath => no selected file\n";
        QTest::newRow("long message cut")
            << QString(300, 'm') << "[2013/5/7][09:03:05.042]\t" + QString(255, 'm') + "\n";
    }
    void historyLine() {
        QFETCH(QString, message);
        QFETCH(QString, line);
        std::tm t{};
        t.tm_year = 113;
        t.tm_mon = 4;
        t.tm_mday = 7;
        t.tm_hour = 9;
        t.tm_min = 3;
        t.tm_sec = 5;
        QCOMPARE(QString::fromStdString(FormatHistoryLine(t, 42, message.toStdString())), line);
    }

    void historyFile() {
        DeleteHistoryLog();
        const int first = WriteHistoryLog("test\n");
        const int second = WriteHistoryLog("IP %s is used!\n", "http://h/%d");
        const QByteArray bytes = ReadAll(dir_.filePath("History.log"));
        // The count is of the line's characters; each of the four line feeds gained a CR.
        QCOMPARE(bytes.size(), first + second + 4);
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines[0].endsWith("]\ttest\r"));
        QCOMPARE(lines[1], QByteArray("\r"));
        QVERIFY(lines[2].endsWith("]\tIP http://h/%d is used!\r"));
        QVERIFY(QRegularExpression(R"(^\[\d{4}/\d{1,2}/\d{1,2}\]\[\d\d:\d\d:\d\d\.\d{3}\]\t)")
                    .match(QString::fromLatin1(lines[0]))
                    .hasMatch());
        DeleteHistoryLog();
        QVERIFY(!QFile::exists(dir_.filePath("History.log")));
    }

    void historyFailures() {
        QCOMPARE(WriteHistoryLog(nullptr), -1);
        theApp().moduleDir = dir_.filePath("missing").toStdString();
        QCOMPARE(WriteHistoryLog("x"), -1);
    }

    void inetFlag_data() {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<uint>("flag");
        QTest::newRow("connected") << true << 3u;
        QTest::newRow("not connected") << false << 2u;
    }
    void inetFlag() {
        QFETCH(bool, connected);
        QFETCH(uint, flag);
        theApp().InitModulePaths();
        QCOMPARE(theApp().m_InetFlag, 0u);
        const ConnectionProbe old = SetConnectionProbe([connected] { return connected; });
        theApp().UpdateInetFlag();
        SetConnectionProbe(old);
        QCOMPARE(theApp().m_InetFlag, flag);
    }

    void moduleDirectoryIsTheExecutables() {
        theApp().InitModulePaths();
        QCOMPARE(QString::fromStdString(theApp().moduleDir),
                 QCoreApplication::applicationDirPath());
        QCOMPARE(QString::fromStdString(theApp().ModuleFile("History.log")),
                 QCoreApplication::applicationDirPath() + "/History.log");
    }

    void messagesReachTheInstalledHandler() {
        QStringList seen;
        const MessageHandler old =
            SetMessageHandler([&](const std::string& t, const std::string& c) {
                seen << QString::fromStdString(c + "|" + t);
            });
        ShowMessage("one");
        ShowMessage("two", "Error");
        SetMessageHandler(old);
        QCOMPARE(seen, QStringList({"Vantrail|one", "Error|two"}));
    }

    void textMode() {
        QCOMPARE(QString::fromStdString(ToTextMode("a\nb\n\n")), QString("a\r\nb\r\n\r\n"));
        QCOMPARE(QString::fromStdString(FormatText("%5d|%-3s|%.3f", 42, "x", 0.5)),
                 QString("   42|x  |0.500"));
        QCOMPARE(FormatText("%s", std::string(1000, 'z').c_str()).size(), size_t(1000));
    }
};

QTEST_GUILESS_MAIN(TestAppCore)
#include "test_app_core.moc"
