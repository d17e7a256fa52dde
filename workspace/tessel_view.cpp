// The view's controls, their creation and the enabling rules.
#include "workspace/tessel_view.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "engine/job_texts.h"
#include "engine/working_folder.h"
#include "widgets/estimate_progress_ctrl.h"
#include "widgets/picture_box.h"
#include "widgets/prompt_edit.h"
#include "widgets/tessel_list_ctrl.h"
#include "workspace/control_ids.h"
#include "workspace/instruction_line.h"
#include "workspace/job_thread.h"
#include "workspace/log_panel.h"
#include "workspace/view_job_adapter.h"

namespace {

QString FromView(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont MakeFont(const QString& family, int pixelSize, bool bold) {
  QFont font(family);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

const char kLocationLabelText[] = "Please select location to save repaired file(s):";
constexpr int kLocationLabelWidth = 290;  // the label's width in the layout

// The font, made smaller when needed so that text fits width: the bold label font is wider
// here than where the layout was drawn, and a cut-off sentence reads badly.
QFont FontFittingWidth(QFont font, const char* text, int width) {
  constexpr int kSmallest = 11;
  while (font.pixelSize() > kSmallest &&
         QFontMetrics(font).horizontalAdvance(QString::fromLatin1(text)) > width) {
    font.setPixelSize(font.pixelSize() - 1);
  }
  return font;
}

// Button captions in a compact face, so that caption and picture fit the narrow buttons.
QFont ButtonFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  return font;
}

}  // namespace

CTesselMSOfficeDotmProjView::CTesselMSOfficeDotmProjView(std::atomic<int>* jobRunning,
                                                         QWidget* parent)
    : QWidget(parent),
      jobRunning_(jobRunning),
      adapter_(std::make_unique<CViewJobAdapter>(this)),
      disposer_(std::make_unique<CFolderDisposer>()),
      normalFont_(MakeFont(QStringLiteral("Times New Roman"), 18, false)),
      boldFont_(MakeFont(QStringLiteral("Arial"), 16, true)),
      headerLeft_(QStringLiteral(":/res/header_left.png")),
      headerFill_(QStringLiteral(":/res/header_fill.png")),
      footerFill_(QStringLiteral(":/res/footer_fill.png")),
      footerLeft_(QStringLiteral(":/res/footer_left.png")),
      listBackground_(QStringLiteral(":/res/list_background.png")) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAcceptDrops(true);
  setMouseTracking(true);
  CreateControls();
  ConnectControls();
  WatchMouseMoves();
  InitialiseState();
}

CTesselMSOfficeDotmProjView::~CTesselMSOfficeDotmProjView() {
  if (!worker_) return;
  // Whoever listened may be half destroyed already (the frame destroys its children last).
  blockSignals(true);
  // A job still runs: ask it to stop, answer its pending questions as cancelled, and wait
  // for it while serving its queued calls (a plain join could wait for an answer forever).
  adapter_->SetClosing(true);
  if (jobRunning_) jobRunning_->store(0);
  WaitForWorker();
}

void CTesselMSOfficeDotmProjView::CreateControls() {
  list_ = new CTesselListCtrl(this);
  list_->setObjectName(workspace_ids::kListCtrl);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->SetStateIcons(QPixmap(QStringLiteral(":/res/list_states.png")));
  CreateButtons();
  CreateLowerControls();
  preview_ = new CPictureBox(this);
  preview_->setObjectName(workspace_ids::kStaticPictureCtrl);
  previewLabel_ = MakeLabel(tr("File preview:"), boldFont_);
  CreateProgressArea();
}

