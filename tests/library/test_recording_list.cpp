#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <sys/time.h>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "app/app_state.h"
#include "library/recording_list.h"
#include "skin/dialog_template.h"

namespace {

// 2013-03-04 09:05:07 UTC.
constexpr int64_t kMorning = 1362387907;

void SetZone(const char* tz) {
    qputenv("TZ", tz);
    tzset();
}

QString ReadText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

}  // namespace

class TestRecordingList : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    std::unique_ptr<QWidget> form_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* box_ = nullptr;
    std::unique_ptr<CRecordingList> recordings_;
    int refills_ = 0;
    int dialogs_ = 0;
    QString dialogStart_;
    std::optional<QStringList> answer_;

    QString Dir() const { return tmp_->path(); }

    // Creates the files under the temporary folder with a known last-write time; returns
    // their full paths.
    QStringList Touch(const QStringList& names) {
        QStringList paths;
        for (const QString& name : names) {
            const QString path = Dir() + '/' + name;
            QDir().mkpath(QFileInfo(path).path());
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.close();
            const timeval times[2] = {{kMorning, 0}, {kMorning, 0}};
            utimes(path.toLocal8Bit().constData(), times);
            paths << path;
        }
        return paths;
    }

    QStringList Column(int column) const {
        QStringList texts;
        for (int i = 0; i < list_->topLevelItemCount(); ++i)
            texts << list_->topLevelItem(i)->text(column);
        return texts;
    }

    void Fill(int rows) {
        QStringList names;
        for (int i = 0; i < rows; ++i) names << QStringLiteral("REC%1.MOV").arg(i);
        answer_ = Touch(names);
        recordings_->SelectRecordings();
    }

