#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "resources/resource_ids.h"
#include "skin/bitmap_dialog.h"
#include "skin/pro_slider_ctrl.h"
#include "skin/region_from_bitmap.h"
#include "skin/skin_button.h"

Q_DECLARE_METATYPE(QRegion)

namespace {

QImage Bitmap(int id) {
    return QImage(BitmapPath(id)).convertToFormat(QImage::Format_RGB32);
}

QImage Grab(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A white mask with the given pixels black.
QImage Mask(int w, int h, const QList<QRect>& black) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (const QRect& r : black) p.fillRect(r, Qt::black);
    return image;
}

QRegion Union(const QList<QRect>& rects) {
    QRegion region;
    for (const QRect& r : rects) region += r;
    return region;
}

void Move(QWidget* w, const QPoint& pos, Qt::MouseButtons buttons) {
    QMouseEvent e(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

}  // namespace

class TestSkinControls : public QObject {
    Q_OBJECT

private slots:
    void regionFromMask_data() {
        QTest::addColumn<QImage>("mask");
        QTest::addColumn<QRegion>("region");
        const QList<QRect> square{QRect(0, 0, 30, 30)};
        QTest::newRow("all black 30 x 30") << Mask(30, 30, square) << Union(square);
        const QList<QRect> lastColumn{QRect(29, 3, 1, 1), QRect(0, 4, 2, 1)};
        QTest::newRow("run in the last column ends the row")
            << Mask(30, 10, lastColumn) << Union(lastColumn);
        const QList<QRect> toEnd{QRect(5, 2, 25, 1)};
        QTest::newRow("run from 5 to the end") << Mask(30, 10, toEnd) << Union(toEnd);
        const QList<QRect> keyLast{QRect(5, 2, 24, 1)};
        QTest::newRow("key pixel last") << Mask(30, 10, keyLast) << Union(keyLast);
        QTest::newRow("all key colour") << Mask(30, 10, {}) << QRegion();
        QTest::newRow("no bitmap") << QImage() << QRegion();
        QTest::newRow("shipped mask") << Bitmap(1211) << QRegion(0, 0, 45, 45);
    }
    void regionFromMask() {
        QFETCH(QImage, mask);
        QFETCH(QRegion, region);
        QCOMPARE(RegionFromBitmap(mask, Qt::white), region);
    }

    void tiledBackground() {
        QPixmap tile(800, 600);
        tile.fill(Qt::black);
        {
            QPainter p(&tile);
            p.fillRect(0, 0, 1, 1, Qt::red);
            p.fillRect(799, 599, 1, 1, Qt::green);
        }
        CBitmapDialog dialog;
        dialog.SetBackground(tile);
        dialog.resize(1000, 700);
        const QImage image = Grab(dialog);
        for (const QPoint& origin :
             {QPoint(0, 0), QPoint(800, 0), QPoint(0, 600), QPoint(800, 600)})
            QCOMPARE(image.pixelColor(origin), QColor(Qt::red));
        QCOMPARE(image.pixelColor(799, 599), QColor(Qt::green));
        QCOMPARE(image.pixelColor(801, 601), QColor(Qt::black));
    }

    void centredAndStretched_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QPoint>("marker");
        QTest::newRow("centre, smaller image") << 1 << QSize(300, 200) << QPoint(100, 75);
        QTest::newRow("centre, larger image") << 1 << QSize(80, 40) << QPoint(0, 0);
        QTest::newRow("stretch") << 2 << QSize(300, 200) << QPoint(0, 0);
    }
    void centredAndStretched() {
        QFETCH(int, mode);
        QFETCH(QSize, client);
        QFETCH(QPoint, marker);
        QPixmap image(100, 50);
        image.fill(Qt::blue);
        {
            QPainter p(&image);
            p.fillRect(0, 0, 1, 1, Qt::red);
        }
        CBitmapDialog dialog;
        dialog.SetBackground(image);
        dialog.SetBackgroundMode(mode);
        dialog.resize(client);
        const QImage shot = Grab(dialog);
        QCOMPARE(shot.pixelColor(marker), QColor(Qt::red));
        if (mode == 2)
            QCOMPARE(shot.pixelColor(client.width() - 1, client.height() - 1), QColor(Qt::blue));
    }

    void backgroundModeRange() {
        CBitmapDialog dialog;
        dialog.SetBackgroundMode(2);
        dialog.SetBackgroundMode(3);
        dialog.SetBackgroundMode(-1);
        QCOMPARE(dialog.BackgroundModeValue(), 2);
        QVERIFY(dialog.LoadBackground(218));
        QVERIFY(!dialog.LoadBackground(4242));
    }

    void ringColours_data() {
        QTest::addColumn<QColor>("start");
        QTest::addColumn<QColor>("second");
        QTest::newRow("dark grey") << QColor(51, 51, 51) << QColor(61, 61, 61);
        QTest::newRow("245 reaches 255") << QColor(245, 0, 0) << QColor(255, 10, 10);
        QTest::newRow("246 stays") << QColor(246, 10, 255) << QColor(246, 20, 255);
    }
    void ringColours() {
        QFETCH(QColor, start);
        QFETCH(QColor, second);
        QImage image(10, 8, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter p(&image);
        CProSliderCtrl::DrawRings(p, QRect(0, 0, 10, 8), start, false, Qt::Horizontal);
        p.end();
        QCOMPARE(image.pixelColor(0, 0), start);
        QCOMPARE(image.pixelColor(9, 7), start);
        QCOMPARE(image.pixelColor(0, 1), second);  // across only: the ends keep their rings
    }

    void sliderBackground() {
        CProSliderCtrl slider;
        slider.resize(454, 18);
        slider.setRange(0, 100);
        slider.setValue(100);
        const QImage image = Grab(slider);
        const int expected[] = {51, 56, 66, 76, 86, 96, 106, 116, 126};
        for (int row = 0; row < 9; ++row) {
            QCOMPARE(image.pixelColor(4, row), QColor(expected[row], expected[row], expected[row]));
            QCOMPARE(image.pixelColor(4, 17 - row),
                     QColor(expected[row], expected[row], expected[row]));
        }
        QCOMPARE(image.pixelColor(0, 8), QColor(51, 51, 51));
        QCOMPARE(image.pixelColor(1, 1), QColor(56, 56, 56));
        QCOMPARE(image.pixelColor(1, 8), QColor(126, 126, 126));  // rings run along
    }

    void channelFill_data() {
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("lastColumn");
        QTest::newRow("half of 100") << 100 << 50 << 224;
        QTest::newRow("maximum 0: one column") << 0 << 50 << 9;
        QTest::newRow("a quarter") << 100 << 25 << 116;
    }
    void channelFill() {
        QFETCH(int, max);
        QFETCH(int, pos);
        QFETCH(int, lastColumn);
        CProSliderCtrl slider;
        slider.resize(454, 18);
        slider.setRange(0, 100);
        slider.setValue(100);  // thumb away from the fill
        slider.SetDrawRange(0, static_cast<qint16>(max));
        slider.SetDrawPos(pos);
        QCOMPARE(slider.ChannelRect().width(), 434);
        const QImage image = Grab(slider);
        const QColor fill(233, 103, 41);
        QCOMPARE(image.pixelColor(9, 3), fill);
        QCOMPARE(image.pixelColor(lastColumn, 3), fill);
        QCOMPARE(image.pixelColor(lastColumn, 14), fill);
        QVERIFY(image.pixelColor(lastColumn + 1, 8) != fill);
        QCOMPARE(image.pixelColor(8, 8).red(), image.pixelColor(8, 8).green());  // background
    }

    void sliderThumbColours() {
        CProSliderCtrl slider;
        slider.resize(454, 18);
        slider.setRange(0, 100);
        slider.setValue(50);
        slider.show();
        QVERIFY(QTest::qWaitForWindowExposed(&slider));
        Move(&slider, QPoint(227, 9), Qt::NoButton);  // the thumb sits mid-way
        QCOMPARE(slider.CurrentThumbColor(), QColor(255, 255, 255));
        Move(&slider, QPoint(20, 9), Qt::NoButton);
        QCOMPARE(slider.CurrentThumbColor(), QColor(0, 204, 0));
        QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(20, 9));
        QVERIFY(!slider.ThumbHeld());  // a click on the channel is not a hold
        QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(20, 9));
    }