void CTesselMSOfficeDotmProjView::CreateButtons() {
  selectButton_ = MakeButton(workspace_ids::kBtnSelectFiles, tr("Select files"),
                             tr("Select file(s)"), QStringLiteral(":/res/btn_select.png"));
  removeButton_ = MakeButton(workspace_ids::kBtnRemoveFiles, tr("Remove files"),
                             tr("Remove file(s)"), QStringLiteral(":/res/btn_remove.png"));
  repairButton_ = MakeButton(workspace_ids::kBtnRecoverFiles, tr("Repair files"),
                             tr("Repair file(s)"), QStringLiteral(":/res/btn_repair.png"));
  saveButton_ = MakeButton(workspace_ids::kBtnSaveFiles, tr("Save..."), tr("Save file(s)"),
                           QStringLiteral(":/res/btn_save.png"));
  stopButton_ = MakeButton(workspace_ids::kBtnStop, tr("Stop"), tr("Stop"),
                           QStringLiteral(":/res/btn_stop.png"));
  exitButton_ = MakeButton(workspace_ids::kBtnExit, tr("Exit"), tr("Exit"),
                           QStringLiteral(":/res/btn_exit.png"));
}

void CTesselMSOfficeDotmProjView::CreateLowerControls() {
  locationLabel_ = MakeLabel(tr(kLocationLabelText),
                             FontFittingWidth(boldFont_, kLocationLabelText, kLocationLabelWidth));

  log_ = new CLogPanel(this);
  log_->setObjectName(workspace_ids::kEditCtrl);
  log_->SetLogText(FromView(engine::kLogIdleText));

  instruction_ = new CInstructionLine(this);
  instruction_->setObjectName(workspace_ids::kRichEditCtrl);
  instruction_->SetInstruction(FromView(engine::kInstructionIdle), engine::kInstructionIdleBold);

  pathBox_ = new CPromptEdit(this);
  pathBox_->setObjectName(workspace_ids::kBrowseEditCtrl);
  pathBox_->setFont(normalFont_);
  pathBox_->setAcceptDrops(false);
  pathBox_->SetPromptColour(QColor(158, 158, 158));
  pathBox_->SetPromptText(tr("<Enter valid path to save repaired Dotm file(s).>"));
  browseButton_ = MakeButton(workspace_ids::kBtnBrowse, tr("..."), tr("Browse folder"),
                             QStringLiteral(":/res/btn_browse.png"));

  extractMedia_ = new QCheckBox(tr("Extract Media.."), this);
  extractMedia_->setObjectName(workspace_ids::kCheckExtractFileContent);
  extractMedia_->setFont(normalFont_);
}

void CTesselMSOfficeDotmProjView::CreateProgressArea() {
  fileProgressLabel_ = MakeLabel(tr("File progress:"), normalFont_);
  totalProgressLabel_ = MakeLabel(tr("Total files progress:"), normalFont_);
  fileProgress_ = new CEstimateProgressCtrl(this);
  fileProgress_->setObjectName(workspace_ids::kFirstProgressCtrl);
  totalProgress_ = new CEstimateProgressCtrl(this);
  totalProgress_->setObjectName(workspace_ids::kSecondProgressCtrl);
}

QPushButton* CTesselMSOfficeDotmProjView::MakeButton(const char* id, const QString& caption,
                                                     const QString& tip, const QString& image) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(QLatin1String(id));
  button->setFont(ButtonFont());
  button->setToolTip(tip);
  const QPixmap picture(image);
  if (!picture.isNull()) {
    button->setIcon(QIcon(picture));
    button->setIconSize(QSize(24, 24));
  }
  button->setAutoDefault(false);
  button->setCursor(Qt::PointingHandCursor);
  return button;
}

QLabel* CTesselMSOfficeDotmProjView::MakeLabel(const QString& text, const QFont& font) {
  auto* label = new QLabel(text, this);
  label->setObjectName(workspace_ids::kStatic);
  label->setFont(font);
  // Labels are drawn straight onto the view's warm background.
  label->setAutoFillBackground(false);
  label->setAttribute(Qt::WA_TranslucentBackground);
  QPalette colours = label->palette();
  colours.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(colours);
  return label;
}

