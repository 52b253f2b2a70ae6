#include "app/qt_ScheduleDialog.h"
#include "app/qt_Dialogs.h"
#include "app/qt_Text.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <memory>
#include <optional>

#include "schedule/ScheduleDialog.h"

namespace vantoril {

void showScheduleDialog(QWidget* parent, const std::string& programFolder) {
  using namespace schedule;
  const QString title = qText(kDialogTitle);
  const auto opened = ScheduleDialogModel::open(programFolder);
  ScheduleDialogModel& model = *opened;

  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("ScheduleDialog"));
  dialog.setWindowTitle(title);
  dialog.setModal(true);
  auto* on = new QCheckBox(qText(kOnCaption), &dialog);
  on->setObjectName(QStringLiteral("ScheduleOn"));
  on->setChecked(model.on());
  QLabel* timesLabel = plainLabel(qText(kTimesCaption), &dialog);
  auto* times = new QLineEdit(qText(model.timesText()), &dialog);
  times->setObjectName(QStringLiteral("ScheduleTimes"));
  times->setMinimumWidth(360);
  // Offered where the system lets the runs go on after logout.
  QCheckBox* keep = nullptr;
  if (model.keepRunningOffered()) {
    keep = new QCheckBox(qText(kKeepRunningCaption), &dialog);
    keep->setObjectName(QStringLiteral("ScheduleKeepRunning"));
    keep->setChecked(model.keepsRunning());
  }
  QLabel* state = plainLabel(qText(model.stateText()), &dialog);
  state->setObjectName(QStringLiteral("ScheduleState"));
  state->setWordWrap(true);
  state->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QDialogButtonBox* buttons = okCancelButtons(dialog).box;
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    const std::string refused = model.apply(on->isChecked(), times->text().toStdString(),
                                            keep ? std::optional<bool>(keep->isChecked()) : std::nullopt);
    if (!refused.empty()) {
      state->setText(qText(model.stateText()));
      if (keep) keep->setChecked(model.keepsRunning());
      showMessage(&dialog, QMessageBox::Warning, title, qText(refused));
      return;
    }
    // Taken, but it will not run: said before the dialog goes.
    if (model.on() && !model.warning().empty())
      showMessage(&dialog, QMessageBox::Warning, title, qText(model.warning()));
    dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(on);
  layout->addWidget(timesLabel);
  layout->addWidget(times);
  if (keep) layout->addWidget(keep);
  layout->addWidget(state);
  layout->addWidget(buttons);
  times->setFocus();
  dialog.exec();
}

}  // namespace vantoril
