#include "shell/results/plots_tab.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <algorithm>
#include <cmath>
#include <optional>

#include "report/html/person_item_map.h"
#include "shell/results/report/person_item_map_chart.h"
#include "shell/results/result_table_view.h"
#include "shell/results/results_charts.h"

namespace tarvo::shell {
namespace {

// A side of at most this many pixels keeps a picture within 256 MB.
constexpr int kMostPixels = 8000;

}  // namespace

std::optional<PictureSize> AskPictureSize(QWidget* parent, QSize screen) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Picture size"));
    auto* unit = new QComboBox;
    unit->setObjectName(QStringLiteral("unit"));
    unit->addItems({QStringLiteral("pixels"), QStringLiteral("cm"), QStringLiteral("inches")});
    auto* width = new QDoubleSpinBox;
    auto* height = new QDoubleSpinBox;
    auto* dpi = new QDoubleSpinBox;
    width->setObjectName(QStringLiteral("width"));
    height->setObjectName(QStringLiteral("height"));
    dpi->setObjectName(QStringLiteral("dpi"));
    dpi->setDecimals(0);
    dpi->setRange(36, 1200);
    dpi->setSuffix(QStringLiteral(" dpi"));
    dpi->setValue(PictureSize::kScreenDpi);
    auto* forPrint = new QPushButton(QStringLiteral("300 dpi for print"));

    // The size is held in pixels, unrounded; the boxes show it in the chosen unit.
    QSizeF pixels = screen;
    double lastDpi = dpi->value();
    const auto perUnit = [&] {  // pixels in one unit
        switch (unit->currentIndex()) {
            case 1:
                return dpi->value() / 2.54;
            case 2:
                return dpi->value();
            default:
                return 1.0;
        }
    };
    bool showing = false;
    const auto show = [&] {
        showing = true;
        const double per = perUnit();
        for (QDoubleSpinBox* box : {width, height}) {
            box->setDecimals(unit->currentIndex() == 0 ? 0 : 2);
            box->setRange(1 / per, kMostPixels / per);
        }
        width->setValue(pixels.width() / per);
        height->setValue(pixels.height() / per);
        showing = false;
    };
    const auto read = [&] {
        if (showing) return;
        const double per = perUnit();
        pixels = QSizeF(width->value() * per, height->value() * per);
    };
    show();
    QObject::connect(unit, &QComboBox::currentIndexChanged, &dialog, [&] { show(); });
    QObject::connect(width, &QDoubleSpinBox::valueChanged, &dialog, [&] { read(); });
    QObject::connect(height, &QDoubleSpinBox::valueChanged, &dialog, [&] { read(); });
    // A printed size stays the same when the resolution changes: the pixels follow.
    QObject::connect(dpi, &QDoubleSpinBox::valueChanged, &dialog, [&] {
        if (unit->currentIndex() != 0) {
            pixels *= dpi->value() / lastDpi;
            show();
        }
        lastDpi = dpi->value();
    });
    QObject::connect(forPrint, &QPushButton::clicked, &dialog, [&] { dpi->setValue(300); });

    auto* resolution = new QHBoxLayout;
    resolution->addWidget(dpi, 1);
    resolution->addWidget(forPrint);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("Unit:"), unit);
    form->addRow(QStringLiteral("Width:"), width);
    form->addRow(QStringLiteral("Height:"), height);
    form->addRow(QStringLiteral("Resolution:"), resolution);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    // Too large a picture shrinks whole, keeping its shape.
    pixels *= std::min({1.0, kMostPixels / pixels.width(), kMostPixels / pixels.height()});
    const QSize whole(static_cast<int>(std::lround(pixels.width())),
                      static_cast<int>(std::lround(pixels.height())));
    return PictureSize{whole.expandedTo(QSize(1, 1)).boundedTo(QSize(kMostPixels, kMostPixels)),
                       dpi->value()};
}

