#include "app/gui/main_window.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <map>
#include <string_view>
#include <utility>

#include "app/gui/control_placement.h"
#include "app/gui/download_window.h"
#include "app/gui/gbk_edge.h"
#include "app/gui/result_cell_delegate.h"
#include "app/keyword_file.h"

namespace zv::app {

namespace {

using harvest::ResultColumn;
using harvest::TimeFilter;

QGroupBox* PlaceGroup(QWidget* parent, const char* name, QRect geometry, const char* title) {
  auto* group = Place<QGroupBox>(parent, name, geometry.x(), geometry.y(), geometry.width(),
                                 geometry.height());
  group->setTitle(QString::fromUtf8(title));
  return group;
}

template <class Control>
Control* PlaceWithText(QWidget* parent, const char* name, QRect geometry, const char* text) {
  auto* control =
      Place<Control>(parent, name, geometry.x(), geometry.y(), geometry.width(), geometry.height());
  control->setText(QString::fromUtf8(text));
  return control;
}

// Refuses typed characters other than the ASCII digits and "-". Editing keys
// and shortcuts (their text is a control character, or none) pass, and so
// does pasted text.
class DigitsAndMinusFilter final : public QObject {
 public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && IsRefused(static_cast<QKeyEvent*>(event)->text())) {
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  static bool IsRefused(const QString& typed) {
    for (const QChar c : typed) {
      const bool allowed =
          (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-');
      if (c.isPrint() && !allowed) return true;
    }
    return false;
  }
};

// The user's desktop folder with a trailing separator; empty when unknown.
QString DesktopFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

// The first local file among the dropped data; empty when no file was dropped.
QString FirstDroppedFile(const QMimeData* data) {
  if (data == nullptr) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

}  // namespace

MainWindow::MainWindow(harvest::EngineConfig config, std::unique_ptr<WindowDialogs> dialogs)
    : dialogs_(std::move(dialogs)) {
  setWindowTitle(QStringLiteral("Zorvane"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(968, 588);
  setAcceptDrops(true);

  BuildKeywordsGroup();
  BuildRunGroup();
  BuildTimeFilterGroup();
  BuildExportGroup();
  BuildResultList();
  BuildStatusBar();

  view_ = std::make_unique<WindowRunView>(*statusBar_, *collectButton_, *dialogs_);
  engine_ = std::make_unique<harvest::HarvestEngine>(table_, settings_, *view_, std::move(config));
  ConnectSettings();
  ConnectCommands();

  workbookExport_ = std::make_unique<WorkbookExport>(table_, nullptr);
  connect(workbookExport_.get(), &WorkbookExport::finished, this,
          &MainWindow::WorkbookExportFinished);
  folderBox_->setText(DesktopFolder());
  statusBar_->showMessage(QStringLiteral("准备就绪"));
  CentreOnScreen();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildKeywordsGroup() {
  QGroupBox* group = PlaceGroup(this, "分组框1", {4, 5, 196, 121}, "关键词(将TXT文档拖拽进来)");
  keywordsBox_ = Place<QPlainTextEdit>(group, "编辑框_关键词", 7, 13, 182, 101);
  keywordsBox_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  keywordsBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  keywordsBox_->setAcceptDrops(false);  // dropped files go to the window
}

void MainWindow::BuildRunGroup() {
  QGroupBox* group = PlaceGroup(this, "分组框2", {208, 5, 225, 121}, "采集配置");
  PlaceWithText<QLabel>(group, "透明标签1", {10, 14, 64, 32}, "采集页数：");
  pagesBox_ = PlaceWithText<QLineEdit>(group, "编辑框_采集页数", {80, 20, 30, 19}, "1");
  pagesBox_->setAlignment(Qt::AlignCenter);
  pagesBox_->setMaxLength(3);
  pagesBox_->setAcceptDrops(false);
  pagesBox_->installEventFilter(new DigitsAndMinusFilter(pagesBox_));
  PlaceWithText<QLabel>(group, "透明标签2", {116, 14, 56, 32}, "线程总数：");
  workerCapList_ = Place<QComboBox>(group, "组合框1", 179, 21, 40, 20);
  workerCapList_->addItems({QStringLiteral("5"), QStringLiteral("10"), QStringLiteral("20")});
  workerCapList_->setCurrentIndex(0);
  // The style's arrow button would leave "10" and "20" no room at this width.
  workerCapList_->setStyleSheet(
      QStringLiteral("QComboBox { padding-left: 3px; } QComboBox::drop-down { width: 12px; }"));
  collectButton_ = PlaceWithText<QPushButton>(group, "按钮_采集", {23, 50, 72, 24}, "采集");
  stopButton_ = PlaceWithText<QPushButton>(group, "按钮_停止", {121, 50, 72, 24}, "停止");
  importButton_ = PlaceWithText<QPushButton>(group, "按钮_导入", {23, 86, 72, 24}, "导入关键词");
  clearButton_ = PlaceWithText<QPushButton>(group, "按钮_清空", {121, 86, 72, 24}, "清空");
}

void MainWindow::BuildTimeFilterGroup() {
  QGroupBox* group = PlaceGroup(this, "分组框4", {441, 5, 216, 121}, "二维码发布时间");
  struct Choice {
    const char* name;
    QRect geometry;
    const char* text;
    TimeFilter filter;
  };
  const Choice choices[] = {
      {"单选框_一个月内", {29, 27, 80, 24}, "1个月内", TimeFilter::WithinMonth},
      {"单选框_一周内", {117, 27, 80, 24}, "1周内", TimeFilter::WithinWeek},
      {"单选框_一天内", {29, 66, 80, 24}, "1天内", TimeFilter::WithinDay},
      {"单选框_全部时间", {117, 66, 80, 24}, "全部时间", TimeFilter::AllTime},
  };
  timeFilterGroup_ = new QButtonGroup(this);
  for (const Choice& choice : choices) {
    auto* button = PlaceWithText<QRadioButton>(group, choice.name, choice.geometry, choice.text);
    timeFilterGroup_->addButton(button, static_cast<int>(choice.filter));
  }
  timeFilterGroup_->button(static_cast<int>(TimeFilter::WithinDay))->setChecked(true);
}

void MainWindow::BuildExportGroup() {
  QGroupBox* group = PlaceGroup(this, "分组框3", {666, 5, 294, 121}, "导出选项(XLS/GIF)");
  exportOptionGroup_ = new QButtonGroup(this);
  exportOptionGroup_->addButton(
      PlaceWithText<QRadioButton>(group, "单选框1", {15, 14, 56, 20}, "全部"));
  exportOptionGroup_->addButton(
      PlaceWithText<QRadioButton>(group, "单选框2", {85, 14, 84, 20}, "全部二维码"));
  exportOptionGroup_->addButton(
      PlaceWithText<QRadioButton>(group, "单选框_微信群", {183, 14, 94, 20}, "微信群二维码"));
  exportOptionGroup_->addButton(
      PlaceWithText<QRadioButton>(group, "单选框_个人微信", {15, 37, 94, 20}, "个人二维码"));
  exportOptionGroup_->buttons().first()->setChecked(true);
  folderButton_ = PlaceWithText<QPushButton>(group, "按钮_保存路径", {16, 62, 72, 21}, "路径...");
  folderBox_ = Place<QLineEdit>(group, "编辑框_路径", 94, 62, 184, 21);
  folderBox_->setAcceptDrops(false);
  exportButton_ = PlaceWithText<QPushButton>(group, "按钮_导出", {206, 91, 72, 21}, "导出");
}

void MainWindow::BuildResultList() {
  model_ = std::make_unique<ResultTableModel>(table_);
  resultList_ = Place<QTableView>(this, "超级列表框1", 0, 130, 968, 441);
  resultList_->setModel(model_.get());
  resultList_->setItemDelegate(new ResultCellDelegate(resultList_));
  resultList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  resultList_->setSelectionMode(QAbstractItemView::SingleSelection);
  resultList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  resultList_->setSortingEnabled(false);
  resultList_->setShowGrid(true);
  resultList_->setWordWrap(false);
  resultList_->setAcceptDrops(false);
  QHeaderView* rows = resultList_->verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setMinimumSectionSize(1);
  rows->setDefaultSectionSize(resultList_->fontMetrics().height() + 6);
  QHeaderView* columns = resultList_->horizontalHeader();
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  columns->setHighlightSections(false);
  columns->setSectionsClickable(false);
  columns->setStretchLastSection(false);
  columns->setMinimumSectionSize(0);
  for (int column = 0; column < harvest::kColumnCount; ++column) {
    resultList_->setColumnWidth(column, harvest::ColumnWidth(static_cast<ResultColumn>(column)));
  }
}

void MainWindow::BuildStatusBar() {
  statusBar_ = Place<QStatusBar>(this, "状态条1", 0, 568, 968, 20);
  statusBar_->setSizeGripEnabled(false);
  statusBar_->raise();
}

void MainWindow::ConnectSettings() {
  const auto keywordsChanged = [this] {
    settings_.SetKeywords(KeywordsFromBox(keywordsBox_->toPlainText()));
  };
  const auto pagesChanged = [this](const QString& pages) { settings_.SetPages(ToGbk(pages)); };
  const auto filterToggled = [this](int filter, bool checked) {
    if (checked) settings_.SetFilter(static_cast<TimeFilter>(filter));
  };
  const auto workerCapChanged = [this](const QString& cap) { settings_.SetWorkerCap(ToGbk(cap)); };
  connect(keywordsBox_, &QPlainTextEdit::textChanged, this, keywordsChanged);
  connect(pagesBox_, &QLineEdit::textChanged, this, pagesChanged);
  connect(timeFilterGroup_, &QButtonGroup::idToggled, this, filterToggled);
  connect(workerCapList_, &QComboBox::currentTextChanged, this, workerCapChanged);
  keywordsChanged();
  pagesChanged(pagesBox_->text());
  filterToggled(timeFilterGroup_->checkedId(), true);
  workerCapChanged(workerCapList_->currentText());
}

void MainWindow::ConnectCommands() {
  connect(collectButton_, &QPushButton::clicked, this, [this] { engine_->Collect(); });
  connect(stopButton_, &QPushButton::clicked, this, [this] { engine_->Stop(); });
  connect(importButton_, &QPushButton::clicked, this, &MainWindow::ImportKeywords);
  connect(clearButton_, &QPushButton::clicked, this, [this] { table_.ClearRows(); });
  connect(folderButton_, &QPushButton::clicked, this, &MainWindow::ChooseExportFolder);
  connect(exportButton_, &QPushButton::clicked, this, &MainWindow::Export);
}

void MainWindow::CentreOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!FirstDroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

// Only the first of several dropped files is loaded.
void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = FirstDroppedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  LoadKeywordFile(path);
}

void MainWindow::ImportKeywords() {
  const QString path = dialogs_->ChooseKeywordFile(lastKeywordFile_);
  if (path.isEmpty()) return;
  lastKeywordFile_ = path;
  LoadKeywordFile(path);
}

void MainWindow::LoadKeywordFile(const QString& path) {
  // A file that cannot be read empties the box.
  keywordsBox_->setPlainText(FromGbk(ReadKeywordFile(path.toStdString()).value_or("")));
}

void MainWindow::ChooseExportFolder() {
  const QString chosen = dialogs_->ChooseFolder(QStringLiteral("保存路径"));
  folderBox_->setText(FromGbk(text::TrimSpaces(ToGbk(chosen))));
}

void MainWindow::Export() {
  if (folderBox_->text().isEmpty()) {
    dialogs_->ShowNotice(QStringLiteral("提示"), QStringLiteral("请先选择要保存的路径"),
                         QMessageBox::NoIcon);
    return;
  }
  emit exportRequested();
  const QAbstractButton* option = exportOptionGroup_->checkedButton();
  if (!option) return;
  static const std::map<QString, QrSelection> kDownloads = {
      {QStringLiteral("单选框2"), QrSelection::All},
      {QStringLiteral("单选框_微信群"), QrSelection::Groups},
      {QStringLiteral("单选框_个人微信"), QrSelection::Personal},
  };
  const auto download = kDownloads.find(option->objectName());
  if (download == kDownloads.end()) {
    StartWorkbookExport();
    return;
  }
  DownloadWindow window(table_, download->second, folderBox_->text().toStdString(), this);
  window.exec();
}

void MainWindow::StartWorkbookExport() {
  if (workbookExport_->Running()) return;  // one export at a time
  exportButton_->setEnabled(false);
  workbookExport_->Start(ToGbk(folderBox_->text()));
}

void MainWindow::WorkbookExportFinished(const QString& error) {
  exportButton_->setEnabled(true);
  if (!error.isEmpty()) statusBar_->showMessage(QStringLiteral("导出失败：") + error);
}

}  // namespace zv::app
