// MainWindow: the program's working window. The user types or loads keywords,
// sets the run options, starts and stops harvest runs, watches the result
// table fill and exports it. Controls carry their names as object names
// ("按钮_采集", "编辑框_关键词", ...).
//
// Thread rule: a window-thread object. Engine threads reach it only through
// its adapters (settings mirror, run view, table model). Destroying the window
// first stops its engine and waits for the engine's threads, so no thread
// outlives the table and adapters it writes to.
#pragma once

#include <QWidget>
#include <memory>

#include "app/gui/result_table_model.h"
#include "app/gui/settings_mirror.h"
#include "app/gui/window_dialogs.h"
#include "app/gui/window_run_view.h"
#include "app/gui/workbook_export.h"
#include "harvest/harvest_engine.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTableView;

namespace zv::app {

class MainWindow final : public QWidget {
  Q_OBJECT

 public:
  MainWindow(harvest::EngineConfig config, std::unique_ptr<WindowDialogs> dialogs);
  ~MainWindow() override;

  harvest::ResultTable& Table() { return table_; }

 signals:
  // The export command, once the export folder is known not to be empty:
  // the workbook export and the download window start from here.
  void exportRequested();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildKeywordsGroup();
  void BuildRunGroup();
  void BuildTimeFilterGroup();
  void BuildExportGroup();
  void BuildResultList();
  void BuildStatusBar();
  void ConnectSettings();
  void ConnectCommands();
  void CentreOnScreen();

  void ImportKeywords();
  void LoadKeywordFile(const QString& path);
  void ChooseExportFolder();
  void Export();
  void StartWorkbookExport();
  void WorkbookExportFinished(const QString& error);

  std::unique_ptr<WindowDialogs> dialogs_;
  QString lastKeywordFile_;

  QPlainTextEdit* keywordsBox_ = nullptr;
  QLineEdit* pagesBox_ = nullptr;
  QComboBox* workerCapList_ = nullptr;
  QPushButton* collectButton_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  QPushButton* importButton_ = nullptr;
  QPushButton* clearButton_ = nullptr;
  QButtonGroup* timeFilterGroup_ = nullptr;
  QButtonGroup* exportOptionGroup_ = nullptr;
  QPushButton* folderButton_ = nullptr;
  QLineEdit* folderBox_ = nullptr;
  QPushButton* exportButton_ = nullptr;
  QTableView* resultList_ = nullptr;
  QStatusBar* statusBar_ = nullptr;

  // Destroyed in reverse order: the engine first, then the adapters it
  // calls, then the table they read.
  harvest::ResultTable table_;
  SettingsMirror settings_;
  std::unique_ptr<WindowRunView> view_;
  std::unique_ptr<ResultTableModel> model_;
  std::unique_ptr<harvest::HarvestEngine> engine_;
  // Reads the table from its own thread: destroyed (and joined) before it.
  std::unique_ptr<WorkbookExport> workbookExport_;
};

}  // namespace zv::app
