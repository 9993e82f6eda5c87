// The subtitle template chooser and what the subtitle page does with the
// template chosen in it.

#include "AnalyticsStub.h"
#include "CurrentDialog.h"
#include "FacadeFixture.h"
#include "ModalDriver.h"
#include "MvClickTextEdit.h"
#include "MvEnterButton.h"
#include "UiChooseSubtitleTemplateDlg.h"
#include "UiSetSubtitle.h"
#include "UiSubtitleListWidget.h"
#include "UiToolTipDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <memory>

using testsupport::AnalyticsStub;
using testsupport::FacadeFixture;
using testsupport::ModalDriver;

namespace {

QVector<SubtitleTemplate> sixTemplates()
{
    QVector<SubtitleTemplate> out;
    for (int i = 1; i <= 6; ++i)
        out.append(SubtitleTemplate{QStringLiteral("./effect/subtitle/small_%1.png").arg(i),
                                    QStringLiteral("./effect/subtitle/%1.png").arg(i), QColor(Qt::white)});
    return out;
}

// Which buttons are highlighted, as "1" and "0".
QString highlights(const UiChooseSubtitleTemplateDlg &dialog)
{
    QString out;
    for (MvEnterButton *button : dialog.templateButtons())
        out += button->IsHighlighted() ? QLatin1Char('1') : QLatin1Char('0');
    return out;
}

// Runs the chooser the next time one opens: clicks template `click` (none
// when negative), then presses `button`.
void chooseNext(ModalDriver &driver, int click, const QString &button = QStringLiteral("pushButton_ok"))
{
    driver.onNext([click, button](QWidget *w) {
        auto *dialog = qobject_cast<UiChooseSubtitleTemplateDlg *>(w);
        QVERIFY(dialog);
        if (click >= 0)
            QTest::mouseClick(dialog->templateButtons().at(click), Qt::LeftButton);
        QVERIFY(ModalDriver::press(w, button));
    });
}

struct PageFixture
{
    PageFixture()
    {
        QVERIFY(f.env.copyEffectFolder());
        QCOMPARE(f.init(), 0);
        page = std::make_unique<UiSetSubtitle>();
        page->setLiveProxy(f.proxy.get());
    }

    void add(const QString &line)
    {
        page->findChild<MvClickTextEdit *>(QStringLiteral("textEdit_subtitle"))->setPlainText(line);
        page->on_pushButton_addsubtitle_clicked();
    }
    void openChooser()
    {
        QTest::mouseClick(page->findChild<QPushButton *>(QStringLiteral("pushButton_choosetemplate")),
                          Qt::LeftButton);
    }
    int textIdOf(int pictureId) const
    {
        EffectiveTxtItem *pair = nullptr;
        return f.proxy->findEffectiveText(pictureId, &pair) ? pair->textId() : -1;
    }
    QString thumbnailStyle() const
    {
        return page->findChild<QLabel *>(QStringLiteral("label_template"))->styleSheet();
    }

    FacadeFixture f;
    std::unique_ptr<UiSetSubtitle> page;
};

} // namespace

class SubtitleTemplatesTest : public QObject
{
    Q_OBJECT

private slots:
    void chooserForm();
    void highlightAndSelection();
    void results_data();
    void results();
    void currentDialogWhileRunning();
    void currentDialogTakenOverIsKept();
    void choiceWithAnItem_data();
    void choiceWithAnItem();
    void choiceWithoutAnItem();
    void nothingChosen_data();
    void nothingChosen();
    void templateComesBackAfterRestart();
};

