#pragma once

#include <QSize>
#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "linking/link_session.h"
#include "output/result_file_open.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QChartView;

// The Link window: two forms chosen with their columns, the link's options,
// and after "Link" every method's constants side by side, the drift
// screen's findings, the new form's score table on the base scale, both
// forms' curves and the true-score equating. The transformed items and the
// score table are saved from here. The link runs off the user-interface
// thread: a progress bar shows its phase and how far it is, and Stop ends it
// between its steps (so does closing the window). Not modal; deletes itself
// when closed.
namespace tarvo::shell {

class DesktopServices;
class FilePicker;
class LinkFormBox;

class LinkWindow final : public QWidget {
  public:
    // Without a picker the window's own file dialogs are used; the tests
    // pass their own.
    explicit LinkWindow(DesktopServices& desktop, FilePicker* picker = nullptr,
                        QWidget* parent = nullptr);
    ~LinkWindow() override;

    LinkFormBox* BaseForm() const { return base_; }
    LinkFormBox* NewForm() const { return new_; }
    QLineEdit* AnchorsBox() const { return anchors_; }
    QCheckBox* SymmetricBox() const { return symmetric_; }
    QSpinBox* BootstrapBox() const { return bootstrap_; }
    QCheckBox* DropDriftingBox() const { return dropDrifting_; }
    QComboBox* MethodBox() const { return method_; }
    QPushButton* LinkButton() const { return link_; }
    QPushButton* StopButton() const { return stop_; }
    QProgressBar* Progress() const { return progress_; }
    // A link is running (from "Link" until its outcome is shown).
    bool Linking() const { return linking_; }
    QPushButton* SaveItemsButton() const { return saveItems_; }
    QPushButton* SaveTableButton() const { return saveTable_; }
    QTabWidget* Tabs() const { return tabs_; }
    QTableWidget* ConstantsTable() const { return constants_; }
    QTableWidget* DriftTable() const { return drift_; }
    QTableWidget* ScoreTable() const { return scores_; }
    QTableWidget* EquatingTable() const { return equating_; }
    QChartView* CharacteristicView() const { return characteristic_; }
    QChartView* InformationView() const { return information_; }
    QChartView* EquatingView() const { return equatingPlot_; }
    QLabel* Status() const { return status_; }
    // The last link's outcome, once "Link" has found one.
    const std::optional<linking::LinkOutcome>& Outcome() const { return outcome_; }

    // Starts the link; its outcome is shown when it ends.
    void RunLink();
    // Saves to the given file (the save buttons ask for it); false with a
    // message shown when it cannot be written.
    bool SaveTransformedItems(const std::string& path);
    bool SaveScoreTable(const std::string& path);

  private:
    // The files the link reads, which no save may replace.
    std::vector<NamedFile> FormFiles() const;

    QWidget* MakeOptions();
    void ShowOutcome();
    void Finish(linking::LinkOutcome outcome, linking::LinkMethod method);
    linking::LinkRequest Request() const;

    std::unique_ptr<FilePicker> ownPicker_;
    FilePicker* picker_;
    DesktopServices& desktop_;
    LinkFormBox* base_;
    LinkFormBox* new_;
    QLineEdit* anchors_ = nullptr;
    QCheckBox* symmetric_ = nullptr;
    QSpinBox* bootstrap_ = nullptr;
    QCheckBox* dropDrifting_ = nullptr;
    QComboBox* method_ = nullptr;
    QPushButton* link_;
    QPushButton* stop_;
    QProgressBar* progress_;
    bool linking_ = false;
    // Shared with the running link, which may outlive the window.
    std::shared_ptr<std::atomic<bool>> stopAsked_;
    QPushButton* saveItems_;
    QPushButton* saveTable_;
    QLabel* status_;
    QTabWidget* tabs_;
    QTableWidget* constants_;
    QTableWidget* drift_;
    QTableWidget* scores_;
    QTableWidget* equating_;
    QChartView* characteristic_;
    QChartView* information_;
    QChartView* equatingPlot_;
    std::optional<linking::LinkOutcome> outcome_;
    linking::LinkMethod shownMethod_ = linking::LinkMethod::StockingLord;
};

// The size a Link window asks for; it opens smaller on a smaller screen.
inline constexpr QSize kLinkWindowSize{1000, 760};

// Opens a new Link window (the main dialog's "Link..." button).
void OpenLinkWindow(DesktopServices& desktop, QWidget* owner);

}  // namespace tarvo::shell
