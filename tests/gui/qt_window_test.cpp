// The real window over a Form1 with faked services, on Qt's offscreen
// platform: widgets are found by their design names and read directly.
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QMessageBox>
#include <QTranslator>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/BusyRun.h"
#include "app/ControlTable.h"
#include "app/Form1.h"
#include "app/MenuBar.h"
#include "app/qt_Application.h"
#include "app/qt_Dialogs.h"
#include "app/qt_MainWindow.h"
#include "platform/Text.h"
#include "support/Fakes.h"
#include "support/SampleData.h"

using namespace vantoril;

namespace {

template <class W>
W* widget(MainWindow& window, const char* name) {
  auto* w = window.findChild<W*>(QString::fromLatin1(name));
  if (!w) qFatal("no widget %s of the expected kind", name);
  return w;
}

QString q(std::u16string_view text) { return QString::fromStdU16String(std::u16string(text)); }

// Opens a modal box with `open`, hands it to `look` once shown, and closes it.
void whileShown(const std::function<void()>& open, const std::function<void(QWidget&)>& look) {
  QTimer timer;
  bool seen = false;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box || !box->isVisible()) return;
    timer.stop();
    seen = true;
    look(*box);
    box->close();
  });
  timer.start(10);
  open();
  QVERIFY(seen);
}

}  // namespace

class WindowTest final : public QObject {
  Q_OBJECT

 private slots:
  // Qt's own texts (qt6-translations-l10n) in Chinese, as the window has them.
  void qtOwnTextsAreChinese() {
    QTranslator translator;
    QVERIFY2(installQtChinese(translator), "no qtbase_zh_CN in Qt's translations folder (qt6-translations-l10n)");
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Vantoril v 1.0"), QStringLiteral("x"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    QLineEdit edit;
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList texts;
    for (const QAction* action : menu->actions())
      if (!action->isSeparator()) texts << action->text().section(u'\t', 0, 0);  // less the shortcut
    QVERIFY2(texts.size() >= 6, qPrintable(texts.join(u'|')));
    QVERIFY2(texts.contains(QStringLiteral("撤消(&U)")) && texts.contains(QStringLiteral("粘贴(&P)")),
             qPrintable(texts.join(u'|')));
    for (const QString& text : texts)  // no English word left: at most a mnemonic
      QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{3,}"))), qPrintable(text));
    QCoreApplication::removeTranslator(&translator);
  }

