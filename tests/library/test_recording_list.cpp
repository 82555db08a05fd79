#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <sys/time.h>
#include <ctime>
#include <memory>

#include "app/app_state.h"
#include "library/recording_list.h"
#include "skin/dialog_template.h"
#include "tests/support/fixture.h"

// 2013-03-04 09:05:07 local time, in a zone west of Greenwich so that the local day and hour
// differ from the UTC ones.
static constexpr qint64 kMorning = 1362413107;
using L = QStringList;

class TestRecordingList : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFixture> fx_;
    std::unique_ptr<QWidget> form_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* box_ = nullptr;
    std::unique_ptr<CRecordingList> recordings_;
    int refills_ = 0;
    QString dialogStart_;
    std::optional<QStringList> answer_;

    // Empty files below the temporary folder, all written at kMorning, offered by the dialog.
    void Offer(const QStringList& names) {
        answer_ = QStringList();
        for (const QString& name : names) {
            const QString path = fx_->Dir() + '/' + name;
            QDir().mkpath(QFileInfo(path).path());
            QFile(path).open(QIODevice::WriteOnly);
            const timeval times[2] = {{kMorning, 0}, {kMorning, 0}};
            utimes(path.toLocal8Bit().constData(), times);
            *answer_ << path;
        }
        recordings_->SelectRecordings();
    }
    void Fill(int rows) {
        QStringList names;
        for (int i = 0; i < rows; ++i) names << QStringLiteral("REC%1.MOV").arg(i);
        Offer(names);
    }
    QStringList Column(int column) const {
        QStringList texts;
        for (int i = 0; i < list_->topLevelItemCount(); ++i)
            texts << list_->topLevelItem(i)->text(column);
        return texts;
    }

