#include "app/qt_MainWindow.h"
#include "app/qt_Text.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStringList>
#include <QTimer>
#include <limits>
#include <vector>

#include "app/ControlTable.h"
#include "app/Form1.h"
#include "app/ListMenu.h"
#include "app/MenuBar.h"
#include "app/qt_Dialogs.h"
#include "app/qt_MultiLineBox.h"
#include "app/qt_ScheduleDialog.h"
#include "app/qt_PlaceSearchDialog.h"
#include "app/ViewDesign.h"
#include "catalogue/Catalogue.h"

namespace vantoril {

namespace {

QString rgb(const Rgb& c) { return QStringLiteral("rgb(%1, %2, %3)").arg(c.red).arg(c.green).arg(c.blue); }

void showText(QLineEdit& edit, const std::u16string& text) {
  const QString shown = qText(text);
  if (edit.text() == shown) return;
  const QSignalBlocker blocker(edit);
  edit.setText(shown);
}

// The coloured button style: the background colour shows, with a raised
// border that sinks while pressed.
QString buttonStyle(const Rgb& background) {
  const QString colour = rgb(background);
  return QStringLiteral(
             "QPushButton { background-color: %1; border: 2px outset %1; padding: 0px; }"
             "QPushButton:focus { border: 2px solid rgb(64, 64, 64); }"
             "QPushButton:pressed { border: 2px inset %1; }")
      .arg(colour);
}

// Captions are plain text: an ampersand is shown, never an access key.
QString buttonCaption(std::u16string_view caption) {
  QString text = qText(caption);
  text.replace(QChar(u'&'), QStringLiteral("&&"));
  return text;
}

// The place list, which shows where to start while it is empty.
class PlaceList final : public QListWidget {
 public:
  using QListWidget::QListWidget;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QListWidget::paintEvent(event);
    if (count() > 0) return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(viewport()->rect().adjusted(3, 2, -3, -2), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     qText(kEmptyListHint));
  }
};

}  // namespace

MainWindow::MainWindow(Form1& form) : form_(form) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(qText(kWindowCaption));
  setWindowIcon(QIcon(QStringLiteral(":/vantoril.png")));
  // Qt lays out in pixels of 96 dots per inch and scales them itself.
  // The menu bar above the client area of the design, which keeps its size
  // and places: the window is taller by the menu bar.
  const PixelRect client = clientRect(96);
  auto* menuBar = new QMenuBar(this);
  menuBar->setObjectName(QStringLiteral("MenuBar"));
  menuBar->setNativeMenuBar(false);  // in the window on every desktop: the layout counts on it
  buildMenuBar(*menuBar);
  const int menuHeight = menuBar->sizeHint().height();
  menuBar->setGeometry(0, 0, client.width, menuHeight);
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("ClientArea"));
  client_->setGeometry(0, menuHeight, client.width, client.height);
  setFixedSize(client.width, menuHeight + client.height);

  std::vector<QWidget*> tabOrder;
  for (const ControlDesign* shown : stackingOrder()) {
    const ControlDesign& design = *shown;
    Control* control = form_.control(design.name);
    if (!control) continue;
    QWidget* widget = createWidget(design, *control);
    widget->setObjectName(QString::fromUtf8(design.name.data(), static_cast<qsizetype>(design.name.size())));
    const PixelRect r = pixelRect(design, 96);
    widget->setGeometry(r.left, r.top, r.width, r.height);
    if (design.font) {
      QFont font = widget->font();
      // The Song face of the design; fontconfig falls back to the installed
      // Chinese face where it is missing.
      font.setFamilies({qText(design.font->face), QStringLiteral("SimSun")});
      font.setPointSizeF(design.font->points);
      widget->setFont(font);
    }
    if (design.foreground) {
      QPalette palette = widget->palette();
      const QColor colour(design.foreground->red, design.foreground->green, design.foreground->blue);
      palette.setColor(QPalette::Text, colour);
      palette.setColor(QPalette::WindowText, colour);
      palette.setColor(QPalette::ButtonText, colour);
      widget->setPalette(palette);
    }
    if (widget->focusPolicy() != Qt::NoFocus) tabOrder.push_back(widget);
    widgets_.emplace(control, widget);
    mirror(*control);
  }

  for (std::size_t i = 1; i < tabOrder.size(); ++i) QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
  if (!tabOrder.empty()) tabOrder.front()->setFocus();  // the record button

  form_.setListener(this);

  folderWatcher_ = new QFileSystemWatcher(this);
  folderSettled_ = new QTimer(this);
  folderSettled_->setSingleShot(true);
  folderSettled_->setInterval(200);
  connect(folderWatcher_, &QFileSystemWatcher::directoryChanged, folderSettled_, qOverload<>(&QTimer::start));
  connect(folderSettled_, &QTimer::timeout, this, [this] {
    form_.userFolderChanged();
    watchPlaceFolder();
  });
  watchPlaceFolder();
}