  void opensAsDesigned() {
    test::FormFixture f;
    test::writeGbk(f.website("北京.txt"), u"http://a/1\r\n");
    test::writeGbk(f.website("上海.txt"), u"http://a/2\r\n");
    MainWindow window(*f.form);
    QVERIFY(f.form->load());

    // The menu bar above the client area of the design, which keeps its
    // size; the window is taller by the menu bar alone.
    auto* menuBar = widget<QMenuBar>(window, "MenuBar");
    auto* client = widget<QWidget>(window, "ClientArea");
    const int menuHeight = menuBar->height();
    QVERIFY(menuHeight >= 15 && menuHeight <= 40);
    QCOMPARE(menuBar->geometry(), QRect(0, 0, 1022, menuHeight));
    QCOMPARE(client->geometry(), QRect(0, menuHeight, 1022, 570));
    QCOMPARE(window.size(), QSize(1022, 570 + menuHeight));
    QCOMPARE(window.windowTitle(), QStringLiteral("Vantoril v 1.0"));
    QVERIFY(window.findChild<QWidget*>(QStringLiteral("Inet1")) == nullptr);
    QCOMPARE(widget<QPushButton>(window, "Command6")->geometry(), QRect(112, 8, 57, 17));
    QCOMPARE(widget<QPushButton>(window, "Command6")->text(), QStringLiteral("新建"));
    QCOMPARE(widget<QLineEdit>(window, "Text13")->text(), QStringLiteral("********"));
    QCOMPARE(widget<QLineEdit>(window, "Text13")->echoMode(), QLineEdit::Password);
    QCOMPARE(widget<QLineEdit>(window, "Text15")->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    QCOMPARE(widget<QLabel>(window, "Label5")->text(), QStringLiteral("全文字符数："));
    QVERIFY(widget<QPlainTextEdit>(window, "Text1")->isHidden());
    QVERIFY(widget<QPlainTextEdit>(window, "Text5")->isHidden());
    QVERIFY(!widget<QPlainTextEdit>(window, "Text4")->isHidden());

    // Where a caption overlaps a box, list or button, that control is on top
    // and takes the click (the top left of the first place lies under "地名：").
    const QObjectList stacking = client->children();
    for (const ControlDesign& caption : controlTable()) {
      if (caption.kind != ControlKind::Label) continue;
      auto* label = widget<QLabel>(window, std::string(caption.name).c_str());
      for (QWidget* other : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect overlap = label->geometry() & other->geometry();
        if (qobject_cast<QLabel*>(other) || other->isHidden() || overlap.isEmpty()) continue;
        QWidget* hit = client->childAt(overlap.center());
        QVERIFY2(hit && !qobject_cast<QLabel*>(hit), qPrintable(label->objectName() + " takes the click"));
        QVERIFY(stacking.indexOf(label) < stacking.indexOf(other));
      }
    }

    auto* list = widget<QListWidget>(window, "List1");
    QCOMPARE(list->count(), 2);
    QStringList shown;
    for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
    shown.sort();
    QCOMPARE(shown, (QStringList{QStringLiteral("上海"), QStringLiteral("北京")}));
    QVERIFY(list->selectedItems().isEmpty());

    // Focus starts on the record button and Tab walks the design's order;
    // the hidden boxes and the labels are passed over.
    window.show();
    QCOMPARE(window.focusWidget(), widget<QWidget>(window, "Command1"));
    const QStringList expected = {"Command1", "Text2",    "Text3",    "Text4",    "Text6",    "Text7",
                                  "Text8",    "Text9",    "Text10",   "Text11",   "Text12",   "Text13",
                                  "Command3", "Command2", "List1",    "Text14",   "Command4", "Command5",
                                  "Command6", "Command7", "Command8", "Text15"};
    QStringList order;
    QWidget* w = widget<QWidget>(window, "Command1");
    for (int i = 0; i < expected.size(); ++i) {
      order << w->objectName();
      do w = w->nextInFocusChain();
      while (w->focusPolicy() == Qt::NoFocus || w->isHidden() || w->parentWidget() != client);
    }
    QCOMPARE(order, expected);
    QVERIFY(f.report.messages.empty());
  }

  void accessCodeShowsThePanelAndCountersFollowEdits() {
    test::FormFixture f;
    MainWindow window(*f.form);
    f.form->load();
    window.show();

    // What the model puts into a hidden box is there when the box is shown.
    f.form->Text1.setText(u"hidden page");
    QCOMPARE(widget<QLabel>(window, "Label5")->text(), QStringLiteral("全文字符数：11"));

    auto* code = widget<QLineEdit>(window, "Text13");
    code->selectAll();
    QTest::keyClick(code, Qt::Key_Backspace);
    QTest::keyClicks(code, QStringLiteral("7"));
    QCOMPARE(f.form->Text13.text(), u"7");
    QVERIFY(!widget<QPlainTextEdit>(window, "Text1")->isHidden());
    QVERIFY(!widget<QPlainTextEdit>(window, "Text5")->isHidden());
    QCOMPARE(widget<QPlainTextEdit>(window, "Text1")->toPlainText(), QStringLiteral("hidden page"));
    QTest::keyClicks(code, QStringLiteral("7"));
    QVERIFY(widget<QPlainTextEdit>(window, "Text1")->isHidden());
    QTest::keyClick(code, Qt::Key_Backspace);
    QVERIFY(!widget<QPlainTextEdit>(window, "Text1")->isHidden());

    // Text put into the page box is cut by the model, and the box shows the cut text.
    auto* page = widget<QPlainTextEdit>(window, "Text1");
    page->setPlainText(QString(30005, QChar(u'x')));
    QCOMPARE(f.form->Text1.text().size(), 30000u);
    QCOMPARE(page->toPlainText().size(), 30000);
    QCOMPARE(widget<QLabel>(window, "Label5")->text(), QStringLiteral("全文字符数：30000"));

    // A line break typed by the user reaches the model as CR LF.
    auto* block = widget<QPlainTextEdit>(window, "Text5");
    block->setFocus();
    QTest::keyClicks(block, QStringLiteral("ab"));
    QTest::keyClick(block, Qt::Key_Return);
    QTest::keyClicks(block, QStringLiteral("c"));
    QCOMPARE(f.form->Text5.text(), u"ab\r\nc");
    QCOMPARE(widget<QLabel>(window, "Label7")->text(), QStringLiteral("截文字符数：5"));
  }

  void anEditChangesOnlyWhatTheUserChanged() {
    test::FormFixture f;
    MainWindow window(*f.form);
    f.form->load();
    window.show();
    f.form->Text13.setText(kDebugAccessCode);
    auto* box = widget<QPlainTextEdit>(window, "Text1");
    box->setFocus();
    auto typeAt = [box](int position, auto&& type) {
      QTextCursor cursor = box->textCursor();
      cursor.setPosition(position);
      box->setTextCursor(cursor);
      type();
    };

    // The page keeps its own line ends and characters around what is typed.
    std::u16string page = u"<p>a\u00A0b</p>\nline\r\nthird\rend";
    f.form->Text1.setText(page);
    typeAt(2, [box] { QTest::keyClicks(box, QStringLiteral("X")); });
    page.insert(2, u"X");
    QCOMPARE(f.form->Text1.text(), page);
    QCOMPARE(widget<QLabel>(window, "Label5")->text(), QStringLiteral("全文字符数：%1").arg(page.size()));
    typeAt(12, [box] { QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier); });
    page.insert(12, u"\r\n");
    QCOMPARE(f.form->Text1.text(), page);
    typeAt(12, [box] { QTest::keyClick(box, Qt::Key_Backspace); });  // the page's own line end
    page.erase(11, 1);
    QCOMPARE(f.form->Text1.text(), page);
    QCOMPARE(box->textCursor().position(), 11);

    // A full box refuses what is typed and keeps its cursor; a selection
    // typed over is replaced, and a paste takes what fits.
    const std::u16string full(30000, u'x');
    f.form->Text1.setText(full);
    typeAt(100, [box] {
      QTest::keyClicks(box, QStringLiteral("y"));
      QTest::keyClick(box, Qt::Key_Return);
    });
    QCOMPARE(f.form->Text1.text(), full);
    QCOMPARE(box->textCursor().position(), 100);
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(103, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    QTest::keyClicks(box, QStringLiteral("y"));
    QGuiApplication::clipboard()->setText(QStringLiteral("abcdef"));
    box->paste();
    QCOMPARE(f.form->Text1.text(), full.substr(0, 100) + u"yab" + full.substr(103));
    QCOMPARE(box->textCursor().position(), 103);
  }

  void modelTextWithLineBreaksIsShownWithoutFeedback() {
    test::FormFixture f;
    MainWindow window(*f.form);
    f.form->load();
    f.form->Text9.setText(u"12\r\n13\r\n14");
    QCOMPARE(widget<QPlainTextEdit>(window, "Text9")->toPlainText(), QStringLiteral("12\n13\n14"));
    QCOMPARE(f.form->Text9.text(), u"12\r\n13\r\n14");
    f.form->Text9.setText(u"");
    QCOMPARE(widget<QPlainTextEdit>(window, "Text9")->toPlainText(), QString());
  }

  void listClicksReachTheModel() {
    test::FormFixture f;
    test::writeGbk(f.website("Alpha.txt"), u"http://a/1\r\n");
    test::writeGbk(f.website("Beta.txt"), u"http://a/2\r\n");
    MainWindow window(*f.form);
    f.form->load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto* list = widget<QListWidget>(window, "List1");
    auto* name = widget<QLineEdit>(window, "Text15");
    const int row = 1;
    const QString place = list->item(row)->text();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    QCOMPARE(f.form->List1.selectedIndex(), row);
    QCOMPARE(name->text(), place);
    QCOMPARE(list->toolTip(), place);
    QCOMPARE(widget<QLineEdit>(window, "Text14")->text(), q(f.form->Text14.text()));
    QVERIFY(widget<QLineEdit>(window, "Text14")->text().startsWith(QStringLiteral("http://a/%1").arg(place == "Alpha" ? 1 : 2)));

    // A click on the row already selected runs the list click again.
    QTest::keyClicks(name, QStringLiteral("!"));
    QCOMPARE(f.form->Text15.text(), (place + "!").toStdU16String());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    QCOMPARE(name->text(), place);

    // The keyboard moves the selection as a click does.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(f.form->List1.selectedIndex(), 0);
    QCOMPARE(name->text(), list->item(0)->text());

    // A right click selects the row under it and runs the list's click
    // handling (the name and address follow) before the menu opens.
    bool menuShown = false;
    QTimer::singleShot(200, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      menuShown = menu && menu->objectName() == QStringLiteral("List1Menu");
      if (menu) menu->close();
    });
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, list->visualItemRect(list->item(row)).center());
    QTRY_VERIFY(menuShown);
    QCOMPARE(f.form->List1.selectedIndex(), row);
    QCOMPARE(list->selectedItems().size(), 1);
    QCOMPARE(name->text(), place);
    QCOMPARE(widget<QLineEdit>(window, "Text14")->text(), q(f.form->Text14.text()));
    QVERIFY(f.report.messages.empty());