private slots:
    void initTestCase() { SetZone("UTC"); }

    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        theApp() = CVantrailApp{};
        theApp().moduleDir = Dir().toStdString();
        theApp().folderPath = "/start/here";
        form_ = std::make_unique<QWidget>();
        const auto tmpl = LoadDialogTemplate(132);
        QVERIFY(tmpl);
        CreateDialogControls(form_.get(), *tmpl);
        list_ = qobject_cast<QTreeWidget*>(GetDlgItem(form_.get(), 1155));
        box_ = qobject_cast<QLineEdit*>(GetDlgItem(form_.get(), 1005));
        QVERIFY(list_ && box_);
        recordings_ = std::make_unique<CRecordingList>(list_, box_, form_.get());
        recordings_->InitListColumns();
        refills_ = 0;
        dialogs_ = 0;
        answer_.reset();
        recordings_->SetBeforeRefill([this] { ++refills_; });
        recordings_->SetFileDialog(
            [this](QWidget*, const QString& start, const QList<FileFilter>&) {
                ++dialogs_;
                dialogStart_ = start;
                return answer_;
            });
    }

    void cleanup() {
        recordings_.reset();
        form_.reset();
        tmp_.reset();
    }

    void selectRecordings_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("types");
        QTest::addColumn<QString>("folder");  // below the temporary folder
        QTest::newRow("clip, log and stream")
            << QStringList{"a.MOV", "a.nmea", "b.ts"} << QStringList{"MOV", "NMEA", "TS"} << "";
        QTest::newRow("mixed case is unknown")
            << QStringList{"clip.Mov", "a.MOV"} << QStringList{"UNKNOW", "MOV"} << "";
        QTest::newRow("only the last point counts") << QStringList{"a.b.ts", "c.mov.txt", "README"}
                                                    << QStringList{"TS", "UNKNOW", "UNKNOW"} << "";
        QTest::newRow("upper-case log") << QStringList{"X.NMEA"} << QStringList{"NMEA"} << "";
        QTest::newRow("percent in folder")
            << QStringList{"cam%d %s/REC0001.MOV"} << QStringList{"MOV"} << "/cam%d %s";
    }

    void selectRecordings() {
        QFETCH(QStringList, names);
        QFETCH(QStringList, types);
        QFETCH(QString, folder);
        list_->addTopLevelItem(new QTreeWidgetItem(QStringList{"old.MOV"}));
        answer_ = Touch(names);
        recordings_->SelectRecordings();

        QCOMPARE(refills_, 1);
        QCOMPARE(dialogStart_, QString("/start/here"));
        QStringList expectedNames;
        for (const QString& n : names) expectedNames << n.mid(n.lastIndexOf('/') + 1);
        QCOMPARE(Column(0), expectedNames);
        QCOMPARE(Column(1), types);
        for (const QString& date : Column(2)) QCOMPARE(date, QString("9:05:07 AM, 04,March,2013"));
        const std::string expectedFolder = (Dir() + folder).toStdString();
        QCOMPARE(recordings_->folder(), expectedFolder);
        QCOMPARE(box_->text().toStdString(), expectedFolder);
        QCOMPARE(theApp().folderPath, expectedFolder);
        QCOMPARE(recordings_->SelectionMark(), -1);
    }

    void selectInRootFolder() {
        answer_ = QStringList{"/REC0001.MOV", "/REC0001.nmea"};
        recordings_->SelectRecordings();
        QCOMPARE(recordings_->folder(), std::string());
        QCOMPARE(Column(0), (QStringList{"REC0001.MOV", "REC0001.nmea"}));
        QCOMPARE(Column(2), (QStringList{"", ""}));  // no such files: no date
        QCOMPARE(recordings_->SelectNext(), 0);
        QCOMPARE(recordings_->GetSelFilePath(), std::string("/REC0001.MOV"));
    }

    void cancelledDialog_data() {
        QTest::addColumn<bool>("tooLong");
        QTest::newRow("cancelled") << false;
        QTest::newRow("selection overflows the buffer") << true;
    }

    void cancelledDialog() {
        QFETCH(bool, tooLong);
        Fill(2);
        QCOMPARE(refills_, 1);
        box_->setText("/dropped/here");
        if (tooLong) {
            QStringList many;
            for (int i = 0; i < 200; ++i)
                many << Dir() + '/' + QString(150, 'n') + QString::number(i) + ".MOV";
            answer_ = many;
        } else {
            answer_.reset();
        }
        recordings_->SelectRecordings();
        QCOMPARE(refills_, 1);
        QCOMPARE(Column(0), (QStringList{"REC0.MOV", "REC1.MOV"}));
        QCOMPARE(theApp().folderPath, std::string("/dropped/here"));
        QCOMPARE(box_->text(), QString("/dropped/here"));
    }

    void selectionBuffer_data() {
        QTest::addColumn<int>("nameLength");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("fits");
        // Several: "/f" and each name with its terminator, then one more terminator:
        // 3 + 3 * (n + 5) + 1 bytes. One: the path and two terminators, n + 9 bytes.
        QTest::newRow("three names, exactly full") << 8694 << 3 << true;
        QTest::newRow("three names, over") << 8695 << 3 << false;
        QTest::newRow("one path, exactly full") << 26092 << 1 << true;
        QTest::newRow("one path, over") << 26093 << 1 << false;
    }

    void selectionBuffer() {
        QFETCH(int, nameLength);
        QFETCH(int, count);
        QFETCH(bool, fits);
        QStringList paths;
        for (int i = 0; i < count; ++i)
            paths << "/f/" + QString(nameLength, QChar('a' + i)) + ".MOV";
        QCOMPARE(SelectionFitsBuffer(paths), fits);
    }

    void fileFilters_data() {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("hidden");
        QTest::newRow("clips") << 0 << "MOV Files (*.mov)"
                               << QStringList{"a.MOV", "a.mov", "clip.Mov"}
                               << QStringList{"a.ts", "a.nmea", "a.mov.bak"};
        QTest::newRow("streams") << 1 << "TS Files (*.ts)" << QStringList{"b.TS", "b.ts"}
                                 << QStringList{"b.mts", "b.MOV"};
        QTest::newRow("logs") << 2 << " NMEA Files (*.nmea)" << QStringList{"c.NMEA", "c.nmea"}
                              << QStringList{"c.txt"};
        QTest::newRow("all") << 3 << "ALL Files (*.mov;*.ts;*.nmea)"
                             << QStringList{"a.MOV", "b.Ts", "c.nmea"}
                             << QStringList{"d.mp4", "README"};
    }

    void fileFilters() {
        QFETCH(int, filter);
        QFETCH(QString, label);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, hidden);
        const QList<FileFilter>& filters = RecordingFileFilters();
        QCOMPARE(filters.size(), 4);
        QCOMPARE(filters[filter].label, label);
        auto matches = [&](const QString& name) {
            for (const QString& pattern : filters[filter].patterns)
                if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern))
                        .match(name)
                        .hasMatch())
                    return true;
            return false;
        };
        for (const QString& name : shown) QVERIFY2(matches(name), qPrintable(name));
        for (const QString& name : hidden) QVERIFY2(!matches(name), qPrintable(name));
    }

    void drops_data() {
        QTest::addColumn<QStringList>("dropped");  // below the temporary folder
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("types");
        QTest::addColumn<QString>("folder");
        QTest::newRow("mixed case gets no row")
            << QStringList{"clip.Mov", "a.MOV"} << QStringList{"a.MOV"} << QStringList{"MOV"} << "";
        QTest::newRow("all kinds in drop order")
            << QStringList{"z.nmea", "notes.txt", "a.ts", "m.MOV"}
            << QStringList{"z.nmea", "a.ts", "m.MOV"} << QStringList{"NMEA", "TS", "MOV"} << "";
        QTest::newRow("folder sets the folder only")
            << QStringList{"cam/day1"} << QStringList{} << QStringList{} << "/cam";
        QTest::newRow("folder with trailing slash")
            << QStringList{"cam/day1/"} << QStringList{} << QStringList{} << "/cam";
        QTest::newRow("last path decides the folder")
            << QStringList{"a/REC1.MOV", "b/REC2.ts"} << QStringList{"REC1.MOV", "REC2.ts"}
            << QStringList{"MOV", "TS"} << "/b";
    }

    void drops() {
        QFETCH(QStringList, dropped);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, types);
        QFETCH(QString, folder);
        Fill(1);
        QStringList paths;
        for (const QString& name : dropped) {
            QDir().mkpath(Dir() + "/cam/day1");
            paths << Dir() + '/' + name;
        }
        recordings_->AddDroppedRecordings(paths);
        QCOMPARE(refills_, 2);
        QCOMPARE(Column(0), rows);
        QCOMPARE(Column(1), types);
        QCOMPARE(recordings_->folder(), (Dir() + folder).toStdString());
        QCOMPARE(box_->text(), Dir() + folder);
        QCOMPARE(theApp().folderPath, Dir().toStdString());  // a drop leaves the setting
    }

    void emptyDropStillRefills() {
        Fill(3);
        box_->setText("/kept");
        recordings_->AddDroppedRecordings({});
        QCOMPARE(refills_, 2);
        QCOMPARE(list_->topLevelItemCount(), 0);
        QCOMPARE(recordings_->folder(), std::string("/kept"));
    }

    void droppedPaths() {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile("/v/REC0001.MOV"), QUrl("http://127.0.0.1/x.MOV"),
                      QUrl::fromLocalFile("/v/REC 2.ts")});
        QCOMPARE(DroppedPaths(&data), (QStringList{"/v/REC0001.MOV", "/v/REC 2.ts"}));
        QCOMPARE(DroppedPaths(nullptr), QStringList{});
    }

    void formatListDate_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<qint64>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("morning") << QByteArray("UTC") << qint64(kMorning)
                                 << "9:05:07 AM, 04,March,2013";
        QTest::newRow("evening") << QByteArray("UTC") << qint64(kMorning + 12 * 3600)
                                 << "9:05:07 PM, 04,March,2013";
        QTest::newRow("noon") << QByteArray("UTC") << qint64(kMorning + 3 * 3600 - 307)
                              << "12:00:00 PM, 04,March,2013";
        QTest::newRow("after midnight")
            << QByteArray("UTC") << qint64(kMorning - 9 * 3600) << "12:05:07 AM, 04,March,2013";
        QTest::newRow("two-digit hour")
            << QByteArray("UTC") << qint64(1359633540) << "11:59:00 AM, 31,January,2013";
        QTest::newRow("local winter time") << QByteArray("CET-1CEST,M3.5.0,M10.5.0/3")
                                           << qint64(kMorning) << "10:05:07 AM, 04,March,2013";
        QTest::newRow("local summer time, day changes")
            << QByteArray("CET-1CEST,M3.5.0,M10.5.0/3") << qint64(1372634700)
            << "1:25:00 AM, 01,July,2013";
        QTest::newRow("west of Greenwich, day before")
            << QByteArray("MST7") << qint64(kMorning - 9 * 3600) << "5:05:07 PM, 03,March,2013";
        QTest::newRow("zero") << QByteArray("UTC") << qint64(0) << "";
        QTest::newRow("before 1970") << QByteArray("UTC") << qint64(-60) << "";
        QTest::newRow("last 32-bit second")
            << QByteArray("UTC") << qint64(2147483647) << "3:14:07 AM, 19,January,2038";
        QTest::newRow("after 2038") << QByteArray("UTC") << qint64(2147483648) << "";
    }

    void formatListDate() {
        QFETCH(QByteArray, zone);
        QFETCH(qint64, time);
        QFETCH(QString, text);
        SetZone(zone.constData());
        const std::string got = FormatListDate(time);
        SetZone("UTC");
        QCOMPARE(QString::fromStdString(got), text);
    }

    void logPathFor_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("log");
        QTest::newRow("clip") << "/d/cam/REC0001.MOV" << 1 << "/d/cam/REC0001.nmea";
        QTest::newRow("stream") << "/d/cam/REC0002.TS" << 2 << "/d/cam/REC0002.nmea";
        QTest::newRow("last point only") << "/d/c.am/a.b.ts" << 2 << "/d/c.am/a.b.nmea";
        QTest::newRow("log is its own") << "/d/cam/REC0003.NMEA" << 3 << "/d/cam/REC0003.NMEA";
        QTest::newRow("unknown has none") << "/d/cam/clip.Mov" << 0 << "";
        QTest::newRow("no extension has none") << "/d/cam/clip" << -1 << "";
    }

    void logPathFor() {
        QFETCH(QString, path);
        QFETCH(int, type);
        QFETCH(QString, log);
        QCOMPARE(QString::fromStdString(LogPathFor(path.toStdString(), type)), log);
    }

    void noSelection_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("emptyName");
        QTest::newRow("empty list") << 0 << false;
        QTest::newRow("rows, none selected") << 2 << false;
        QTest::newRow("selected row without a name") << 1 << true;
    }

    void noSelection() {
        QFETCH(int, rows);
        QFETCH(bool, emptyName);
        if (emptyName) {
            answer_ = QStringList{Dir() + "/"};
            recordings_->SelectRecordings();
            recordings_->SelectNext();
        } else {
            Fill(rows);
        }
        QCOMPARE(recordings_->GetSelFilePath(), std::string());
        const QString log = ReadText(Dir() + "/History.log");
        QVERIFY2(log.endsWith("\tGetSelFilePath => no selected file\r\n"), qPrintable(log));
    }

    void clickMarksRow() {
        Fill(3);
        form_->resize(1290, 742);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        const QRect rect = list_->visualItemRect(list_->topLevelItem(1));
        QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(recordings_->SelectionMark(), 1);
        QCOMPARE(recordings_->GetSelFilePath(), (Dir() + "/REC1.MOV").toStdString());
        // A cleared selection keeps the mark, as next and previous start from it.
        list_->clearSelection();
        QCOMPARE(recordings_->SelectNext(), 2);
    }

    void nextAndPrevious_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("start");  // -1: no row ever selected
        QTest::addColumn<bool>("forward");
        QTest::addColumn<int>("expected");
        QTest::newRow("next from none") << 3 << -1 << true << 0;
        QTest::newRow("next") << 3 << 0 << true << 1;
        QTest::newRow("next wraps") << 3 << 2 << true << 0;
        QTest::newRow("previous from none") << 3 << -1 << false << 2;
        QTest::newRow("previous") << 3 << 2 << false << 1;
        QTest::newRow("previous wraps") << 3 << 0 << false << 2;
        QTest::newRow("single row") << 1 << 0 << true << 0;
        QTest::newRow("empty list") << 0 << -1 << true << -1;
    }

    void nextAndPrevious() {
        QFETCH(int, rows);
        QFETCH(int, start);
        QFETCH(bool, forward);
        QFETCH(int, expected);
        Fill(rows);
        if (start >= 0)
            list_->topLevelItem(start)->setSelected(true);
        QCOMPARE(recordings_->SelectionMark(), start);
        const int got = forward ? recordings_->SelectNext() : recordings_->SelectPrevious();
        QCOMPARE(got, expected);
        QCOMPARE(recordings_->SelectionMark(), expected);
        const QList<QTreeWidgetItem*> selected = list_->selectedItems();
        if (expected < 0) {
            QVERIFY(selected.isEmpty());
            return;
        }
        QCOMPARE(selected.size(), 1);
        QCOMPARE(list_->indexOfTopLevelItem(selected.front()), expected);
        QCOMPARE(recordings_->GetSelFilePath(),
                 (Dir() + QStringLiteral("/REC%1.MOV").arg(expected)).toStdString());
    }

    void refillClearsMark() {
        Fill(2);
        recordings_->SelectNext();
        Fill(2);
        QCOMPARE(recordings_->SelectionMark(), -1);
        QCOMPARE(recordings_->GetSelFilePath(), std::string());
    }
};

QTEST_MAIN(TestRecordingList)
#include "test_recording_list.moc"
