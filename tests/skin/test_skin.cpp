#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

#include "resources/resource_ids.h"
#include "skin/bitmap_dialog.h"
#include "skin/dialog_template.h"
#include "skin/pro_slider_ctrl.h"
#include "skin/skin_button.h"

namespace {

QImage Bitmap(int id) {
    return QImage(BitmapPath(id)).convertToFormat(QImage::Format_RGB32);
}

QImage Grab(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void Move(QWidget* w, const QPoint& pos, Qt::MouseButtons buttons) {
    QMouseEvent e(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void ShowWindow(QWidget& w) {
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

}  // namespace

class TestSkin : public QObject {
    Q_OBJECT

private slots:
    void dialogTemplates() {
        const auto tmpl = LoadDialogTemplate(132), map = LoadDialogTemplate(196);
        QVERIFY(tmpl.has_value() && map.has_value() && !LoadDialogTemplate(4242).has_value());
        QCOMPARE(tmpl->PixelSize(), QSize(1290, 742));
        QWidget page, mapPage;
        CreateDialogControls(&page, *tmpl,
                             [](const ControlTemplate& c, QWidget* parent) -> QWidget* {
                                 return c.id == 1171 ? new QLabel("custom", parent) : nullptr;
                             });
        CreateDialogControls(&mapPage, *map);
        // "System" templates: 2 px per unit both ways; "MS Sans Serif" 8 pt: 1.5 px across,
        // 1.625 px down.
        QCOMPARE(GetDlgItem(&page, 1158)->geometry(), QRect(246, 6, 210, 210));
        QCOMPARE(GetDlgItem(&page, 1175)->geometry(), QRect(788, 314, 254, 14));
        QCOMPARE(GetDlgItem(&mapPage, 1080)->geometry(), QRect(9, 11, 462, 303));
        QVERIFY(GetDlgItem(&page, 1158)->isVisibleTo(&page));
        QVERIFY(!GetDlgItem(&page, 1175)->isVisibleTo(&page));
        QCOMPARE(qobject_cast<QLabel*>(GetDlgItem(&page, 1171))->text(), QString("custom"));
        QVERIFY(!GetDlgItem(&page, 1005)->isEnabled());
        auto* folder = qobject_cast<QLineEdit*>(GetDlgItem(&page, 1005));
        QVERIFY(folder->isReadOnly());
        // Disabled, the folder box still reads: light text well above its base.
        folder->setText("/media/cam");
        const QImage shot = folder->grab().toImage();
        int lightest = 0;
        for (int x = 0; x < shot.width() / 2; ++x)
            lightest = std::max(lightest, qGray(shot.pixel(x, shot.height() / 2)));
        QVERIFY(lightest - qGray(shot.pixel(shot.width() - 5, shot.height() / 2)) > 128);
    }

    void background_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QList<QPoint>>("marks");
        QTest::newRow("tiled") << 0 << QSize(800, 600) << QSize(1000, 700)
                               << QList<QPoint>{{0, 0}, {800, 0}, {0, 600}, {800, 600}};
        QTest::newRow("stretched")
            << 2 << QSize(100, 50) << QSize(300, 200) << QList<QPoint>{{0, 0}, {2, 3}};
    }
    void background() {
        QFETCH(int, mode);
        QFETCH(QSize, image);
        QFETCH(QSize, client);
        QFETCH(QList<QPoint>, marks);
        QPixmap picture(image);
        picture.fill(Qt::blue);
        QPainter(&picture).fillRect(0, 0, 1, 1, Qt::red);
        CBitmapDialog dialog;
        dialog.SetBackground(picture);
        dialog.SetBackgroundMode(mode);
        dialog.SetBackgroundMode(3);  // out of range: ignored
        dialog.SetBackgroundMode(-1);
        dialog.resize(client);
        const QImage shot = Grab(dialog);
        for (const QPoint& mark : marks) QCOMPARE(shot.pixelColor(mark), QColor(Qt::red));
        QCOMPARE(shot.pixelColor(marks.last() + QPoint(3, 3)), QColor(Qt::blue));
    }

    void channelFill_data() {
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("lastColumn");
        QTest::newRow("half of 100") << 100 << 224;
        QTest::newRow("maximum 0: one column") << 0 << 9;
    }
    void channelFill() {
        QFETCH(int, max);
        QFETCH(int, lastColumn);
        CProSliderCtrl slider;
        slider.resize(454, 18);
        slider.setRange(0, 100);
        slider.setValue(100);  // thumb away from the fill
        slider.SetDrawRange(0, static_cast<qint16>(max));
        slider.SetDrawPos(50);
        const QImage image = Grab(slider);
        const QColor fill(233, 103, 41);
        QCOMPARE(image.pixelColor(9, 3), fill);
        QCOMPARE(image.pixelColor(lastColumn, 3), fill);
        QCOMPARE(image.pixelColor(lastColumn, 14), fill);
        QVERIFY(image.pixelColor(lastColumn + 1, 8) != fill);
    }

    void buttonImagesAndClicks() {
        QWidget form;
        form.resize(200, 200);
        CSkinButton button(&form);
        button.resize(60, 30);
        button.SetBitmaps(1196, 1194, 1197, 0, 0, 1195, 0, false, 0);
        ShowWindow(form);
        QCOMPARE(button.size(), QSize(30, 30));
        QCOMPARE(Grab(button), Bitmap(1196));
        Move(&button, QPoint(10, 10), Qt::NoButton);
        QCOMPARE(Grab(button), Bitmap(1197));
        QSignalSpy clicks(&button, &QPushButton::clicked);
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(Grab(button), Bitmap(1194));
        Move(&button, QPoint(100, 100), Qt::LeftButton);  // dragged off: normal look
        QCOMPARE(Grab(button), Bitmap(1196));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(clicks.count(), 0);
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(15, 15));
        QCOMPARE(Grab(button), Bitmap(1196));  // a press ends the hover look
        QTest::mouseDClick(&button, Qt::LeftButton, {}, QPoint(15, 15));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(15, 15));
        QCOMPARE(clicks.count(), 2);  // a double click counts as a second click
    }

    // A click, then a space: a push button never checks, a check box toggles, a radio stays
    // checked and clears the others of its group.
    void checkKinds() {
        QWidget dialog;
        CSkinButton push(&dialog), box(&dialog, CSkinButton::CheckBox),
            a(&dialog, CSkinButton::RadioButton), b(&dialog, CSkinButton::RadioButton),
            c(&dialog, CSkinButton::RadioButton), d(&dialog, CSkinButton::RadioButton);
        a.SetGroupStart(true);  // a, b and c; d in a group of its own
        d.SetGroupStart(true);
        for (CSkinButton* checked : {&push, &box, &d, &a}) checked->SetCheck(true);
        QCoreApplication::sendPostedEvents();
        const auto clickThenSpace = [](CSkinButton& button) {
            button.resize(30, 30);
            QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 5));
            const bool once = button.GetCheck();
            QTest::keyClick(&button, Qt::Key_Space);
            return QList<bool>{once, button.GetCheck()};
        };
        QCOMPARE(clickThenSpace(box), QList<bool>({false, true}));
        QTest::mousePress(&box, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(&box, Qt::LeftButton, {}, QPoint(5, 40));  // released off: no change
        QVERIFY(box.GetCheck());
        QCOMPARE(clickThenSpace(push), QList<bool>({false, false}));
        QCOMPARE(clickThenSpace(b), QList<bool>({true, true}));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(QList<bool>({a.GetCheck(), b.GetCheck(), c.GetCheck(), d.GetCheck()}),
                 QList<bool>({false, true, false, true}));
    }

    void maskSizeAndFocus_data() {
        QTest::addColumn<int>("drawMode");
        QTest::addColumn<int>("margin");
        QTest::addColumn<QSize>("size");
        QTest::newRow("natural size, margin 0: the mask's size, no focus rectangle")
            << 0 << 0 << QSize(45, 45);
        QTest::newRow("stretched, margin 3: the template's size") << 1 << 3 << QSize(63, 46);
    }
    void maskSizeAndFocus() {
        QFETCH(int, drawMode);
        QFETCH(int, margin);
        QFETCH(QSize, size);
        QWidget form;
        CSkinButton button(&form), other(&form);
        other.move(100, 0);
        button.resize(63, 46);
        button.SetBitmaps(1212, 1210, 1213, 0, 0, 1211, drawMode, false, margin);
        QCOMPARE(button.size(), size);
        QCOMPARE(button.mask(), QRegion(0, 0, 45, 45));
        ShowWindow(form);
        other.setFocus();
        const QImage unfocused = Grab(button);
        button.setFocus();
        QVERIFY(button.hasFocus());
        QCOMPARE(Grab(button) != unfocused, margin > 0);
    }
};

QTEST_MAIN(TestSkin)
#include "test_skin.moc"
