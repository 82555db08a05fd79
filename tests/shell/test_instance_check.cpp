#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "shell/instance_check.h"

// Runs on an X server (the test is started under xvfb-run).
class TestInstanceCheck : public QObject {
    Q_OBJECT

private slots:
    // A window is found only by its exact title. A start that finds
    // one but no player listening opens no window and can only report files it could not
    // hand over (exitCode -1: the player is not started).
    void findsTheRunningInstance_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("found");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        const QString own = kInstanceWindowTitle;
        QTest::newRow("title with more after it") << own + " 2" << 1 << QStringList{} << -1 << "";
        QTest::newRow("not listening, no files") << own << 0 << QStringList{} << 0 << "";
        QTest::newRow("not listening, files cannot be handed over")
            << own << 0 << QStringList{VANTRAIL_SOURCE_DIR "/samples/REC0001.MOV"} << 1
            << "vantrail: another instance is running and does not listen on ";
    }
    void findsTheRunningInstance() {
        QFETCH(QString, title);
        QFETCH(int, found);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QWidget window;
        window.setWindowTitle(title);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(FindRunningInstance(), found);
        if (exitCode < 0)
            return;
        QTemporaryDir runtime;
        QProcess player;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        player.setProcessEnvironment(env);
        player.start(VANTRAIL_EXE, args);
        QVERIFY(player.waitForFinished(60000));
        QCOMPARE(player.exitCode(), exitCode);
        const QString stderrText = QString::fromUtf8(player.readAllStandardError());
        QVERIFY2(err.isEmpty() ? stderrText.isEmpty() : stderrText.startsWith(err),
                 qPrintable(stderrText));
    }
};

QTEST_MAIN(TestInstanceCheck)
#include "test_instance_check.moc"