void SubtitleTemplatesTest::chooserForm()
{
    testsupport::TempEnvironment env;
    QVERIFY(env.copyEffectFolder());
    QVector<SubtitleTemplate> templates = sixTemplates();
    UiChooseSubtitleTemplateDlg dialog;
    dialog.SetTemplates(&templates, QString());
    QCOMPARE(dialog.size(), QSize(280, 360));
    QVERIFY(dialog.windowFlags().testFlag(Qt::SplashScreen));
    QCOMPARE(dialog.styleSheet(), QStringLiteral("background:white;"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label_3"))->text(), QStringLiteral("选择字幕"));
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->text(), QStringLiteral("确定"));
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->geometry(), QRect(22, 300, 236, 32));
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("pushButton_cancel"))->geometry(), QRect(254, 6, 20, 20));
    QTableWidget *table = dialog.findChild<QTableWidget *>(QStringLiteral("tableWidget_Template"));
    QCOMPARE(table->geometry(), QRect(16, 41, 258, 248));
    QCOMPARE(table->rowCount(), 6);
    QCOMPARE(table->columnCount(), 1);
    QCOMPARE(table->columnWidth(0), 248);
    QCOMPARE(table->rowHeight(5), 62);
    QCOMPARE(table->styleSheet(), QStringLiteral("background:white;selection-background-color:white;"));
    QCOMPARE(table->itemDelegate()->metaObject()->className(), "NoFocusFrameDelegate");
    QCOMPARE(table->verticalScrollBar()->styleSheet(),
             QStringLiteral("QScrollBar:vertical {width: 4px; }\t\tQScrollBar::handle:vertical {background: #b7b9c2;"
                            "border-radius:2px;width:4px;}\t\t QScrollBar::add-line:vertical {border: none;"
                            "background: transparent;height: 0px;}\t\tQScrollBar::sub-line:vertical {border: none;"
                            "background: transparent;height: 0px;}\t\tQScrollBar::up-arrow:vertical, "
                            "QScrollBar::down-arrow:vertical {border: none;background:transparent;}\t\t"
                            "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical {background: #e9eaee;}"
                            "\t\t"));
    QCOMPARE(dialog.templateButtons().size(), 6);
    QCOMPARE(table->cellWidget(2, 0), dialog.templateButtons()[2]);
    QCOMPARE(highlights(dialog), QStringLiteral("000000"));
    QCOMPARE(dialog.GetSelectedIndex(), -1);
    // An empty vector gives an empty table.
    QVector<SubtitleTemplate> none;
    UiChooseSubtitleTemplateDlg empty;
    empty.SetTemplates(&none, QString());
    QCOMPARE(empty.findChild<QTableWidget *>(QStringLiteral("tableWidget_Template"))->rowCount(), 0);
    QCOMPARE(empty.GetSelectedIndex(), -1);
}

void SubtitleTemplatesTest::highlightAndSelection()
{
    testsupport::TempEnvironment env;
    QVector<SubtitleTemplate> templates = sixTemplates();
    UiChooseSubtitleTemplateDlg dialog;
    dialog.SetTemplates(&templates, QStringLiteral("./effect/subtitle/small_4.png"));
    QCOMPARE(highlights(dialog), QStringLiteral("000100"));
    QCOMPARE(dialog.GetSelectedIndex(), -1);
    QTest::mouseClick(dialog.templateButtons()[1], Qt::LeftButton);
    QCOMPARE(highlights(dialog), QStringLiteral("010000"));
    QCOMPARE(dialog.GetSelectedIndex(), 1);
    QTest::mouseClick(dialog.templateButtons()[5], Qt::LeftButton);
    QCOMPARE(highlights(dialog), QStringLiteral("000001"));
    QCOMPARE(dialog.GetSelectedIndex(), 5);
    // A caller's vector that shrank since: the index no longer names one.
    templates.resize(3);
    QCOMPARE(dialog.GetSelectedIndex(), -1);
    // Not from a template button: nothing.
    dialog.slot_TemlapteItemClicked(true);
    QCOMPARE(highlights(dialog), QStringLiteral("000001"));
}

void SubtitleTemplatesTest::results_data()
{
    QTest::addColumn<int>("click");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("index");
    QTest::newRow("another, OK") << 2 << "pushButton_ok" << 1 << 2;
    QTest::newRow("the current one, OK") << 0 << "pushButton_ok" << 1 << 0;
    QTest::newRow("no click, OK") << -1 << "pushButton_ok" << 1 << -1;
    QTest::newRow("another, cancel mark") << 2 << "pushButton_cancel" << 0 << 2;
}

void SubtitleTemplatesTest::results()
{
    QFETCH(int, click);
    QFETCH(QString, button);
    QFETCH(int, result);
    QFETCH(int, index);
    testsupport::TempEnvironment env;
    QVector<SubtitleTemplate> templates = sixTemplates();
    UiChooseSubtitleTemplateDlg dialog;
    dialog.SetTemplates(&templates, QStringLiteral("./effect/subtitle/small_1.png"));
    ModalDriver driver;
    chooseNext(driver, click, button);
    QCOMPARE(dialog.exec(), result);
    QVERIFY(driver.waitDone());
    QVERIFY(driver.errors().isEmpty());
    QCOMPARE(dialog.GetSelectedIndex(), index);
}

