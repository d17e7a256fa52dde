// The tool bar's customization dialog: every command the tool bar can carry, in its order, with
// a check box for whether it is shown. Reset shows them all again.
#pragma once

#include <QDialog>
#include <QList>

class QAction;
class QListWidget;

class CToolBarCustomizeDlg : public QDialog {
  Q_OBJECT

 public:
  // commands: all the tool bar's commands in their order; shown: those on the bar now.
  CToolBarCustomizeDlg(const QList<QAction*>& commands, const QList<QAction*>& shown,
                       QWidget* parent = nullptr);

  // The checked commands, in the tool bar's order.
  QList<QAction*> ShownCommands() const;
  void SetShown(QAction* command, bool shown);
  void Reset();

 private:
  QList<QAction*> commands_;
  QListWidget* list_ = nullptr;
};
