#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <algorithm>

#include "skin/dialog_template.h"

Q_DECLARE_METATYPE(QRect)

class TestDialogTemplate : public QObject {
    Q_OBJECT

private slots:
    void controlsPlacedInPixels_data() {
        QTest::addColumn<int>("dialog");
        QTest::addColumn<int>("control");
        QTest::addColumn<QRect>("pixels");
        QTest::addColumn<bool>("visible");
        // "System" templates: 2 px per unit both ways.
        QTest::newRow("speedometer face") << 132 << 1158 << QRect(246, 6, 210, 210) << true;
        QTest::newRow("G-sensor chart") << 132 << 1161 << QRect(0, 544, 470, 130) << true;
        QTest::newRow("hidden progress") << 132 << 1175 << QRect(788, 314, 254, 14) << false;
        // "MS Sans Serif" 8 pt: 1.5 px across, 1.625 px down.
        QTest::newRow("map placeholder") << 196 << 1080 << QRect(9, 11, 462, 303) << true;
    }
    void controlsPlacedInPixels() {
        QFETCH(int, dialog);
        QFETCH(int, control);
        QFETCH(QRect, pixels);
        QFETCH(bool, visible);
        const auto tmpl = LoadDialogTemplate(dialog);
        QVERIFY(tmpl.has_value());
        QWidget page;
        CreateDialogControls(&page, *tmpl);
        QWidget* w = GetDlgItem(&page, control);
        QVERIFY(w != nullptr);
        QCOMPARE(w->geometry(), pixels);
        QCOMPARE(w->isVisibleTo(&page), visible);
    }

    void formTemplateSizeAndKinds() {
        const auto tmpl = LoadDialogTemplate(132);
        QVERIFY(tmpl.has_value());
        QCOMPARE(tmpl->PixelSize(), QSize(1290, 742));
        QWidget page;
        CreateDialogControls(&page, *tmpl,
                             [](const ControlTemplate& c, QWidget* parent) -> QWidget* {
                                 return c.id == 1171 ? new QLabel("custom", parent) : nullptr;
                             });
        QCOMPARE(qobject_cast<QLabel*>(GetDlgItem(&page, 1171))->text(), QString("custom"));
        QVERIFY(qobject_cast<QPushButton*>(GetDlgItem(&page, 1154)) != nullptr);
        QVERIFY(!GetDlgItem(&page, 1194)->isEnabled());
        auto* folder = qobject_cast<QLineEdit*>(GetDlgItem(&page, 1005));
        QVERIFY(folder->isReadOnly());
        // Disabled, the folder box still reads: light text well above its base.
        folder->setText("/media/cam");
        const QImage shot = folder->grab().toImage();
        int lightest = 0;
        for (int x = 0; x < shot.width() / 2; ++x)
            lightest = std::max(lightest, qGray(shot.pixel(x, shot.height() / 2)));
        QVERIFY(lightest - qGray(shot.pixel(shot.width() - 5, shot.height() / 2)) > 128);
        QCOMPARE(GetDlgItem(&page, 4242), nullptr);
    }

    void missingTemplate() { QVERIFY(!LoadDialogTemplate(4242).has_value()); }
};

QTEST_MAIN(TestDialogTemplate)
#include "test_dialog_template.moc"