    void buttonStateImages() {
        QWidget form;
        CSkinButton button(&form);
        button.resize(60, 30);
        button.SetBitmaps(1196, 1194, 1197, 0, 0, 1195, 0, false, 0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(button.size(), QSize(30, 30));
        QCOMPARE(Grab(button), Bitmap(1196));
        Move(&button, QPoint(10, 10), Qt::NoButton);
        QCOMPARE(Grab(button), Bitmap(1197));
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(Grab(button), Bitmap(1194));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(Grab(button), Bitmap(1196));  // a press ends the hover look
    }

    void dragOffGivesNoClick() {
        QWidget form;
        CSkinButton button(&form);
        button.SetBitmaps(1208, 1206, 1209, 0, 0, 1207, 0, false, 0);
        form.resize(200, 200);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QSignalSpy clicks(&button, &QPushButton::clicked);
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(15, 15));
        Move(&button, QPoint(100, 100), Qt::LeftButton);
        QCOMPARE(Grab(button), Bitmap(1208));
        Move(&button, QPoint(12, 12), Qt::LeftButton);
        QCOMPARE(Grab(button), Bitmap(1206));
        Move(&button, QPoint(100, 100), Qt::LeftButton);
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(clicks.count(), 0);
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(15, 15));
        QCOMPARE(clicks.count(), 1);
    }

    void doubleClickIsTwoClicks() {
        CSkinButton button;
        button.SetBitmaps(1200, 1198, 1201, 0, 0, 1199, 0, false, 0);
        QSignalSpy clicks(&button, &QPushButton::clicked);
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(15, 15));
        QTest::mouseDClick(&button, Qt::LeftButton, {}, QPoint(15, 15));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(15, 15));
        QCOMPARE(clicks.count(), 2);
    }

    void missingImagesFallBackToButtonFace() {
        CSkinButton button;
        button.resize(20, 20);
        button.SetBitmaps(4242, 0, 0, 0, 0, 0, 1, false, 0);
        QCOMPARE(Grab(button).pixelColor(10, 10), button.palette().color(QPalette::Button));
    }

    void checkKinds_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("afterOneClick");
        QTest::addColumn<bool>("afterTwoClicks");
        QTest::newRow("push button never checks") << int(CSkinButton::PushButton) << false << false;
        QTest::newRow("check box toggles") << int(CSkinButton::CheckBox) << true << false;
        QTest::newRow("radio stays checked") << int(CSkinButton::RadioButton) << true << true;
    }
    void checkKinds() {
        QFETCH(int, kind);
        QFETCH(bool, afterOneClick);
        QFETCH(bool, afterTwoClicks);
        CSkinButton button(nullptr, static_cast<CSkinButton::Kind>(kind));
        button.resize(30, 30);
        button.SetCheck(true);
        QCOMPARE(button.GetCheck(), kind != CSkinButton::PushButton);
        button.SetCheck(false);
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(button.GetCheck(), afterOneClick);
        QTest::keyClick(&button, Qt::Key_Space);
        QCOMPARE(button.GetCheck(), afterTwoClicks);
    }

    void radioGroupClearsOthers() {
        QWidget dialog;
        CSkinButton a(&dialog, CSkinButton::RadioButton);
        CSkinButton b(&dialog, CSkinButton::RadioButton);
        CSkinButton c(&dialog, CSkinButton::RadioButton);
        CSkinButton d(&dialog, CSkinButton::RadioButton);  // a group of its own
        d.SetGroupStart(true);
        d.SetCheck(true);
        a.SetCheck(true);
        QCoreApplication::sendPostedEvents();
        b.SetCheck(true);
        QCoreApplication::sendPostedEvents();
        QVERIFY(!a.GetCheck());
        QVERIFY(b.GetCheck());
        QVERIFY(!c.GetCheck());
        QVERIFY(d.GetCheck());
    }

    void focusRectangleNeedsMargin_data() {
        QTest::addColumn<int>("margin");
        QTest::addColumn<bool>("focusShows");
        QTest::newRow("margin 0") << 0 << false;
        QTest::newRow("margin 3") << 3 << true;
    }
    void focusRectangleNeedsMargin() {
        QFETCH(int, margin);
        QFETCH(bool, focusShows);
        QWidget form;
        CSkinButton button(&form);
        CSkinButton other(&form);
        other.move(40, 0);
        button.SetBitmaps(1200, 1198, 1201, 0, 0, 0, 0, false, margin);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        other.setFocus();
        const QImage unfocused = Grab(button);
        button.setFocus();
        QVERIFY(button.hasFocus());
        QCOMPARE(Grab(button) != unfocused, focusShows);
    }

    void disabledShowsNormalImage() {
        CSkinButton button;
        button.SetBitmaps(1215, 1215, 1215, 0, 1215, 1214, 0, false, 0);
        button.setEnabled(false);
        QCOMPARE(Grab(button), Bitmap(1215));
    }

    void maskSizesTheButton_data() {
        QTest::addColumn<int>("drawMode");
        QTest::addColumn<QSize>("size");
        QTest::newRow("natural size: the mask's") << 0 << QSize(45, 45);
        QTest::newRow("stretched: the template's") << 1 << QSize(63, 46);
    }
    void maskSizesTheButton() {
        QFETCH(int, drawMode);
        QFETCH(QSize, size);
        CSkinButton button;
        button.resize(63, 46);
        button.SetBitmaps(1212, 1210, 1213, 0, 0, 1211, drawMode, false, 0);
        QCOMPARE(button.size(), size);
        QCOMPARE(button.mask(), QRegion(0, 0, 45, 45));
    }
};

QTEST_MAIN(TestSkinControls)
#include "test_skin_controls.moc"
