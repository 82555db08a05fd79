#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include <memory>

#include "playback/playback_commands.h"
#include "skin/pro_slider_ctrl.h"
#include "skin/segment_bar.h"
#include "tests/support/play_rows.h"

using Keys = QList<QKeyCombination>;

class TestPlaybackCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFixture> fx_;
    // A window with the form and a page that stands for the video page.
    std::unique_ptr<QWidget> window_;
    CControlForm* form_ = nullptr;
    QWidget* page_ = nullptr;

    PlaybackSession& Session() { return form_->Session(); }
    QWidget* Item(int id) const { return GetDlgItem(form_, id); }

    // What the keys change: play state, clock (while not playing), speed, volume and row.
    QString Snapshot() {
        const PlaybackState state = Session().State();
        const int volume =
            qobject_cast<CProSliderCtrl*>(Item(CTransportPanel::kVolumeSlider))->value();
        return QStringLiteral("%1 %2 vol%3 %4")
            .arg(state == PlaybackState::Playing ? QStringLiteral("playing")
                                                 : QString::number(Session().ClockMs()),
                 QString::fromStdString(RateLabel(Session().Rate())))
            .arg(volume)
            .arg(
                QFileInfo(QString::fromStdString(form_->Recordings().GetSelFilePath())).fileName());
    }

    // REC0001 with its log, paused at 20 s (frame 300 of 15 a second), the picture there.
    void PauseAtTwenty() {
        fx_->CopySample("REC0001.MOV", "a.MOV");
        fx_->CopySample("REC0001.nmea", "a.nmea");
        fx_->Write("b.nmea", CameraLog(5));
        PlayFirstRow(*form_, *fx_, {"a.MOV", "a.nmea", "b.nmea"});
        QTRY_VERIFY_WITH_TIMEOUT(Session().Player()->DurationMs() > 0, 10000);
        Session().PlayPause();
        Session().SeekMs(20000);
        QTRY_COMPARE_WITH_TIMEOUT(Session().Player()->PositionMs(), 20000, 5000);
    }

private slots:
    void init() {
        fx_ = std::make_unique<TestFixture>();
        window_ = std::make_unique<QWidget>();
        form_ = new CControlForm(window_.get());
        page_ = new QWidget(window_.get());
        page_->setGeometry(form_->width(), 0, 200, 200);
        page_->setFocusPolicy(Qt::ClickFocus);
        (new CPlaybackCommands(*form_, page_))->Watch(page_);
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void cleanup() {
        window_.reset();
        fx_.reset();
    }

    void keysOnTheVideoPage_data() {
        QTest::addColumn<Keys>("keys");
        QTest::addColumn<bool>("onForm");  // pressed on the form's list instead
        QTest::addColumn<QString>("after");
        QTest::newRow("space plays") << Keys{Qt::Key_Space} << false << "playing x1 vol10 a.MOV";
        QTest::newRow("right: 5 s on") << Keys{Qt::Key_Right} << false << "25000 x1 vol10 a.MOV";
        QTest::newRow("period: a frame on")
            << Keys{Qt::Key_Period} << false << "20066 x1 vol10 a.MOV";
        QTest::newRow("brackets: slower, faster")
            << Keys{Qt::Key_BracketLeft, Qt::Key_BracketLeft, Qt::Key_BracketRight} << false
            << "20000 x1/2 vol10 a.MOV";
        QTest::newRow("m mutes") << Keys{Qt::Key_M} << false << "20000 x1 vol0 a.MOV";
        // The list takes the focus on each change; the page keeps the keys.
        QTest::newRow("page down twice")
            << Keys{Qt::Key_PageDown, Qt::Key_PageDown} << false << "playing x1 vol10 b.nmea";
        QTest::newRow("the form swallows space")
            << Keys{Qt::Key_Space, Qt::Key_Right} << true << "20000 x1 vol10 a.MOV";
    }
    void keysOnTheVideoPage() {
        QFETCH(Keys, keys);
        QFETCH(bool, onForm);
        PauseAtTwenty();
        QWidget* target = onForm ? Item(1155) : page_;
        target->setFocus();
        for (QKeyCombination key : keys) {
            QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            QCoreApplication::processEvents();
        }
        QTRY_VERIFY(!Session().Loading());
        QTEST(Snapshot(), "after");
        QCOMPARE(QApplication::focusWidget(), target);
    }

    // The speed from the context menu or the bar; frame steps only for a paused clip.
    void speedAndFrameItems_data() {
        QTest::addColumn<bool>("paused");
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<int>("choice");  // index into the speeds
        QTest::newRow("paused, menu x4") << true << true << 4;
        QTest::newRow("playing, bar x1/4") << false << false << 0;
    }
    void speedAndFrameItems() {
        QFETCH(bool, paused);
        QFETCH(bool, fromMenu);
        QFETCH(int, choice);
        PauseAtTwenty();
        if (!paused)
            Session().PlayPause();
        CPlaybackCommands commands(*form_, nullptr);
        QMenu menu;
        commands.AddMenuItems(menu);
        const QList<QAction*> items = menu.actions();
        QCOMPARE(items.size(), 3);
        for (QAction* frameItem : {items[1], items[2]}) QCOMPARE(frameItem->isEnabled(), paused);
        const QList<QAction*> speeds = items[0]->menu()->actions();
        auto* bar = qobject_cast<CSegmentBar*>(Item(CTransportPanel::kSpeedBar));
        if (fromMenu)
            speeds[choice]->trigger();
        else
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->SegmentRect(choice).center());
        QCOMPARE(Session().Rate(), PlaybackSession::kRates[choice]);
        QCOMPARE(bar->Current(), choice);
        QVERIFY(qobject_cast<QLabel*>(Item(CTransportPanel::kTimeText))
                    ->text()
                    .endsWith("  " + speeds[choice]->text()));
    }
};

QTEST_MAIN(TestPlaybackCommands)
#include "test_playback_commands.moc"
