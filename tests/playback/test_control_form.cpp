#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include "app/app_state.h"
#include "app/message.h"
#include "library/recording_list.h"
#include "playback/control_form.h"
#include "skin/dialog_template.h"
#include "skin/pro_slider_ctrl.h"

namespace {

// A log of `entries` seconds; every group closes with a G-sensor line.
QByteArray Log(int entries, bool valid = true) {
    QByteArray log;
    for (int i = 0; i < entries; ++i) {
        const int minute = i / 60;
        const int second = i % 60;
        log +=
            QStringLiteral("$GPGGA,12%1%2.00,2503.%3,N,12130.000,E,%4,08,0.9,10.0,M,0,M,,*00\r\n")
                .arg(minute, 2, 10, QChar('0'))
                .arg(second, 2, 10, QChar('0'))
                .arg(i, 3, 10, QChar('0'))
                .arg(valid ? 1 : 0)
                .toLatin1();
        log += "$GPVTG,90.0,T,90.0,M,27.0,N,50.0,K*00\r\n";
        log += "$GSENSOR,10,-20,1000\r\n";
    }
    return log;
}

struct KeyRecorder : QObject {
    int seen = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress)
            ++seen;
        return false;
    }
};

}  // namespace

class TestControlForm : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    QDir dir_;
    QStringList messages_;
    QStringList answer_;  // what the file dialog returns; empty means cancelled
    std::unique_ptr<CControlForm> form_;

    QString Write(const QString& name, const QByteArray& bytes) {
        QFile f(dir_.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
    QString CopySample(const QString& name, const QString& as) {
        const QString to = dir_.filePath(as);
        QFile::copy(QStringLiteral(VANTRAIL_SOURCE_DIR "/samples/") + name, to);
        return to;
    }
    // Fills the list through the file dialog and marks row `row`.
    void Pick(const QStringList& names, int row) {
        answer_.clear();
        for (const QString& n : names) answer_ << dir_.filePath(n);
        form_->Recordings().SelectRecordings();
        Mark(row);
    }
    void Mark(int row) {
        auto* list = qobject_cast<QTreeWidget*>(GetDlgItem(form_.get(), 1155));
        list->setCurrentItem(list->topLevelItem(row));
    }
    CProSliderCtrl* PositionSlider() const {
        return qobject_cast<CProSliderCtrl*>(GetDlgItem(form_.get(), 1189));
    }

private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        dir_.setPath(tmp_->path());
        theApp() = CVantrailApp{};
        theApp().moduleDir = dir_.path().toStdString();
        messages_.clear();
        SetMessageHandler([this](const std::string& text, const std::string&) {
            messages_ << QString::fromStdString(text);
        });
        form_ = std::make_unique<CControlForm>();
        form_->Recordings().SetFileDialog(
            [this](QWidget*, const QString&,
                   const QList<FileFilter>&) -> std::optional<QStringList> {
                if (answer_.isEmpty())
                    return std::nullopt;
                return answer_;
            });
    }
    void cleanup() {
        form_.reset();
        SetMessageHandler({});
        tmp_.reset();
    }

    void startsStoppedAndLogsItsStart() {
        QCOMPARE(form_->State(), PlaybackState::Stopped);
        QVERIFY(theApp().controlForm == form_.get());
        QFile log(dir_.filePath("History.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().endsWith("\ttest\r\n\r\n"));
        QVERIFY(messages_.isEmpty());
    }

    // Play button transitions of a log row.
    void playPauseTransitions() {
        Write("a.nmea", Log(5));
        Pick({"a.nmea"}, 0);
        form_->PlayPause();
        QCOMPARE(form_->State(), PlaybackState::Playing);
        QVERIFY(form_->LogTimerActive());
        QVERIFY(form_->PlayButtonShowsPause());
        QCOMPARE(form_->LastIndex(), 4);
        form_->OnTimer(CControlForm::kLogTimer);
        QCOMPARE(form_->Cursor()->index, 1);

        form_->PlayPause();
        QCOMPARE(form_->State(), PlaybackState::Paused);
        QVERIFY(!form_->LogTimerActive());
        QVERIFY(!form_->PlayButtonShowsPause());

        form_->PlayPause();  // resume keeps the cursor
        QCOMPARE(form_->State(), PlaybackState::Playing);
        QCOMPARE(form_->Cursor()->index, 1);

        form_->StopPlayback(true);
        QCOMPARE(form_->State(), PlaybackState::Stopped);
        QCOMPARE(form_->Cursor(), form_->Track());
        QVERIFY(!form_->LogTimerActive());
        QVERIFY(messages_.isEmpty());
    }

    void openFailures_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("clip without log")
            << QStringList{"c.MOV"} << "c.MOV"
            << QStringList{"No NMEA File : %1/c.nmea", "No Nmea Data : %1/c.nmea"};
        QTest::newRow("log without samples")
            << QStringList{"e.nmea"} << "e.nmea" << QStringList{"No Nmea Data : %1/e.nmea"};
        QTest::newRow("unknown type")
            << QStringList{"clip.Mov"} << "clip.Mov" << QStringList{"unknow file type..."};
    }
    void openFailures() {
        QFETCH(QStringList, files);
        QFETCH(QString, picked);
        QFETCH(QStringList, expected);
        for (const QString& f : files)
            Write(f, f.endsWith("nmea") ? QByteArray("$GPGGA,x*00\r\n") : "");
        Pick({picked}, 0);
        QCOMPARE(form_->OpenRecording(), -1);
        QStringList want;
        for (const QString& e : expected) want << QString(e).replace("%1", dir_.path());
        QCOMPARE(messages_, want);
        QCOMPARE(form_->Track(), nullptr);
    }

    void noSelection() {
        QCOMPARE(form_->OpenRecording(), -1);
        QCOMPARE(messages_, QStringList{"No selected File..."});
        form_->PlayPause();  // silently nothing
        QCOMPARE(messages_.size(), 1);
        QCOMPARE(form_->State(), PlaybackState::Stopped);
    }

    // A 60-entry log row drives the slider by the next entry's index and hands over to the
    // next row after its last entry.
    void logRowSliderAndHandOver() {
        Write("a.nmea", Log(60));
        Write("b.nmea", Log(3));
        Pick({"a.nmea", "b.nmea"}, 0);
        form_->PlayPause();
        QList<int> seen;
        for (int tick = 0; tick < 60; ++tick) {
            form_->OnTimer(CControlForm::kLogTimer);
            seen << PositionSlider()->GetDrawPos();
        }
        QCOMPARE(seen.mid(0, 5), (QList<int>{1, 3, 5, 6, 8}));
        QCOMPARE(*std::max_element(seen.begin(), seen.end()), 98);
        QCOMPARE(PositionSlider()->value(), 98);
        QCOMPARE(form_->Cursor(), nullptr);  // the entry with index 59 has been shown
        // The tick after the last entry opens and plays the next row.
        form_->OnTimer(CControlForm::kLogTimer);
        QCOMPARE(form_->Recordings().SelectionMark(), 1);
        QCOMPARE(form_->LastIndex(), 2);
        QCOMPARE(form_->State(), PlaybackState::Playing);
    }

    void heldThumbKeepsSliderButDrawPosFollows() {
        Write("a.nmea", Log(10));
        Pick({"a.nmea"}, 0);
        form_->PlayPause();
        QTest::mousePress(
            PositionSlider(), Qt::LeftButton, {},
            PositionSlider()->rect().center() - QPoint(PositionSlider()->width() / 2 - 12, 0));
        const bool held = PositionSlider()->ThumbHeld();
        form_->OnTimer(CControlForm::kLogTimer);
        if (held)
            QCOMPARE(PositionSlider()->value(), 0);
        QCOMPARE(PositionSlider()->GetDrawPos(), 10);
    }

    void nextAndPreviousWrap_data() {
        QTest::addColumn<int>("mark");
        QTest::addColumn<bool>("next");
        QTest::addColumn<int>("opened");
        QTest::newRow("next on last wraps") << 2 << true << 0;
        QTest::newRow("next") << 0 << true << 1;
        QTest::newRow("previous without mark") << -1 << false << 2;
        QTest::newRow("previous on first wraps") << 0 << false << 2;
    }
    void nextAndPreviousWrap() {
        QFETCH(int, mark);
        QFETCH(bool, next);
        QFETCH(int, opened);
        Write("a.nmea", Log(1));
        Write("b.nmea", Log(2));
        Write("c.nmea", Log(3));
        Pick({"a.nmea", "b.nmea", "c.nmea"}, mark);
        if (mark < 0) {
            answer_ = {dir_.filePath("a.nmea"), dir_.filePath("b.nmea"), dir_.filePath("c.nmea")};
            form_->Recordings().SelectRecordings();
        }
        next ? form_->NextRecording() : form_->PrevRecording();
        QCOMPARE(form_->Recordings().SelectionMark(), opened);
        QCOMPARE(form_->LastIndex(), opened);
        QCOMPARE(form_->State(), PlaybackState::Playing);
    }

    void logSliderRelease() {
        Write("a.nmea", Log(40));
        Pick({"a.nmea"}, 0);
        form_->PlayPause();
        PositionSlider()->setValue(50);
        form_->OnPositionSliderReleased();
        QCOMPARE(PositionSlider()->GetDrawPos(), 50);
        QCOMPARE(form_->Cursor()->index, 20);
    }

    void clipSliderReleaseSeeksBothClocks() {
        CopySample("REC0004.MOV", "clip.MOV");
        Write("clip.nmea", Log(70));
        Pick({"clip.MOV"}, 0);
        QCOMPARE(form_->OpenRecording(), 0);
        form_->PlayPause();
        CMediaPlayer* player = form_->Player();
        QVERIFY(player != nullptr);
        player->SetDuration(120000);
        PositionSlider()->setValue(50);
        form_->OnPositionSliderReleased();
        QCOMPARE(player->position, 60);
        QCOMPARE(form_->Cursor()->index, 60);
        PositionSlider()->setValue(90);  // past the log's end
        form_->OnPositionSliderReleased();
        QCOMPARE(form_->Cursor(), nullptr);
    }

    // A clip shorter than its log: the player's tick at the clip's end moves on.
    void clipEndHandsOver() {
        CopySample("REC0004.MOV", "short.MOV");
        Write("short.nmea", Log(30));
        Write("next.nmea", Log(2));
        Pick({"short.MOV", "next.nmea"}, 0);
        form_->PlayPause();
        form_->Player()->SetDuration(1500);
        form_->OnTimer(kPlayerTimerId);
        QCOMPARE(form_->Recordings().SelectionMark(), 0);
        form_->OnTimer(kPlayerTimerId);
        QCOMPARE(form_->Recordings().SelectionMark(), 1);
        QCOMPARE(form_->LastIndex(), 1);
        QCOMPARE(form_->State(), PlaybackState::Playing);
    }

    void clipWithoutLogPlaysAlone() {
        CopySample("REC0004.MOV", "alone.MOV");
        Pick({"alone.MOV"}, 0);
        form_->PlayPause();
        QVERIFY(messages_.isEmpty());
        QCOMPARE(form_->State(), PlaybackState::Stopped);
        QVERIFY(!form_->LogTimerActive());
        QCOMPARE(form_->Player()->GetMediaState(), MediaState::Running);
        QVERIFY(form_->PlayButtonShowsPause());
        form_->PlayPause();
        QCOMPARE(form_->Player()->GetMediaState(), MediaState::Paused);
        QVERIFY(!form_->PlayButtonShowsPause());
    }

    void plainKeysAreConsumed_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("consumed");
        QTest::newRow("down arrow") << int(Qt::Key_Down) << int(Qt::NoModifier) << true;
        QTest::newRow("enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << true;
        QTest::newRow("escape") << int(Qt::Key_Escape) << int(Qt::NoModifier) << true;
        QTest::newRow("alt combination") << int(Qt::Key_F) << int(Qt::AltModifier) << false;
    }
    void plainKeysAreConsumed() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, consumed);
        // Filters on the list itself run after the application-wide one of the form.
        KeyRecorder recorder;
        QWidget* list = GetDlgItem(form_.get(), 1155);
        list->installEventFilter(&recorder);
        QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
        QCoreApplication::sendEvent(list, &press);
        QCOMPARE(recorder.seen == 0, consumed);
    }

    void arrowKeysLeaveTheSelection() {
        Write("a.nmea", Log(1));
        Write("b.nmea", Log(1));
        Pick({"a.nmea", "b.nmea"}, 0);
        form_->show();
        auto* list = qobject_cast<QTreeWidget*>(GetDlgItem(form_.get(), 1155));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(form_->Recordings().SelectionMark(), 0);
    }

    void dropAnywhereRefillsTheList() {
        const QString clip = Write("a.MOV", "");
        const QString odd = Write("b.Mov", "");
        form_->show();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(clip), QUrl::fromLocalFile(odd)});
        // On the time text, a child that takes no drops itself.
        QWidget* target = GetDlgItem(form_.get(), 1171);
        const QPointF at(5, 5);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        QCOMPARE(form_->Recordings().RowCount(), 1);
        QCOMPARE(qobject_cast<QLineEdit*>(GetDlgItem(form_.get(), 1005))->text(), dir_.path());
    }

    void listGrowsWithTheForm() {
        form_->show();
        QWidget* list = GetDlgItem(form_.get(), 1155);
        const QRect before = list->geometry();
        form_->resize(form_->width(), form_->height() + 120);
        QCOMPARE(list->geometry(), before.adjusted(0, 0, 0, 120));
    }
};

QTEST_MAIN(TestControlForm)
#include "test_control_form.moc"
