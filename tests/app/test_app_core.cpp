#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <sys/resource.h>

#include <csignal>
#include <memory>

#include "app/app_state.h"
#include "app/format.h"
#include "app/history_log.h"
#include "app/profile.h"
#include "tests/support/fixture.h"

// A null byte array in a table stands for no file.
class TestAppCore : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFixture> fx_;
    QString ini_;

private slots:
    void init() {
        fx_ = std::make_unique<TestFixture>();
        ini_ = fx_->Path("um_config.ini");
    }
    void cleanup() { fx_.reset(); }

    void readProfile_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing file") << QByteArray() << "dflt";
        QTest::newRow("any case, blanks")
            << QByteArray("[um_config]\r\n folder_path = /v/c \r\n") << "/v/c";
        QTest::newRow("quoted") << QByteArray("[UM_CONFIG]\nFOLDER_PATH=\"/q/\"\n") << "/q/";
        QTest::newRow("key twice: the first counts")
            << QByteArray("[UM_CONFIG]\nFOLDER_PATH=/a\nFOLDER_PATH=/b\n") << "/a";
        QTest::newRow("only the first section of the name")
            << QByteArray("[UM_CONFIG]\nX=1\n[UM_CONFIG]\nFOLDER_PATH=/b\n") << "dflt";
        QTest::newRow("cut to 259")
            << "[UM_CONFIG]\nFOLDER_PATH=" + QByteArray(300, 'a') << QString(259, 'a');
    }
    void readProfile() {
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        if (!file.isNull())
            fx_->Write("um_config.ini", file);
        QCOMPARE(ReadProfileString("UM_CONFIG", "FOLDER_PATH", "dflt", ini_.toStdString()),
                 expected.toStdString());
    }

    void writeProfile_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("no file") << QByteArray() << QByteArray("[UM_CONFIG]\nFOLDER_PATH=/rec\n");
        QTest::newRow("other section kept")
            << QByteArray("; note\n[A]\nk=v")
            << QByteArray("; note\n[A]\nk=v\n[UM_CONFIG]\nFOLDER_PATH=/rec\n");
        QTest::newRow("key replaced, CRLF kept")
            << QByteArray("[UM_CONFIG]\r\nIP=a\r\nFOLDER_PATH=/old\r\n[B]\r\nx=1\r\n")
            << QByteArray("[UM_CONFIG]\r\nIP=a\r\nFOLDER_PATH=/rec\r\n[B]\r\nx=1\r\n");
        QTest::newRow("key added at end of its section")
            << QByteArray("[UM_CONFIG]\nIP=u\n\n[B]\nx=1\n")
            << QByteArray("[UM_CONFIG]\nIP=u\nFOLDER_PATH=/rec\n\n[B]\nx=1\n");
    }
    void writeProfile() {
        QFETCH(QByteArray, before);
        if (!before.isNull())
            fx_->Write("um_config.ini", before);
        QVERIFY(WriteProfileString("UM_CONFIG", "FOLDER_PATH", "/rec", ini_.toStdString()));
        QTEST(fx_->Read("um_config.ini"), "after");
    }

    // A save that fails leaves the old file as it was and nothing beside it: a write cut short
    // (the file size limit standing in for a full disk), or a folder name with a line break,
    // which would add a setting of its own (another map page, which would receive the route).
    void saveFailsWithoutHarm_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("disk full") << "/a/longer/folder" << true;
        QTest::newRow("line feed") << "/DCIM\nDEFAULT_IP_0=http://127.0.0.2/" << false;
        QTest::newRow("carriage return") << "/DCIM\r[UM_CONFIG]" << false;
    }
    void saveFailsWithoutHarm() {
        QFETCH(QString, folder);
        QFETCH(bool, diskFull);
        const QByteArray old = "[UM_CONFIG]\nFOLDER_PATH=/old\n";
        fx_->Write("um_config.ini", old);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited{diskFull ? rlim_t(old.size()) : saved.rlim_cur, saved.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        theApp().folderPath = folder.toStdString();
        const bool savedPath = theApp().SaveFolderPath();
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!savedPath);
        QCOMPARE(fx_->Read("um_config.ini"), old);
        QCOMPARE(fx_->Read("History.log")
                     .contains("\tFOLDER_PATH not saved: its value holds a line break\r\n"),
                 !diskFull);
        QCOMPARE(QDir(fx_->Dir())
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                     .filter("um_config"),
                 QStringList{"um_config.ini"});
    }

    void historyLine_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("text");
        QTest::newRow("own line feed") << "test\n"
                                       << "test\n\n";
        QTest::newRow("no line feed") << "GetSelFilePath => no selected file"
                                      << "GetSelFilePath => no selected file\n";
        QTest::newRow("long message cut") << QString(300, 'm') << QString(255, 'm') + "\n";
    }
    void historyLine() {
        QFETCH(QString, message);
        QFETCH(QString, text);
        std::tm t{};
        strptime("2013-05-07 09:03:05", "%Y-%m-%d %H:%M:%S", &t);
        QCOMPARE(FormatHistoryLine(t, 42, message.toStdString()),
                 "[2013/5/7][09:03:05.042]\t" + text.toStdString());
    }

    void historyFile() {
        const QString path = fx_->Path("History.log");
        const int first = WriteHistoryLog("test\n");
        const int second = WriteHistoryLog("IP %s is used!\n", "http://h/%d");
        const QByteArray bytes = fx_->Read("History.log");
        QCOMPARE(bytes.size(), first + second + 4);  // four line feeds gained a CR
        QVERIFY(QRegularExpression(R"(^\[\d{4}/\d{1,2}/\d{1,2}\]\[\d\d:\d\d:\d\d\.\d{3}\]\ttest)"
                                   R"(\r\n\r\n\[.*\]\tIP http://h/%d is used!\r\n\r\n$)")
                    .match(QString::fromLatin1(bytes))
                    .hasMatch());
        DeleteHistoryLog();
        QVERIFY(!QFile::exists(path));
        QCOMPARE(WriteHistoryLog(nullptr), -1);
        QVERIFY(QDir(fx_->Dir()).mkdir("History.log"));  // cannot be opened as a file
        QCOMPARE(WriteHistoryLog("x"), -1);
        const std::string longText(1000, 'z');  // beyond the formatter's first buffer
        QCOMPARE(FormatText("%s", longText.c_str()), longText);
    }
};

QTEST_GUILESS_MAIN(TestAppCore)
#include "test_app_core.moc"