PlotsTab::PlotsTab(const results::ResultsData& data, QString saveFolder, QWidget* parent)
    : QWidget(parent),
      data_(data),
      saveFolder_(std::move(saveFolder)),
      pages_(new QTabWidget),
      items_(new QListWidget) {
    items_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const results::PlottedItem& item : data_.items) {
        items_->addItem(QString::fromStdString(results::PlotsListEntry(item)));
    }

    if (data_.HasCharacteristicCurves())
        AddPage(Plot::Characteristic, QStringLiteral("Item curve"));
    if (data_.HasExpectedScores()) AddPage(Plot::ExpectedScore, QStringLiteral("Expected score"));
    if (data_.HasInformation()) AddPage(Plot::Information, QStringLiteral("Information"));
    if (data_.HasHistogram()) AddPage(Plot::Histogram, QStringLiteral("Abilities"));
    if (data_.HasConvergence()) AddPage(Plot::Convergence, QStringLiteral("Convergence"));
    if (report::HasPersonItemMap(data_.Report())) {
        AddPage(Plot::PersonItemMap, QStringLiteral("Person-item map"));
        if (report::RaschFamily(data_.Report())) {
            mapScale_ = new QComboBox;
            mapScale_->setObjectName(QStringLiteral("mapScale"));
            mapScale_->addItem(QStringLiteral("Map in theta"), 1.0);
            mapScale_->addItem(QStringLiteral("Map in logits (theta x 1.7)"),
                               report::kLogitsPerTheta);
            connect(mapScale_, &QComboBox::currentIndexChanged, this, [this] {
                QChartView* view = views_.at(Plot::PersonItemMap);
                QChart* old = view->chart();
                view->setChart(MakeChart(Plot::PersonItemMap));
                delete old;
            });
        }
    }

    auto* savePng = new QPushButton(QStringLiteral("Save as PNG..."));
    auto* saveSvg = new QPushButton(QStringLiteral("Save as SVG..."));
    connect(savePng, &QPushButton::clicked, this, [this] { SaveWithDialog(false); });
    connect(saveSvg, &QPushButton::clicked, this, [this] { SaveWithDialog(true); });
    auto* buttons = new QHBoxLayout;
    if (mapScale_ != nullptr) buttons->addWidget(mapScale_);
    buttons->addStretch();
    buttons->addWidget(savePng);
    buttons->addWidget(saveSvg);

    auto* left = new QVBoxLayout;
    left->addWidget(pages_, 1);
    left->addLayout(buttons);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QString::fromStdString(results::PlotsListTitle(data_))));
    right->addWidget(items_, 1);
    items_->setMaximumWidth(200);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);
    items_->setVisible(!data_.items.empty());

    if (!data_.items.empty()) items_->setCurrentRow(0);
    connect(items_, &QListWidget::itemSelectionChanged, this, [this] { ItemsChosen(); });
}

void PlotsTab::AddPage(Plot plot, const QString& title) {
    auto* view = new QChartView(MakeChart(plot));
    view->setRenderHint(QPainter::Antialiasing);
    views_[plot] = view;
    pages_->addTab(view, title);
}

QChart* PlotsTab::Chart(Plot plot) const {
    const auto found = views_.find(plot);
    return found == views_.end() ? nullptr : found->second->chart();
}

std::vector<std::size_t> PlotsTab::ChosenItems() const {
    std::vector<std::size_t> chosen;
    for (int row = 0; row < items_->count(); ++row) {
        if (items_->item(row)->isSelected()) chosen.push_back(static_cast<std::size_t>(row));
    }
    if (chosen.empty() && !data_.items.empty()) chosen.push_back(currentItem_);
    return chosen;
}

QChart* PlotsTab::MakeChart(Plot plot) const {
    switch (plot) {
        case Plot::Characteristic: {
            const results::PlottedItem& item = data_.items[currentItem_];
            return item.Polytomous() ? MakeCategoryChart(item) : MakeCharacteristicChart(item);
        }
        case Plot::ExpectedScore:
            return MakeExpectedScoreChart(data_.items[currentItem_]);
        case Plot::Information:
            return MakeInformationChart(data_.items, ChosenItems());
        case Plot::Histogram:
            return MakeHistogramChart(data_.thetas);
        case Plot::Convergence:
            return MakeConvergenceChart(data_.Report().loop);
        case Plot::PersonItemMap:
            return MakePersonItemMapChart(
                data_.Report(), mapScale_ != nullptr ? mapScale_->currentData().toDouble() : 1.0);
    }
    return nullptr;
}

void PlotsTab::ItemsChosen() {
    const int row = items_->currentRow();
    if (row >= 0) currentItem_ = static_cast<std::size_t>(row);
    for (Plot plot : {Plot::Characteristic, Plot::ExpectedScore, Plot::Information}) {
        const auto found = views_.find(plot);
        if (found == views_.end()) continue;
        QChart* old = found->second->chart();
        found->second->setChart(MakeChart(plot));
        delete old;  // the view does not delete a chart it lets go
    }
}

bool PlotsTab::Save(Plot plot, const QString& path, QSize size, bool svg, double dpi) const {
    if (!Shows(plot) || size.isEmpty() || !(dpi > 0)) return false;
    QChart* chart = MakeChart(plot);
    // Never over a file of the run the plot is of.
    const std::vector<NamedFile> runFiles = RunFilesOf(data_.Report());
    const PictureSize picture{size, dpi};
    return svg ? SaveChartAsSvg(chart, path, picture, runFiles)
               : SaveChartAsPng(chart, path, picture, runFiles);
}

void PlotsTab::SaveWithDialog(bool svg) {
    for (const auto& [plot, view] : views_) {
        if (view != pages_->currentWidget()) continue;
        const std::optional<PictureSize> picture = AskPictureSize(this, view->size());
        if (!picture) return;
        const QString filter =
            svg ? QStringLiteral("SVG pictures (*.svg)") : QStringLiteral("PNG pictures (*.png)");
        QString path =
            QFileDialog::getSaveFileName(this, QStringLiteral("Save plot"), saveFolder_, filter);
        if (path.isEmpty()) return;
        const QString suffix = svg ? QStringLiteral(".svg") : QStringLiteral(".png");
        if (!path.endsWith(suffix, Qt::CaseInsensitive)) path += suffix;
        if (!Save(plot, path, picture->pixels, svg, picture->dpi)) {
            QMessageBox::warning(
                this, QStringLiteral("TARVO"),
                QStringLiteral("The plot could not be saved as %1: the file cannot be written.")
                    .arg(QDir::toNativeSeparators(path)));
        }
        return;
    }
}

}  // namespace tarvo::shell
