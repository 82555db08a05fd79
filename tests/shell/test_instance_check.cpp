#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "shell/instance_check.h"

// Runs on an X server (the test is started under xvfb-run).
class TestInstanceCheck : public QObject {
    Q_OBJECT

private slots:
    void findsTheWindowByTitle_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("result");
        QTest::newRow("running instance") << QString(kInstanceWindowTitle) << 0;
        QTest::newRow("other title") << QString("Vantrail") << 1;
        QTest::newRow("title differs in case") << QString("dareDadive") << 1;
    }
    void findsTheWindowByTitle() {
        QFETCH(QString, title);
        QFETCH(int, result);
        QCOMPARE(FindRunningInstance(), 1);
        QWidget window;
        window.setWindowTitle(title);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(FindRunningInstance(), result);
    }

    // A window found by its title but no player listening: the start opens no window and
    // can only report files it could not hand over.
    void foundWindowWithoutListener_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::newRow("no files") << QStringList{} << 0 << "";
        QTest::newRow("files cannot be handed over")
            << QStringList{VANTRAIL_SOURCE_DIR "/samples/REC0001.MOV"} << 1
            << "vantrail: another instance is running and does not listen on ";
    }
    void foundWindowWithoutListener() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QWidget window;
        window.setWindowTitle(kInstanceWindowTitle);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(FindRunningInstance(), 0);
        QTemporaryDir runtime;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        QProcess player;
        player.setProcessEnvironment(env);
        player.start(VANTRAIL_EXE, args);
        QVERIFY(player.waitForFinished(60000));
        QCOMPARE(player.exitCode(), exitCode);
        const QString stderrText = QString::fromUtf8(player.readAllStandardError());
        QVERIFY2(err.isEmpty() ? stderrText.isEmpty() : stderrText.startsWith(err),
                 qPrintable(stderrText));
    }

    void noDisplayMeansNoInstance() {
        const QByteArray display = qgetenv("DISPLAY");
        qunsetenv("DISPLAY");
        QCOMPARE(FindRunningInstance(), 1);
        qputenv("DISPLAY", display);
    }
};

QTEST_MAIN(TestInstanceCheck)
#include "test_instance_check.moc"