// The place folder is watched while the window is open, and the folder
// above it, where the place folder may be made or remade later: the list
// follows a change (a place added by `vantoril --add`, or by hand) once the
// folder has been quiet for a moment.
void MainWindow::watchPlaceFolder() {
  const std::string& data = form_.programFolder();
  QStringList missing;
  for (const std::string& folder : {data, catalogue::folder(data)}) {
    const QString path = QFile::decodeName(QByteArray::fromStdString(folder));
    if (!folderWatcher_->directories().contains(path) && QDir(path).exists()) missing << path;
  }
  if (!missing.isEmpty()) folderWatcher_->addPaths(missing);
}

MainWindow::~MainWindow() { form_.setListener(nullptr); }

QWidget* MainWindow::createWidget(const ControlDesign& design, Control& control) {
  switch (design.kind) {
    case ControlKind::Label: {
      // A caption lies beneath the boxes, lists and buttons it overlaps and
      // never takes a click: the one on "地名：" selects the first place.
      QLabel* label = plainLabel(QString(), client_);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setWordWrap(true);
      label->setAttribute(Qt::WA_TransparentForMouseEvents);
      label->lower();
      return label;
    }
    case ControlKind::CommandButton: {
      auto* button = new QPushButton(client_);
      button->setAutoDefault(false);
      button->setDefault(false);
      if (design.background) button->setStyleSheet(buttonStyle(*design.background));
      auto& model = static_cast<CommandButton&>(control);
      connect(button, &QPushButton::clicked, this, [this, &model] { form_.click(model); });
      return button;
    }
    case ControlKind::TextBox: {
      auto& box = static_cast<TextBox&>(control);
      if (design.multiLine) {
        auto* edit = new MultiLineBox(
            box,
            [this, &box](std::u16string text) {
              form_.userEdit(box, text);
              mirror(box);
            },
            client_);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setTabChangesFocus(true);
        return edit;
      }
      auto* edit = new QLineEdit(client_);
      edit->setMaxLength(design.maxLength > 0 ? design.maxLength : std::numeric_limits<int>::max());
      if (design.passwordChar) {
        edit->setEchoMode(QLineEdit::Password);
        edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: %1; }")
                                .arg(static_cast<int>(design.passwordChar)));
      }
      if (design.centred) edit->setAlignment(Qt::AlignCenter);
      connect(edit, &QLineEdit::textEdited, this, [this, &box](const QString& text) {
        form_.userEdit(box, text.toStdU16String());
        mirror(box);
      });
      return edit;
    }
    case ControlKind::ListBox: {
      auto* list = new PlaceList(client_);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      list->setUniformItemSizes(true);  // keeps a list of thousands of places cheap
      list->viewport()->installEventFilter(this);
      list->installEventFilter(this);  // the menu's keys
      // The focus shows as the frame's colour.
      list->setStyleSheet(QStringLiteral("QListWidget { border: 1px solid rgb(160, 160, 160); }"
                                         "QListWidget:focus { border: 1px solid rgb(0, 0, 0); }"));
      connect(list, &QListWidget::itemSelectionChanged, this, [this, list] { listSelectionChanged(*list); });
      connect(list, &QAbstractItemView::pressed, this, [this](const QModelIndex& index) { listPressed(index.row()); });
      return list;
    }
    case ControlKind::TransferControl:
      break;
  }
  return nullptr;
}

