#include <QLabel>
#include <QTest>

#include <memory>

#include "playback/control_form.h"
#include "skin/dialog_template.h"
#include "tests/support/play_rows.h"

class TestControlForm : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFixture> fx_;
    std::unique_ptr<CControlForm> form_;

    QWidget* Item(int id) const { return GetDlgItem(form_.get(), id); }

private slots:
    void init() {
        fx_ = std::make_unique<TestFixture>();
        form_ = std::make_unique<CControlForm>();
    }
    void cleanup() {
        form_.reset();
        fx_.reset();
    }

    // The form starts stopped and logs its start; a double-click plays the clip with its log
    // through the real player.
    void doubleClickPlaysClipAndLog() {
        QCOMPARE(form_->Session().State(), PlaybackState::Stopped);
        QVERIFY(fx_->Read("History.log").endsWith("\ttest\r\n\r\n"));
        fx_->CopySample("REC0001.MOV", "a.MOV");
        fx_->CopySample("REC0001.nmea", "a.nmea");
        PlayFirstRow(*form_, *fx_, {"a.MOV", "a.nmea"});
        QCOMPARE(form_->Session().State(), PlaybackState::Playing);
        QCOMPARE(form_->Session().Player()->GetMediaState(), MediaState::Running);
        QCOMPARE(qobject_cast<QLabel*>(Item(CTransportPanel::kPathLine))->text(),
                 fx_->Path("a.MOV"));
        QTRY_COMPARE_WITH_TIMEOUT(
            qobject_cast<QLabel*>(Item(CTransportPanel::kTimeText))->text().left(8),
            QString("00:00:01"), 5000);
        QVERIFY(fx_->messages.isEmpty());
    }

    // One box per failure when a double-click meets a clip the backend cannot play.
    void brokenClipBoxes_data() {
        QTest::addColumn<bool>("withLog");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("with its log") << true << QStringList{"Failed to add RenderFile to graph"};
        QTest::newRow("without a log")
            << false
            << QStringList{"No NMEA File : @/b.nmea", "No Nmea Data : @/b.nmea",
                           "Failed to add RenderFile to graph"};
    }
    void brokenClipBoxes() {
        QFETCH(bool, withLog);
        QFETCH(QStringList, boxes);
        fx_->Write("b.MOV", QByteArray(4000, 'x'));
        if (withLog)
            fx_->Write("b.nmea", CameraLog(5));
        SetMessageHandler([this](const std::string& text, const std::string&) {
            fx_->messages << QString::fromStdString(text);
            QTest::qWait(300);  // as a modal box runs the event loop
        });
        PlayFirstRow(*form_, *fx_, {"b.MOV"});
        QTest::qWait(1500);
        QCOMPARE(fx_->messages, boxes.replaceInStrings("@", fx_->Dir()));
    }
};

QTEST_MAIN(TestControlForm)
#include "test_control_form.moc"
