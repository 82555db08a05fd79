#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

#include <memory>

#include "playback/control_form.h"
#include "skin/dialog_template.h"
#include "skin/pro_slider_ctrl.h"
#include "tests/support/play_rows.h"

namespace {
struct KeyRecorder : QObject {
    int seen = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        return seen += event->type() == QEvent::KeyPress, false;
    }
};
}  // namespace

class TestControlForm : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFixture> fx_;
    std::unique_ptr<CControlForm> form_;

    QWidget* Item(int id) const { return GetDlgItem(form_.get(), id); }
    CProSliderCtrl* PositionSlider() const {
        return qobject_cast<CProSliderCtrl*>(Item(CTransportPanel::kPositionSlider));
    }

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

    // While the user holds the thumb, the log's ticks move only its drawn position.
    void heldThumbKeepsSliderButDrawPosFollows() {
        fx_->Write("a.nmea", CameraLog(10));
        PlayFirstRow(*form_, *fx_, {"a.nmea"});
        QTest::mousePress(PositionSlider(), Qt::LeftButton, {}, QPoint(12, 4));
        QVERIFY(PositionSlider()->ThumbHeld());
        form_->Session().OnLogTick();
        QCOMPARE(PositionSlider()->value(), 0);
        QCOMPARE(PositionSlider()->GetDrawPos(), 10);
    }

    void plainKeysAreConsumed_data() {
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<bool>("consumed");
        QTest::newRow("down arrow") << QKeyCombination(Qt::Key_Down) << true;
        QTest::newRow("enter") << QKeyCombination(Qt::Key_Return) << true;
        QTest::newRow("alt combination") << (Qt::AltModifier | Qt::Key_F) << false;
    }
    void plainKeysAreConsumed() {
        QFETCH(QKeyCombination, key);
        QFETCH(bool, consumed);
        // Filters on the list itself run after the application-wide one of the form.
        KeyRecorder recorder;
        Item(1155)->installEventFilter(&recorder);
        QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers());
        QCoreApplication::sendEvent(Item(1155), &press);
        QCOMPARE(recorder.seen == 0, consumed);
    }

    void dropAnywhereRefillsTheListThatGrows() {
        const QString clip = fx_->Write("a.MOV", "");
        const QString odd = fx_->Write("b.Mov", "");
        form_->show();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(clip), QUrl::fromLocalFile(odd)});
        // On the time text, a child that takes no drops itself.
        QWidget* target = Item(CTransportPanel::kTimeText);
        QDragEnterEvent enter({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent drop({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        QCOMPARE(form_->Recordings().RowCount(), 1);
        QCOMPARE(qobject_cast<QLineEdit*>(Item(1005))->text(), fx_->Dir());
        // The list grows with the form.
        const QRect before = Item(1155)->geometry();
        form_->resize(form_->width(), form_->height() + 120);
        QCOMPARE(Item(1155)->geometry(), before.adjusted(0, 0, 0, 120));
    }
};

QTEST_MAIN(TestControlForm)
#include "test_control_form.moc"
