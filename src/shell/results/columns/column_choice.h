#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QMenu;
class QTableView;

// The menu a results table's header opens on a right-click: a check per
// column to show or hide it, "Show the usual columns" (back to the table's
// usual set) and "Show every column". The choice is kept in the program's
// settings for each table by the columns' names, and the next window opens
// with it. The table's own copy and export keep every column.
namespace tarvo::shell {

class ColumnChoice final : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kUsualColumns = "Show the usual columns";
    static constexpr const char* kEveryColumn = "Show every column";

    // table names the table in the settings ("items", "examinees", ...);
    // the view's model must be set. The choice is the view's child.
    ColumnChoice(QTableView* view, const QString& table);

    // The header's menu as it would open now.
    std::unique_ptr<QMenu> MakeMenu();

  private:
    void Apply(bool remembered);
    void Remember();

    QTableView* view_;
    QString key_;
};

// The settings key that keeps a table's hidden columns.
QString HiddenColumnsKey(const QString& table);

}  // namespace tarvo::shell