void SubtitleTemplatesTest::currentDialogWhileRunning()
{
    testsupport::TempEnvironment env;
    QVector<SubtitleTemplate> templates = sixTemplates();
    currentDialog = nullptr;
    QPointer<QDialog> during;
    {
        UiChooseSubtitleTemplateDlg dialog;
        dialog.SetTemplates(&templates, QString());
        QVERIFY(currentDialog.isNull());
        ModalDriver driver;
        driver.onNext([&](QWidget *w) {
            during = currentDialog;
            ModalDriver::press(w, QStringLiteral("pushButton_cancel"));
        });
        dialog.exec();
        QVERIFY(driver.waitDone());
        QCOMPARE(during.data(), &dialog);
        // Still named after exec; cleared with the dialog.
        QCOMPARE(currentDialog.data(), &dialog);
    }
    QVERIFY(currentDialog.isNull());
    // A dialog that never ran leaves the pointer alone.
    QDialog other;
    currentDialog = &other;
    {
        UiChooseSubtitleTemplateDlg idle;
    }
    QCOMPARE(currentDialog.data(), &other);
    currentDialog = nullptr;
}

void SubtitleTemplatesTest::currentDialogTakenOverIsKept()
{
    testsupport::TempEnvironment env;
    QVector<SubtitleTemplate> templates = sixTemplates();
    QDialog later;
    {
        UiChooseSubtitleTemplateDlg dialog;
        dialog.SetTemplates(&templates, QString());
        ModalDriver driver;
        driver.onNext([&](QWidget *w) {
            // A box opened from inside takes the pointer over.
            currentDialog = &later;
            ModalDriver::press(w, QStringLiteral("pushButton_ok"));
        });
        dialog.exec();
        QVERIFY(driver.waitDone());
    }
    QCOMPARE(currentDialog.data(), &later);
    currentDialog = nullptr;
}

void SubtitleTemplatesTest::choiceWithAnItem_data()
{
    QTest::addColumn<int>("chosen");
    QTest::addColumn<bool>("colorChanges");
    QTest::addColumn<uint>("color");
    QTest::newRow("white to red") << 2 << true << 0xFFE82945u;
    QTest::newRow("white to white") << 4 << false << 0xFFFFFFFFu;
    // The picture is set again and the choice reported again.
    QTest::newRow("the current one again") << 0 << false << 0xFFFFFFFFu;
}

void SubtitleTemplatesTest::choiceWithAnItem()
{
    QFETCH(int, chosen);
    QFETCH(bool, colorChanges);
    QFETCH(uint, color);
    AnalyticsStub analytics;
    PageFixture p;
    p.add(QStringLiteral("你好"));
    const int id = p.page->subtitleItemId();
    QVERIFY(analytics.waitForRecords(1));
    analytics.clear();
    p.f.calls().clear();
    QSignalSpy changed(p.page.get(), SIGNAL(change_subtitletemplate(int,QString)));
    ModalDriver driver;
    chooseNext(driver, chosen);
    p.openChooser();
    QVERIFY(driver.waitDone());
    QVERIFY(driver.errors().isEmpty());
    QCOMPARE(driver.last().className, QStringLiteral("UiChooseSubtitleTemplateDlg"));
    const QString thumb = QStringLiteral("./effect/subtitle/small_%1.png").arg(chosen + 1);
    QCOMPARE(p.page->currentTemplate(), chosen);
    QCOMPARE(p.thumbnailStyle(), QStringLiteral("border-radius:4px;border-image:url(%1);").arg(thumb));
    QCOMPARE(p.f.engine()->item(id)->sources,
             std::vector<std::string>{QStringLiteral("./effect/subtitle/%1.png").arg(chosen + 1).toStdString()});
    QCOMPARE(p.f.calls().count("SetItemSourceFiles"), 1);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0], (QList<QVariant>{id, thumb}));
    int colorUpdates = 0;
    for (const mvplatform::CallRecord &r : p.f.calls().of("SetTextProperties"))
        if (r.args.at(1) == std::to_string(0x08 | 0x280000))
            ++colorUpdates;
    QCOMPARE(colorUpdates, colorChanges ? 1 : 0);
    QCOMPARE(p.f.calls().count("SetTextProperties") > 0, colorChanges);
    QCOMPARE(p.f.engine()->item(p.textIdOf(id))->text.color, color);
    // The rest of the text stays.
    QCOMPARE(QString::fromStdU16String(p.f.engine()->item(p.textIdOf(id))->text.text),
             QStringLiteral("你好") + QString(30, QLatin1Char(' ')));
    QVERIFY(analytics.waitForRecords(1));
    QCOMPARE(analytics.actions(), QStringList{QStringLiteral("click_subtitle_sel {\"format_id\":%1}").arg(chosen + 1)});
}

