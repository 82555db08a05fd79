#pragma once
// Starts playing as a user does: the form's list filled through its file dialog with files of
// the fixture's folder, then a double-click on the first row, until its track has loaded.

#include <QTest>
#include <QTreeWidget>

#include "playback/control_form.h"
#include "skin/dialog_template.h"
#include "tests/support/fixture.h"

inline void PlayFirstRow(CControlForm& form, const TestFixture& fx, QStringList names) {
    for (QString& n : names) n = fx.Path(n);
    form.Recordings().SetFileDialog([names](QWidget*, const QString&, const QList<FileFilter>&) {
        return std::optional(names);
    });
    form.Recordings().SelectRecordings();
    auto* list = qobject_cast<QTreeWidget*>(GetDlgItem(&form, 1155));
    list->setCurrentItem(list->topLevelItem(0));
    emit list->itemDoubleClicked(list->topLevelItem(0), 0);
    QVERIFY(QTest::qWaitFor([&form] { return !form.Session().Loading(); }, 5000));
}
