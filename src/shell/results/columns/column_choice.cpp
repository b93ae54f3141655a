#include "shell/results/columns/column_choice.h"

#include <QHeaderView>
#include <QMenu>
#include <QSettings>
#include <QTableView>
#include <optional>
#include <string>
#include <vector>

#include "shell/results/columns/column_set.h"

namespace tarvo::shell {
namespace {

// The program's own settings (on Linux ~/.config/TARVO/TARVO.conf).
std::unique_ptr<QSettings> ProgramSettings() {
    return std::make_unique<QSettings>(QStringLiteral("TARVO"), QStringLiteral("TARVO"));
}

std::vector<std::string> ColumnNames(const QTableView& view) {
    std::vector<std::string> names;
    const QAbstractItemModel* model = view.model();
    for (int c = 0; model != nullptr && c < model->columnCount(); ++c) {
        names.push_back(
            model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString());
    }
    return names;
}

std::vector<std::string> Strings(const QStringList& list) {
    std::vector<std::string> strings;
    for (const QString& text : list) strings.push_back(text.toStdString());
    return strings;
}

}  // namespace

QString HiddenColumnsKey(const QString& table) {
    return QStringLiteral("results/") + table + QStringLiteral("/hidden-columns");
}

ColumnChoice::ColumnChoice(QTableView* view, const QString& table)
    : QObject(view), view_(view), key_(HiddenColumnsKey(table)) {
    QHeaderView* header = view_->horizontalHeader();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const std::unique_ptr<QMenu> menu = MakeMenu();
        menu->exec(view_->horizontalHeader()->mapToGlobal(at));
    });
    Apply(true);
}

void ColumnChoice::Apply(bool remembered) {
    std::optional<std::vector<std::string>> chosen;
    if (remembered) {
        const auto settings = ProgramSettings();
        if (settings->contains(key_)) chosen = Strings(settings->value(key_).toStringList());
    }
    const std::string table = key_.section(QLatin1Char('/'), 1, 1).toStdString();
    const std::vector<bool> hidden =
        results::HiddenColumns(ColumnNames(*view_), chosen, results::UsualHiddenColumns(table));
    for (std::size_t c = 0; c < hidden.size(); ++c) {
        view_->setColumnHidden(static_cast<int>(c), hidden[c]);
    }
}

void ColumnChoice::Remember() {
    // Only the columns this table has: a name of another run's table that
    // this one lacks is kept, so that its choice survives this window.
    const auto settings = ProgramSettings();
    QStringList hidden = settings->value(key_).toStringList();
    const std::vector<std::string> names = ColumnNames(*view_);
    for (std::size_t c = 0; c < names.size(); ++c) {
        const QString name = QString::fromStdString(names[c]);
        hidden.removeAll(name);
        if (view_->isColumnHidden(static_cast<int>(c))) hidden.append(name);
    }
    settings->setValue(key_, hidden);
}

std::unique_ptr<QMenu> ColumnChoice::MakeMenu() {
    auto menu = std::make_unique<QMenu>(view_);
    const std::vector<std::string> names = ColumnNames(*view_);
    int shown = 0;
    for (std::size_t c = 0; c < names.size(); ++c)
        shown += !view_->isColumnHidden(static_cast<int>(c));
    for (std::size_t c = 0; c < names.size(); ++c) {
        const int column = static_cast<int>(c);
        QAction* action = menu->addAction(QString::fromStdString(names[c]));
        action->setCheckable(true);
        action->setChecked(!view_->isColumnHidden(column));
        // The last column shown stays: a table of no columns has no header
        // to bring the others back from.
        action->setEnabled(view_->isColumnHidden(column) || shown > 1);
        connect(action, &QAction::toggled, this, [this, column](bool show) {
            view_->setColumnHidden(column, !show);
            Remember();
        });
    }
    menu->addSeparator();
    menu->addAction(QString::fromLatin1(kUsualColumns), this, [this] {
        ProgramSettings()->remove(key_);
        Apply(false);
    });
    menu->addAction(QString::fromLatin1(kEveryColumn), this, [this] {
        for (int c = 0; c < view_->model()->columnCount(); ++c) view_->setColumnHidden(c, false);
        Remember();
    });
    return menu;
}

}  // namespace tarvo::shell
