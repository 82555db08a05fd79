#include <QLabel>
#include <QTest>

#include "skin/dialog_template.h"

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
};

QTEST_MAIN(TestSkin)
#include "test_skin.moc"