void CTesselMSOfficeDotmProjView::ConnectControls() {
  connect(selectButton_, &QPushButton::clicked, this, [this] { OnSelectFiles(); });
  connect(removeButton_, &QPushButton::clicked, this, [this] { OnRemoveFiles(); });
  connect(repairButton_, &QPushButton::clicked, this, [this] { OnRepairFiles(); });
  connect(saveButton_, &QPushButton::clicked, this, [this] { OnSaveFiles(); });
  connect(stopButton_, &QPushButton::clicked, this, [this] { OnStopJob(); });
  connect(exitButton_, &QPushButton::clicked, this, &CTesselMSOfficeDotmProjView::exitRequested);
  connect(browseButton_, &QPushButton::clicked, this, [this] { OnBrowseFolder(); });
  connect(list_, &CTesselListCtrl::showItemPreview, this,
          [this](int row) { OnShowItemPreview(row); });
  connect(list_, &CTesselListCtrl::hoverText, this, &CTesselMSOfficeDotmProjView::statusText);
}

void CTesselMSOfficeDotmProjView::InitialiseState() {
  EnableSaveControls(false);
  EnableRepair(false);
  stopButton_->hide();
  extractMedia_->setChecked(true);
  ShowPreview(QString(), engine::kPreviewNoFiles);
  const std::filesystem::path working = engine::GetWorkingFolder();
  std::error_code error;
  if (!working.empty() && std::filesystem::is_directory(working, error)) {
    // Left over from an earlier run that did not end normally.
    ShowPreview(QString(), engine::kPreviewImage);
    engine::RemoveFolderTree(working);
  }
  if (!working.empty()) disposer_->DisposeLeftoversBeside(working);
  EnableSelect(true);
  ShowProgressArea(false, false);
}

CEstimateProgressCtrl* CTesselMSOfficeDotmProjView::ProgressBar(engine::ProgressBar bar) const {
  return bar == engine::ProgressBar::kFile ? fileProgress_ : totalProgress_;
}

engine::JobView& CTesselMSOfficeDotmProjView::JobViewAdapter() const {
  return *adapter_;
}

void CTesselMSOfficeDotmProjView::ShowPreview(const QString& text, int mode) {
  preview_->SetImage(text, mode);
  preview_->SetDrawMode(2);
  preview_->update();
}

void CTesselMSOfficeDotmProjView::AppendLog(const QString& text, std::uint32_t colour) {
  log_->AppendLog(text, colour);
}

void CTesselMSOfficeDotmProjView::AppendLogLines(std::span<const CLogPanel::Line> lines) {
  log_->AppendLines(lines);
}

void CTesselMSOfficeDotmProjView::SetLogText(const QString& text) {
  log_->SetLogText(text);
}

void CTesselMSOfficeDotmProjView::SetInstruction(const QString& text,
                                                 std::span<const engine::TextRange> bold) {
  instruction_->SetInstruction(text, bold);
}

void CTesselMSOfficeDotmProjView::ShowProgressArea(bool fileBar, bool totalBar) {
  fileProgressLabel_->setVisible(fileBar);
  fileProgress_->setVisible(fileBar);
  totalProgressLabel_->setVisible(totalBar);
  totalProgress_->setVisible(totalBar);
  LayOut();
}

void CTesselMSOfficeDotmProjView::EnableSelect(bool enable) {
  m_bCanSelect = enable ? 1 : 0;
  selectButton_->setEnabled(enable);
  emit flagsChanged();
}

void CTesselMSOfficeDotmProjView::EnableRepair(bool enable) {
  m_bCanRepair = enable ? 1 : 0;
  repairButton_->setEnabled(enable);
  removeButton_->setEnabled(enable);
  emit flagsChanged();
}

void CTesselMSOfficeDotmProjView::EnableSaveControls(bool enable) {
  m_bCanSave = enable ? 1 : 0;
  browseButton_->setEnabled(enable);
  saveButton_->setEnabled(enable);
  extractMedia_->setEnabled(enable);
  pathBox_->setEnabled(enable);
  emit flagsChanged();
}

void CTesselMSOfficeDotmProjView::ShowStop(bool show) {
  stopButton_->setEnabled(show);
  stopButton_->setVisible(show);
}

QString CTesselMSOfficeDotmProjView::DestinationText() const {
  return pathBox_->ShowingPrompt() ? QString() : pathBox_->Text();
}

bool CTesselMSOfficeDotmProjView::ExtractMediaChecked() const {
  return extractMedia_->isChecked();
}
