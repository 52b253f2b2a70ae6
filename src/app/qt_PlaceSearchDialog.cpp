#include "app/qt_PlaceSearchDialog.h"
#include "app/qt_Dialogs.h"
#include "app/qt_Text.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStringList>
#include <QVBoxLayout>

#include "places/PlaceSearch.h"

namespace vantoril {

namespace {

// The arrow keys in the search box move the choice in the list.
class ArrowKeys final : public QObject {
 public:
  ArrowKeys(places::PlaceSearch& model, QListWidget& list) : model_(model), list_(list) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const int step = key == Qt::Key_Down ? 1 : key == Qt::Key_Up ? -1 : key == Qt::Key_PageDown ? 10
                     : key == Qt::Key_PageUp                    ? -10
                                                                : 0;
    if (step == 0) return QObject::eventFilter(watched, event);
    model_.move(step);
    list_.setCurrentRow(model_.chosen());
    return true;
  }

 private:
  places::PlaceSearch& model_;
  QListWidget& list_;
};

}  // namespace

std::string askPlaceByName(QWidget* parent) {
  places::PlaceSearch model;
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("PlaceSearch"));
  dialog.setWindowTitle(qText(places::kSearchTitle));
  dialog.setModal(true);

  QLabel* label = plainLabel(qText(places::kSearchPrompt), &dialog);
  auto* edit = new QLineEdit(&dialog);
  edit->setObjectName(QStringLiteral("PlaceSearchText"));
  auto* list = new QListWidget(&dialog);
  list->setObjectName(QStringLiteral("PlaceSearchList"));
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setUniformItemSizes(true);
  list->setMinimumSize(420, 320);
  const auto [buttons, ok] = okCancelButtons(dialog);
  ok->setEnabled(false);

  const auto showRows = [&] {
    const QSignalBlocker blocker(list);
    list->clear();
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(model.rows().size()));
    for (const auto& row : model.rows()) texts.append(qText(row));
    list->addItems(texts);
    list->setCurrentRow(model.chosen());
    ok->setEnabled(model.chosen() >= 0);
  };
  QObject::connect(edit, &QLineEdit::textChanged, &dialog, [&](const QString& text) {
    model.setText(text.toStdU16String());
    showRows();
  });
  QObject::connect(list, &QListWidget::currentRowChanged, &dialog, [&](int row) {
    model.choose(row);
    ok->setEnabled(model.chosen() >= 0);
  });
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, [&](QListWidgetItem* item) {
    model.choose(list->row(item));
    if (model.chosen() >= 0) dialog.accept();
  });
  // Enter in the search box or the list chooses the row shown as chosen.
  QObject::connect(edit, &QLineEdit::returnPressed, &dialog, [&] {
    if (model.chosen() >= 0) dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    if (model.chosen() >= 0) dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  ArrowKeys arrows(model, *list);
  edit->installEventFilter(&arrows);

  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(label);
  layout->addWidget(edit);
  layout->addWidget(list);
  layout->addWidget(buttons);
  edit->setFocus();

  if (dialog.exec() != QDialog::Accepted) return {};
  return model.chosenCode();
}

}  // namespace vantoril