void SubtitleTemplatesTest::choiceWithoutAnItem()
{
    AnalyticsStub analytics;
    PageFixture p;
    p.f.calls().clear();
    QSignalSpy changed(p.page.get(), SIGNAL(change_subtitletemplate(int,QString)));
    ModalDriver driver;
    driver.onNext([](QWidget *w) {
        auto *dialog = qobject_cast<UiChooseSubtitleTemplateDlg *>(w);
        // The current template is highlighted when the chooser opens.
        QCOMPARE(highlights(*dialog), QStringLiteral("100000"));
        QTest::mouseClick(dialog->templateButtons().at(1), Qt::LeftButton);
        ModalDriver::press(w, QStringLiteral("pushButton_ok"));
    });
    p.openChooser();
    QVERIFY(driver.waitDone());
    QVERIFY(driver.errors().isEmpty());
    QCOMPARE(p.page->currentTemplate(), 1);
    QCOMPARE(changed.size(), 0);
    QVERIFY(p.f.ops().empty());
    QVERIFY(analytics.waitForRecords(1));
    QCOMPARE(analytics.actions(), QStringList{"click_subtitle_sel {\"format_id\":2}"});
    QVERIFY(currentDialog.isNull());
    // The next line makes its item on the chosen template, in its colour.
    QSignalSpy added(p.page.get(), SIGNAL(add_subtitle(QString,QString,int)));
    p.add(QStringLiteral("A"));
    QCOMPARE(added.size(), 1);
    QCOMPARE(added[0][0].toString(), QStringLiteral("./effect/subtitle/small_2.png"));
    const int id = added[0][2].toInt();
    QCOMPARE(p.f.engine()->item(id)->sources, std::vector<std::string>{"./effect/subtitle/2.png"});
    QCOMPARE(p.f.engine()->item(p.textIdOf(id))->text.color, 0xFFE82945u);
}

void SubtitleTemplatesTest::nothingChosen_data()
{
    QTest::addColumn<int>("click");
    QTest::addColumn<QString>("button");
    QTest::newRow("cancel mark after a click") << 3 << "pushButton_cancel";
    QTest::newRow("OK without a click") << -1 << "pushButton_ok";
}

void SubtitleTemplatesTest::nothingChosen()
{
    QFETCH(int, click);
    QFETCH(QString, button);
    AnalyticsStub analytics;
    PageFixture p;
    p.add(QStringLiteral("A"));
    QVERIFY(analytics.waitForRecords(1));
    analytics.clear();
    p.f.calls().clear();
    QSignalSpy changed(p.page.get(), SIGNAL(change_subtitletemplate(int,QString)));
    ModalDriver driver;
    chooseNext(driver, click, button);
    p.openChooser();
    QVERIFY(driver.waitDone());
    QCOMPARE(p.page->currentTemplate(), 0);
    QCOMPARE(changed.size(), 0);
    QVERIFY(p.f.ops().empty());
    QCOMPARE(p.thumbnailStyle(), QStringLiteral("border-radius:4px;border-image:url(./effect/subtitle/small_1.png);"));
    // Runs what the refusal left queued: a record made by then has logged its
    // line, whether or not it has reached the stub yet.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(testsupport::LogCapture::texts().filter(QStringLiteral("point - {")).size(), 1);
    QVERIFY(analytics.records().isEmpty());
    QVERIFY(currentDialog.isNull());
}

void SubtitleTemplatesTest::templateComesBackAfterRestart()
{
    PageFixture p;
    ModalDriver driver;
    chooseNext(driver, 2);
    p.openChooser();
    QVERIFY(driver.waitDone());
    p.add(QStringLiteral("A"));
    p.page.reset();
    p.f.restart();
    QCOMPARE(p.f.init(), 0);
    p.page = std::make_unique<UiSetSubtitle>();
    p.page->setLiveProxy(p.f.proxy.get());
    QCOMPARE(p.page->currentTemplate(), 0);
    std::vector<int> ids;
    p.f.proxy->sortedItemIds(ids);
    QStringList answers;
    for (int id : ids)
        if (p.f.proxy->itemType(id) == 4)
            answers << p.page->restoreSubtitleItem(id);
    QCOMPARE(answers, QStringList{"./effect/subtitle/small_3.png"});
    QCOMPARE(p.page->currentTemplate(), 2);
    QCOMPARE(p.thumbnailStyle(), QStringLiteral("border-radius:4px;border-image:url(./effect/subtitle/small_3.png);"));
    QVERIFY(p.page->findChild<QRadioButton *>(QStringLiteral("radioButton_scroll"))->isChecked());
    QCOMPARE(p.page->subtitleList()->subtitles(), QStringList{"A"});
}

QTEST_MAIN(SubtitleTemplatesTest)
#include "tst_subtitletemplates.moc"