private slots:
    void initTestCase() {
        qputenv("TZ", "MST7");
        tzset();
    }
    void init() {
        fx_ = std::make_unique<TestFixture>();
        theApp().folderPath = "/start/here";
        form_ = std::make_unique<QWidget>();
        const auto tmpl = LoadDialogTemplate(132);
        QVERIFY(tmpl);
        CreateDialogControls(form_.get(), *tmpl);
        list_ = qobject_cast<QTreeWidget*>(GetDlgItem(form_.get(), 1155));
        box_ = qobject_cast<QLineEdit*>(GetDlgItem(form_.get(), 1005));
        recordings_ = std::make_unique<CRecordingList>(list_, box_, form_.get());
        recordings_->InitListColumns();
        refills_ = 0;
        recordings_->SetBeforeRefill([this] { ++refills_; });
        recordings_->SetFileDialog([this](QWidget*, const QString& start, const auto&) {
            dialogStart_ = start;
            return answer_;
        });
    }
    void cleanup() {
        recordings_.reset();
        form_.reset();
        fx_.reset();
    }

    void selectRecordings_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("types");
        QTest::addColumn<QString>("folder");  // below the temporary folder
        QTest::newRow("mixed case unknown, last point counts")
            << L{"a.MOV", "a.b.ts", "c.mov.txt", "clip.Mov", "README", "X.NMEA"}
            << L{"MOV", "TS", "UNKNOW", "UNKNOW", "UNKNOW", "NMEA"} << "";
        QTest::newRow("percent in folder") << L{"cam%d %s/REC0001.MOV"} << L{"MOV"} << "/cam%d %s";
    }
    void selectRecordings() {
        QFETCH(QStringList, names);
        QFETCH(QStringList, types);
        QFETCH(QString, folder);
        list_->addTopLevelItem(new QTreeWidgetItem(QStringList{"old.MOV"}));
        Offer(names);
        QCOMPARE(refills_, 1);
        QCOMPARE(dialogStart_, QString("/start/here"));
        QCOMPARE(Column(0), names.replaceInStrings(QRegularExpression(".*/"), ""));
        QCOMPARE(Column(1), types);
        QCOMPARE(Column(2).front(), QString("9:05:07 AM, 04,March,2013"));
        QCOMPARE(box_->text(), fx_->Dir() + folder);
        QCOMPARE(recordings_->folder(), box_->text().toStdString());
        QCOMPARE(theApp().folderPath, box_->text().toStdString());
    }

    // Files in the root folder that do not exist; then a cancelled dialog keeps list and folder.
    void rootFolderThenCancel() {
        answer_ = QStringList{"/REC0001.MOV", "/REC0001.nmea"};
        recordings_->SelectRecordings();
        QCOMPARE(recordings_->folder(), std::string());
        QCOMPARE(Column(0), (QStringList{"REC0001.MOV", "REC0001.nmea"}));
        QCOMPARE(Column(2), (QStringList{"", ""}));
        QCOMPARE(recordings_->SelectNext(), 0);
        QCOMPARE(recordings_->GetSelFilePath(), std::string("/REC0001.MOV"));
        box_->setText("/dropped/here");
        answer_.reset();
        recordings_->SelectRecordings();
        QCOMPARE(refills_, 1);
        QCOMPARE(Column(0), (QStringList{"REC0001.MOV", "REC0001.nmea"}));
        QCOMPARE(theApp().folderPath, std::string("/dropped/here"));
    }

    // An underscore lies on the text's lowest pixels, where the grid line of a row just as
    // tall as the text is drawn.
    void underscoresShow() {
        Offer({"________.MOV"});
        form_->show();
        const QImage image = list_->viewport()->grab().toImage();
        const QRect row = list_->visualItemRect(list_->topLevelItem(0));
        int dark = 0;
        for (int y = row.top(); y < row.bottom(); ++y)  // the grid line's row left out
            for (int x = row.left(); x < row.left() + 40; ++x)
                dark += qGray(image.pixel(x, y)) < 96;
        QVERIFY(dark > 10);
    }

    void drops_data() {
        QTest::addColumn<QStringList>("dropped");  // below the temporary folder
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("folder");
        QTest::newRow("known kinds in drop order, mixed case gets no row")
            << L{"z.nmea", "clip.Mov", "notes.txt", "a.ts", "m.MOV"} << L{"z.nmea", "a.ts", "m.MOV"}
            << "";
        QTest::newRow("folder sets the folder only") << L{"cam/day1"} << L{} << "/cam";
        QTest::newRow("last path decides the folder")
            << L{"a/REC1.MOV", "b/REC2.ts"} << L{"REC1.MOV", "REC2.ts"} << "/b";
        QTest::newRow("nothing dropped still empties the list") << L{} << L{} << "";
    }
    void drops() {
        QFETCH(QStringList, dropped);
        QFETCH(QStringList, rows);
        QFETCH(QString, folder);
        Fill(1);
        QDir().mkpath(fx_->Dir() + "/cam/day1");
        QList<QUrl> urls{QUrl("http://127.0.0.1/x.MOV")};  // not a local file: skipped
        for (const QString& name : dropped) urls << QUrl::fromLocalFile(fx_->Dir() + '/' + name);
        QMimeData data;
        data.setUrls(urls);
        recordings_->AddDroppedRecordings(DroppedPaths(&data));
        QCOMPARE(refills_, 2);
        QCOMPARE(Column(0), rows);
        QCOMPARE(recordings_->folder(), (fx_->Dir() + folder).toStdString());
        QCOMPARE(box_->text(), fx_->Dir() + folder);
        QCOMPARE(theApp().folderPath, fx_->Dir().toStdString());  // a drop leaves the setting
    }

    // A front clip with a rear one on disk is one row with a two-channel mark, its rear clip
    // dropped beside it none; a rear clip without its front one dropped is a row of its own.
    void twoChannelPairs() {
        for (const char* name :
             {"REC7_F.MOV", "REC7_R.MOV", "R8_F.MOV", "R8_R.MOV", "R9_f.mp4", "R9_b.mp4"})
            QVERIFY(QFile(fx_->Dir() + '/' + name).open(QIODevice::WriteOnly));
        QStringList dropped;
        for (const char* name : {"REC7_F.MOV", "REC7_R.MOV", "R8_R.MOV", "R9_f.mp4"})
            dropped << fx_->Dir() + '/' + name;
        recordings_->AddDroppedRecordings(dropped);
        QCOMPARE(Column(0), (L{"REC7_F.MOV", "R8_R.MOV", "R9_f.mp4"}));
        QCOMPARE(Column(1), (L{"MOV F+R", "MOV", "MP4 F+B"}));
    }

    void formatListDate_data() {
        QTest::addColumn<qint64>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("noon") << kMorning + 3 * 3600 - 307 << "12:00:00 PM, 04,March,2013";
        QTest::newRow("after midnight") << kMorning - 9 * 3600 << "12:05:07 AM, 04,March,2013";
        QTest::newRow("zero") << qint64(0) << "";
        QTest::newRow("last 32-bit second") << qint64(2147483647) << "8:14:07 PM, 18,January,2038";
        QTest::newRow("after 2038") << qint64(2147483648) << "";
    }
    void formatListDate() {
        QFETCH(qint64, time);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(FormatListDate(time)), text);
    }

    void nextAndPrevious_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("start");  // -1: no row ever selected
        QTest::addColumn<bool>("forward");
        QTest::addColumn<int>("expected");
        QTest::newRow("next wraps") << 3 << 2 << true << 0;
        QTest::newRow("previous from none") << 3 << -1 << false << 2;
        QTest::newRow("previous wraps") << 3 << 0 << false << 2;
        QTest::newRow("empty list") << 0 << -1 << true << -1;
    }
    void nextAndPrevious() {
        QFETCH(int, rows);
        QFETCH(int, start);
        QFETCH(bool, forward);
        QFETCH(int, expected);
        Fill(3);
        list_->topLevelItem(1)->setSelected(true);
        Fill(rows);  // a refill forgets the mark
        // A cleared selection keeps the mark, as next and previous start from it.
        if (start >= 0) {
            list_->topLevelItem(start)->setSelected(true);
            list_->clearSelection();
        }
        QCOMPARE(forward ? recordings_->SelectNext() : recordings_->SelectPrevious(), expected);
        QCOMPARE(list_->selectedItems().size(), expected < 0 ? 0 : 1);
        const std::string path = recordings_->GetSelFilePath();
        QCOMPARE(path, expected < 0
                           ? std::string()
                           : fx_->Dir().toStdString() + "/REC" + std::to_string(expected) + ".MOV");
        QCOMPARE(fx_->Read("History.log").endsWith("\tGetSelFilePath => no selected file\r\n"),
                 expected < 0);
    }
};

QTEST_MAIN(TestRecordingList)
#include "test_recording_list.moc"
