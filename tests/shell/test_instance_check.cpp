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

    void noDisplayMeansNoInstance() {
        const QByteArray display = qgetenv("DISPLAY");
        qunsetenv("DISPLAY");
        QCOMPARE(FindRunningInstance(), 1);
        qputenv("DISPLAY", display);
    }
};

QTEST_MAIN(TestInstanceCheck)
#include "test_instance_check.moc"