QWidget* MainWindow::widgetOf(std::string_view name) const {
  for (const auto& [control, widget] : widgets_)
    if (control->name() == name) return widget;
  return nullptr;
}

void MainWindow::controlChanged(const Control& control) {
  if (!busy_ || busy_->showNow(control)) mirror(control);
}

namespace {

// Eats mouse and keyboard input while installed.
class InputSwallower final : public QObject {
 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
        return true;
      default:
        return false;
    }
  }
};

}  // namespace

// The record button is disabled with its caption kept; the focus it had
// comes back to it.
void MainWindow::showBusy(bool busy) {
  QWidget* record = widgetOf("Command1");
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (record && record->isEnabled()) recordHadFocus_ = record->hasFocus();
    if (record) record->setEnabled(false);
  } else {
    QApplication::restoreOverrideCursor();
    if (record) record->setEnabled(true);
    if (record && recordHadFocus_) record->setFocus();
  }
}

void MainWindow::repaintDroppingInput() {
  InputSwallower swallower;
  QCoreApplication::instance()->installEventFilter(&swallower);
  QCoreApplication::processEvents();
  QCoreApplication::instance()->removeEventFilter(&swallower);
}

void MainWindow::closeLater() { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); }

void MainWindow::mirror(const Control& control) {
  const auto it = widgets_.find(&control);
  if (it == widgets_.end()) return;
  QWidget* widget = it->second;
  if (widget->isHidden() == control.visible()) widget->setVisible(control.visible());
  // A hidden widget is brought up to date when it is shown again, so a run
  // does not lay out page text that nobody sees.
  if (!control.visible()) return;

  if (const auto* box = dynamic_cast<const TextBox*>(&control)) {
    if (auto* line = qobject_cast<QLineEdit*>(widget)) showText(*line, box->text());
    else if (auto* multiLine = dynamic_cast<MultiLineBox*>(widget)) multiLine->showBoxText();
  } else if (const auto* label = dynamic_cast<const Label*>(&control)) {
    auto* shown = static_cast<QLabel*>(widget);
    const QString caption = qText(label->caption());
    if (shown->text() != caption) shown->setText(caption);
  } else if (const auto* button = dynamic_cast<const CommandButton*>(&control)) {
    auto* shown = static_cast<QPushButton*>(widget);
    const QString caption = buttonCaption(button->caption());
    if (shown->text() != caption) shown->setText(caption);
  } else if (const auto* list = dynamic_cast<const ListBox*>(&control)) {
    mirrorList(*list, *static_cast<QListWidget*>(widget));
  }
}

void MainWindow::mirrorList(const ListBox& list, QListWidget& widget) {
  const QSignalBlocker blocker(widget);
  // Entries change only by clearing and appending one at a time, so the
  // count tells what happened; a scan of many places stays linear.
  const auto& entries = list.entries();
  const int count = list.entryCount();
  const int shown = widget.count();
  if (count == 0) {
    if (shown != 0) widget.clear();
  } else if (count == shown + 1) {
    widget.addItem(qText(entries.back()));
  } else if (count != shown) {
    widget.clear();
    QStringList all;
    all.reserve(count);
    for (const auto& entry : entries) all.append(qText(entry));
    widget.addItems(all);
  }

  const int selected = list.selectedIndex();
  const QModelIndexList rows = widget.selectionModel()->selectedIndexes();
  const int shownSelection = rows.size() == 1 ? rows.front().row() : -1;
  if (shownSelection != selected || widget.currentRow() != selected) {
    if (selected < 0) {
      widget.clearSelection();
      widget.setCurrentRow(-1, QItemSelectionModel::Clear);
    } else {
      widget.setCurrentRow(selected, QItemSelectionModel::ClearAndSelect);
    }
  }

  const QString tooltip = plainToolTip(qText(list.tooltip()));
  if (widget.toolTip() != tooltip) widget.setToolTip(tooltip);
}

