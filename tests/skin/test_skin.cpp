#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "resources/resource_ids.h"
#include "skin/dialog_template.h"
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
    }

    void buttonImagesAndClicks() {
        QWidget form;
        form.resize(200, 200);
        CSkinButton button(&form);
        button.resize(60, 30);
        button.SetBitmaps(1196, 1194, 1197, 0, 0, 1195, 0, false, 0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
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
};

QTEST_MAIN(TestSkin)
#include "test_skin.moc"
