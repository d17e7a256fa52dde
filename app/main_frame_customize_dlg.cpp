#include "app/main_frame_customize_dlg.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CToolBarCustomizeDlg::CToolBarCustomizeDlg(const QList<QAction*>& commands,
                                           const QList<QAction*>& shown, QWidget* parent)
    : QDialog(parent), commands_(commands) {
  setObjectName(QStringLiteral("IDD_TOOLBAR_CUSTOMIZE"));
  setWindowTitle(tr("Customize"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Buttons shown on the tool bar \"Standard\":"), this));
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("IDC_TOOLBAR_COMMANDS"));
  list_->setIconSize(QSize(24, 24));
  for (QAction* command : commands_) {
    auto* item = new QListWidgetItem(command->icon(), command->toolTip(), list_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(shown.contains(command) ? Qt::Checked : Qt::Unchecked);
  }
  list_->setMinimumSize(260, list_->sizeHintForRow(0) * int(commands_.size()) + 8);
  layout->addWidget(list_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* reset = buttons->addButton(tr("&Reset"), QDialogButtonBox::ResetRole);
  reset->setObjectName(QStringLiteral("IDC_TOOLBAR_RESET"));
  connect(reset, &QPushButton::clicked, this, &CToolBarCustomizeDlg::Reset);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QList<QAction*> CToolBarCustomizeDlg::ShownCommands() const {
  QList<QAction*> shown;
  for (int row = 0; row < list_->count(); ++row) {
    if (list_->item(row)->checkState() == Qt::Checked) shown << commands_.at(row);
  }
  return shown;
}

void CToolBarCustomizeDlg::SetShown(QAction* command, bool shown) {
  const qsizetype row = commands_.indexOf(command);
  if (row >= 0) list_->item(int(row))->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
}

void CToolBarCustomizeDlg::Reset() {
  for (int row = 0; row < list_->count(); ++row)
    list_->item(row)->setCheckState(Qt::Checked);
}