// A row selected by mouse or keyboard is a click on the list.
void MainWindow::listSelectionChanged(QListWidget& widget) {
  const QModelIndexList rows = widget.selectionModel()->selectedIndexes();
  if (rows.size() == 1 && rows.front().row() != form_.List1.selectedIndex()) form_.userSelect(rows.front().row());
  mirror(form_.List1);
}

// A click on the row that was already selected is a click too.
void MainWindow::listPressed(int row) {
  if (row >= 0 && row == selectedBeforePress_) {
    form_.userSelect(row);
    mirror(form_.List1);
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (type == QEvent::KeyPress) {
    // Shift+F10 and the Menu key open the list's menu at the selected place.
    auto* list = qobject_cast<QListWidget*>(watched);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool menuKey = key->key() == Qt::Key_Menu ||
                         (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier);
    if (!list || !menuKey) return QWidget::eventFilter(watched, event);
    const int row = form_.List1.selectedIndex();
    QPoint at;
    if (row >= 0) {
      list->scrollToItem(list->item(row));
      at = list->visualItemRect(list->item(row)).bottomLeft();
    }
    showListMenu(row, list->viewport()->mapToGlobal(at));
    return true;
  }
  if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick) {
    // The right button selects the place under it, as a left click does
    // (the list's click handling runs), then opens the list's menu.
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton) {
      auto* list = qobject_cast<QListWidget*>(watched->parent());
      if (list && type == QEvent::MouseButtonPress) {
        const int row = list->indexAt(mouse->position().toPoint()).row();
        if (row >= 0) {
          form_.userSelect(row);
          mirror(form_.List1);
        }
        showListMenu(row, mouse->globalPosition().toPoint());
      }
      return true;
    }
  }
  if (type == QEvent::MouseButtonPress) selectedBeforePress_ = form_.List1.selectedIndex();
  return QWidget::eventFilter(watched, event);
}

// The entries of the place under the pointer, then those of the whole
// program; a click below the last place shows only the latter.
void MainWindow::showListMenu(int row, const QPoint& at) {
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("List1Menu"));
  for (const ListMenuItem* item : listMenuEntries(row)) {
    if (item) menu.addAction(qText(menuEntry(item->command).text))->setData(static_cast<int>(item->command));
    else menu.addSeparator();
  }
  const QAction* chosen = menu.exec(at);
  if (!chosen) return;
  chooseCommand(form_, static_cast<Command>(chosen->data().toInt()), row, dialogs());
}

CommandDialogs MainWindow::dialogs() {
  return {[this] { return askPlaceByName(this); }, [this] { showScheduleDialog(this, form_.programFolder()); },
          [this](const std::string& suggested) { return askSavePath(this, suggested); }};
}

// Each command of kMenuBar in its menu, with its access key and shortcut;
// a command of one place is for the selected place.
void MainWindow::buildMenuBar(QMenuBar& menuBar) {
  std::vector<QMenu*> menus;
  for (const std::u16string_view title : kMenuTitles) menus.push_back(menuBar.addMenu(qText(title)));
  for (const MenuBarEntry& entry : kMenuBar) {
    QAction* action = menus[static_cast<std::size_t>(entry.menu)]->addAction(qText(entry.text));
    action->setObjectName(QStringLiteral("Menu%1").arg(static_cast<int>(entry.command)));
    if (!entry.shortcut.empty()) action->setShortcut(QKeySequence(qText(entry.shortcut), QKeySequence::PortableText));
    const Command command = entry.command;
    connect(action, &QAction::triggered, this, [this, command] {
      chooseCommand(form_, command, form_.List1.selectedIndex(), dialogs());
      mirror(form_.List1);
    });
  }
}

// Back from another program (an editor "修改网址" opened): after the
// activation is handled, the model looks whether an address changed.
void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    QMetaObject::invokeMethod(this, [this] { form_.userReturned(); }, Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (busy_ && !busy_->closeNow()) event->ignore();
  else event->accept();
}

}  // namespace vantoril