    // A selection made by the model shows; a refresh empties it.
    f.form->List1.select(1);
    QCOMPARE(list->currentRow(), 1);
    QCOMPARE(list->selectedItems().size(), 1);
    f.form->listRefresh();
    QCOMPARE(list->count(), 2);
    QVERIFY(list->selectedItems().isEmpty());
    QVERIFY(f.report.messages.empty());
  }

  // Markup in a station name, a place name or a message is shown as text
  // by every kind of box: no image is read from disk, no link is made. Only
  // the window's helpers make labels and message boxes.
  void markupIsShownAsText() {
    test::FormFixture f;
    const std::string image = f.folder / "x.png";
    writeWholeFile(image, "png");
    const QString markup = "北京<img src='file://" + QString::fromStdString(image) +
                           "'><a href='http://127.0.0.1/'>点此修复</a> & more";
    const int watch = inotify_init1(IN_NONBLOCK);
    QVERIFY(watch >= 0 && inotify_add_watch(watch, image.c_str(), IN_OPEN) >= 0);
    MainWindow window(*f.form);
    f.form->load();
    window.show();
    const auto asText = [&](QWidget& box) {
      int plain = 0, rich = 0;
      for (const QLabel* label : box.findChildren<QLabel*>())
        if (label->text().contains(markup)) ++(label->textFormat() == Qt::PlainText ? plain : rich);
      QCOMPARE(std::pair(plain, rich), std::pair(1, 0));
    };
    MessageBoxReport report;
    report.setParent(&window);
    whileShown([&] { report.report(markup.toStdString()); }, asText);
    whileShown([&] { report.inform(markup.toStdString()); }, asText);
    DialogInputBox input;
    input.setParent(&window);
    whileShown([&] { input.ask(markup.toStdU16String(), u"改名", markup.toStdU16String()); }, asText);
    f.form->Label5.setCaption(markup.toStdU16String());
    asText(window);
    f.form->List1.setTooltip(markup.toStdU16String());
    QTextDocument tooltip;
    const QString tip = widget<QListWidget>(window, "List1")->toolTip();
    Qt::mightBeRichText(tip) ? tooltip.setHtml(tip) : tooltip.setPlainText(tip);
    QCOMPARE(tooltip.toPlainText(), markup);
    QTest::qWait(50);  // painted
    char events[256];
    QCOMPARE(read(watch, events, sizeof events), ssize_t(-1));
    close(watch);

    for (const QFileInfo& file : QDir(VANTORIL_TEST_DATA "/../../src/app", "qt_*.cpp").entryInfoList()) {
      QFile source(file.filePath());
      QVERIFY(source.open(QIODevice::ReadOnly));
      const QByteArray text = source.readAll();
      for (const char* made : {"new QLabel", "QMessageBox::warning", "QMessageBox::information", "QMessageBox::critical",
                               "QMessageBox::question", "QMessageBox box", "QInputDialog"})
        QVERIFY2(file.fileName() == "qt_Dialogs.cpp" || !text.contains(made), qPrintable(file.fileName() + ": " + made));
    }
  }

  void buttonsAndDialogsGoThroughTheModel() {
    test::FormFixture f;
    f.input.answers = {u"Gamma", u"http://g/"};
    MainWindow window(*f.form);
    f.form->load();
    window.show();
    QTest::mouseClick(widget<QPushButton>(window, "Command6"), Qt::LeftButton);
    QCOMPARE(f.input.asked.size(), 2u);
    auto* list = widget<QListWidget>(window, "List1");
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Gamma"));
  }

  void aLongCatalogueIsListedWhole() {
    test::FormFixture f;
    for (int i = 0; i < 3000; ++i) test::writeGbk(f.website("p" + std::to_string(i) + ".txt"), u"http:\r\n");
    MainWindow window(*f.form);
    f.form->load();
    auto* list = widget<QListWidget>(window, "List1");
    QCOMPARE(list->count(), 3000);
    for (int i : {0, 1234, 2999}) QCOMPARE(list->item(i)->text(), q(f.form->List1.entries()[i]));
    f.form->listRefresh();
    QCOMPARE(list->count(), 3000);
  }

  // During a run the record button is disabled, its caption kept, under a
  // busy cursor; at its end the window shows the last place's own boxes,
  // emptied when its page failed, and the button has its focus back.
  void aRunShowsItIsRunningAndEndsWithTheLastPlacesOwnBoxes() {
    BusyRun busy;
    test::FormFixture f(&busy);
    test::writeGbk(f.website("A.txt"), u"http://a/1\r\n");
    test::writeGbk(f.website("B.txt"), u"http://a/2\r\n");  // no page: fails
    f.downloader.pages[u"http://a/1"] = fromUtf8(test::sampleData("hangzhou-2014.html"));
    MainWindow window(*f.form);
    window.setBusyRun(&busy);
    busy.setWindow(&window);
    f.form->load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* record = widget<QPushButton>(window, "Command1");
    const QString caption = record->text();
    QCOMPARE(window.focusWidget(), record);
    std::vector<bool> busyShown;
    f.downloader.onDownload = [&] {
      const QCursor* cursor = QGuiApplication::overrideCursor();
      busyShown.push_back(cursor && cursor->shape() == Qt::WaitCursor && !record->isEnabled() &&
                          record->text() == caption);
      if (busyShown.size() == 1) QTest::mouseClick(record, Qt::LeftButton);  // does nothing
    };

    QTest::mouseClick(record, Qt::LeftButton);
    QCOMPARE(busyShown, (std::vector<bool>{true, true}));
    QCOMPARE(f.downloader.requested.size(), 2u);  // once each: the clicks during the run did nothing
    QVERIFY(record->isEnabled());
    QCOMPARE(record->text(), caption);
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(window.focusWidget(), record);
    QCOMPARE(widget<QLineEdit>(window, "Text15")->text(), QStringLiteral("B"));
    QCOMPARE(widget<QLineEdit>(window, "Text14")->text(), QStringLiteral("http://a/2"));
    for (const char* box : {"Text2", "Text3"}) QCOMPARE(widget<QLineEdit>(window, box)->text(), QString());
    for (const char* box : {"Text4", "Text6", "Text7", "Text8", "Text9", "Text10", "Text11", "Text12"})
      QCOMPARE(widget<QPlainTextEdit>(window, box)->toPlainText(), QString());
    QCOMPARE(widget<QListWidget>(window, "List1")->currentRow(), 1);
    QCOMPARE(f.report.messages.size(), 1u);

    // The place before, when it is the last, shows its own values.
    std::filesystem::remove(f.website("B.txt"));
    f.form->listRefresh();
    QTest::mouseClick(record, Qt::LeftButton);
    QCOMPARE(widget<QLineEdit>(window, "Text15")->text(), QStringLiteral("A"));
    QVERIFY(widget<QPlainTextEdit>(window, "Text9")->toPlainText().count(QChar(u'\n')) >= 24);
  }

  // The list shows that it has the focus: its frame darkens.
  void theListShowsItsFocus() {
    test::FormFixture f;
    test::writeGbk(f.website("A.txt"), u"http://a/1\r\n");
    MainWindow window(*f.form);
    f.form->load();
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* list = widget<QListWidget>(window, "List1");
    list->setFocus();
    QTRY_VERIFY(list->hasFocus());
    const QImage focused = list->grab().toImage();
    widget<QWidget>(window, "Command1")->setFocus();
    QTRY_VERIFY(!list->hasFocus());
    const QImage unfocused = list->grab().toImage();
    const QPoint frame(0, list->height() / 2);
    QVERIFY(qGray(focused.pixel(frame)) + 40 < qGray(unfocused.pixel(frame)));
  }

  // A close during a run is held until the run has stopped, which it asks.
  void aCloseDuringARunStopsItAndThenCloses() {
    test::FormFixture f;
    MainWindow window(*f.form);
    struct Closer final : BusyRun::Window {
      explicit Closer(MainWindow& w) : window(w) {}
      void showBusy(bool) override {}
      void showControl(const Control&) override {}
      void repaintDroppingInput() override {}
      void closeLater() override { QMetaObject::invokeMethod(&window, &QWidget::close, Qt::QueuedConnection); }
      MainWindow& window;
    } closer(window);
    BusyRun busy;
    busy.setWindow(&closer);
    window.setBusyRun(&busy);
    window.show();
    busy.runStarted();
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
    QVERIFY(busy.stopAsked());
    busy.runEnded();
    QTRY_VERIFY(!window.isVisible());
  }
};

QTEST_MAIN(WindowTest)
#include "qt_window_test.moc"
