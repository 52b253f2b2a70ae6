#include "app/qt_Dialogs.h"
#include "app/qt_Text.h"

#include <algorithm>

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QTextDocument>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ControlTable.h"
#include "app/ListMenu.h"
#include "app/ViewDesign.h"

namespace vantoril {

QLabel* plainLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  return label;
}

void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
  QMessageBox box(icon, title, QString(), QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.setText(text);
  box.exec();
}

QString plainToolTip(const QString& text) {
  return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

OkCancel okCancelButtons(QDialog& dialog) {
  auto* box = new QDialogButtonBox(&dialog);
  QPushButton* ok = box->addButton(qText(kOkCaption), QDialogButtonBox::AcceptRole);
  box->addButton(qText(kCancelCaption), QDialogButtonBox::RejectRole);
  return {box, ok};
}

std::u16string DialogInputBox::ask(const std::u16string& prompt, const std::u16string& title,
                                   const std::u16string& defaultText) {
  QDialog dialog(parent_);
  dialog.setObjectName(QStringLiteral("InputBox"));
  dialog.setWindowTitle(qText(title));
  dialog.setModal(true);

  QLabel* label = plainLabel(qText(prompt), &dialog);
  label->setWordWrap(true);
  auto* edit = new QLineEdit(qText(defaultText), &dialog);
  edit->setObjectName(QStringLiteral("InputBoxText"));
  edit->setMinimumWidth(360);
  edit->selectAll();
  QDialogButtonBox* buttons = okCancelButtons(dialog).box;
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(label);
  layout->addWidget(edit);
  layout->addWidget(buttons);
  edit->setFocus();

  if (dialog.exec() != QDialog::Accepted) return {};
  return edit->text().toStdU16String();
}

namespace {

// The message as a box on the window's screen can show it whole: Qt's
// message box wraps its text at half the screen's width, 500 pixels at most.
QString fitting(const std::string& message, QWidget* parent) {
  const QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
  if (!screen) return QString::fromStdString(message);
  const QFontMetrics metrics(QApplication::font("QMessageBox"));
  const QRect room = screen->availableGeometry();
  return QString::fromStdString(messageFitting(message, room.height(), metrics.lineSpacing(),
                                               std::min(room.width() / 2, 500), metrics.horizontalAdvance(QChar(0x4E2D))));
}

}  // namespace

void MessageBoxReport::report(const std::string& message) {
  showMessage(parent_, QMessageBox::Warning, qText(kWindowCaption), fitting(message, parent_));
}

}  // namespace vantoril

namespace vantoril {

void MessageBoxReport::inform(const std::string& message) {
  showMessage(parent_, QMessageBox::Information, qText(kWindowCaption), fitting(message, parent_));
}

std::string askSavePath(QWidget* parent, const std::string& suggested) {
  QFileDialog dialog(parent, qText(kExportDialogTitle));
  dialog.setObjectName(QStringLiteral("ExportSave"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(qText(kExportFileKinds) + QStringLiteral(" (*.csv *.tsv)"));
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  dialog.selectFile(QString::fromStdString(suggested));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace vantoril
