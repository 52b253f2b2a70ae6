#pragma once
// The Qt window over Form1: one widget per control of the design, placed
// and styled from the control table. It holds no state of its own: user
// actions go to the model's event entry points, and every change of a
// control comes back through ControlListener and is copied to its widget.
#include <QWidget>
#include <unordered_map>

#include "app/BusyRun.h"
#include "app/Controls.h"

class QFileSystemWatcher;
class QListWidget;
class QMenuBar;
class QTimer;

namespace vantoril {

class Form1;
struct ControlDesign;
struct CommandDialogs;

class MainWindow final : public QWidget, public ControlListener, public BusyRun::Window {
 public:
  explicit MainWindow(Form1& form);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  void controlChanged(const Control& control) override;

  // The recording run's rules for the window (BusyRun), carried out here.
  void setBusyRun(BusyRun* busy) { busy_ = busy; }
  void showBusy(bool busy) override;
  void showControl(const Control& control) override { mirror(control); }
  void repaintDroppingInput() override;
  void closeLater() override;

  // The widget that shows the control of that design name; nullptr for none.
  QWidget* widgetOf(std::string_view name) const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* createWidget(const ControlDesign& design, Control& control);
  void mirror(const Control& control);
  void mirrorList(const ListBox& list, QListWidget& widget);
  void listSelectionChanged(QListWidget& widget);
  void listPressed(int row);
  void showListMenu(int row, const QPoint& at);
  void buildMenuBar(QMenuBar& menuBar);
  CommandDialogs dialogs();
  void watchPlaceFolder();

  Form1& form_;
  QWidget* client_ = nullptr;  // the designed client area, beneath the menu bar
  std::unordered_map<const Control*, QWidget*> widgets_;
  BusyRun* busy_ = nullptr;
  int selectedBeforePress_ = -1;
  QFileSystemWatcher* folderWatcher_ = nullptr;
  QTimer* folderSettled_ = nullptr;
  bool recordHadFocus_ = false;
};

}  // namespace vantoril
