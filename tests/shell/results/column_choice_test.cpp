// The results tables' columns: the Items table opens with its most used
// columns, the header's menu hides and shows any column, the choice is
// remembered by name for the next window, and one entry goes back to the
// usual set.
#include "shell/results/columns/column_choice.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <algorithm>

#include "hand_written_result.h"
#include "shell/results/columns/column_set.h"
#include "shell/results/result_table_view.h"

namespace tarvo::shell {
namespace {

using results::HiddenColumns;

TEST(HiddenColumns, TheUsualSetUnlessAChoiceIsRememberedAndNeverEveryColumn) {
    const std::vector<std::string> columns{"SeqItem", "AccNo", "seea", "b", "Flags"};
    const std::vector<std::string> usual{"seea", "Nobs"};
    EXPECT_EQ(HiddenColumns(columns, std::nullopt, usual),
              (std::vector<bool>{false, false, true, false, false}));
    // A remembered choice wins, even one that hides nothing.
    EXPECT_EQ(HiddenColumns(columns, std::vector<std::string>{"Flags", "outfit"}, usual),
              (std::vector<bool>{false, false, false, false, true}));
    EXPECT_EQ(HiddenColumns(columns, std::vector<std::string>{}, usual),
              (std::vector<bool>(5, false)));
    // A table left with no column would have no header to right-click.
    EXPECT_EQ(HiddenColumns({"seea"}, std::nullopt, usual), (std::vector<bool>{false}));

    const std::vector<std::string> items = results::UsualHiddenColumns("items");
    for (const char* kept : {"SeqItem", "AccNo", "a_calib", "b_calib", "c_calib", "p-value",
                             "item-rest r", "S-X2", "adj. p", "Flags"}) {
        EXPECT_EQ(std::count(items.begin(), items.end(), kept), 0) << kept;
    }
    EXPECT_TRUE(results::UsualHiddenColumns("examinees").empty());
}

class ColumnChoiceTest : public ResultsWindowTest {
  protected:
    void SetUp() override {
        ResultsWindowTest::SetUp();
        QSettings(QStringLiteral("TARVO"), QStringLiteral("TARVO"))
            .remove(QStringLiteral("results"));
    }

    static int Column(const QTableView& view, const QString& name) {
        for (int c = 0; c < view.model()->columnCount(); ++c) {
            if (view.model()->headerData(c, Qt::Horizontal).toString() == name) return c;
        }
        return -1;
    }

    static bool Hidden(const QTableView& view, const char* name) {
        const int column = Column(view, QString::fromLatin1(name));
        EXPECT_GE(column, 0) << name;
        return view.isColumnHidden(column);
    }

    static QAction* Entry(QMenu& menu, const QString& text) {
        for (QAction* action : menu.actions()) {
            if (action->text() == text) return action;
        }
        ADD_FAILURE() << "no menu entry " << text.toStdString();
        return nullptr;
    }

    static std::unique_ptr<QMenu> MenuOf(QTableView* view) {
        return view->findChild<ColumnChoice*>()->MakeMenu();
    }
};

TEST_F(ColumnChoiceTest, TheItemsTableOpensWithTheUsualColumnsAndKeepsTheUsersChoice) {
    {
        const auto window = Open();
        ResultTableView* items = window->ItemView();
        EXPECT_TRUE(Hidden(*items, "seea"));
        EXPECT_TRUE(Hidden(*items, "Nobs"));
        EXPECT_FALSE(Hidden(*items, "b_calib"));
        EXPECT_FALSE(Hidden(*items, "Flags"));
        // Other tables show every column.
        for (int c = 0; c < window->PersonView()->model()->columnCount(); ++c) {
            EXPECT_FALSE(window->PersonView()->isColumnHidden(c)) << c;
        }

        auto menu = MenuOf(items);
        EXPECT_TRUE(Entry(*menu, QStringLiteral("Flags"))->isChecked());
        Entry(*menu, QStringLiteral("Flags"))->setChecked(false);
        Entry(*menu, QStringLiteral("seeb"))->setChecked(true);
        EXPECT_TRUE(Hidden(*items, "Flags"));
        EXPECT_FALSE(Hidden(*items, "seeb"));
    }
    // The next window opens as the user left the last one.
    const auto next = Open();
    ResultTableView* items = next->ItemView();
    EXPECT_TRUE(Hidden(*items, "Flags"));
    EXPECT_FALSE(Hidden(*items, "seeb"));
    EXPECT_TRUE(Hidden(*items, "seea"));

    auto menu = MenuOf(items);
    Entry(*menu, QString::fromLatin1(ColumnChoice::kEveryColumn))->trigger();
    for (int c = 0; c < items->model()->columnCount(); ++c) EXPECT_FALSE(items->isColumnHidden(c));
    EXPECT_FALSE(Hidden(*Open()->ItemView(), "seea"));  // remembered too

    menu = MenuOf(items);
    Entry(*menu, QString::fromLatin1(ColumnChoice::kUsualColumns))->trigger();
    EXPECT_TRUE(Hidden(*items, "seea"));
    EXPECT_FALSE(Hidden(*items, "Flags"));
    EXPECT_FALSE(QSettings(QStringLiteral("TARVO"), QStringLiteral("TARVO"))
                     .contains(HiddenColumnsKey(QStringLiteral("items"))));
    EXPECT_TRUE(Hidden(*Open()->ItemView(), "seea"));
}

TEST_F(ColumnChoiceTest, TheLastColumnShownCannotBeHidden) {
    const auto window = Open();
    ResultTableView* view = window->PersonView();
    const int columns = view->model()->columnCount();
    ASSERT_GT(columns, 1);
    for (int c = 1; c < columns; ++c) {
        auto menu = MenuOf(view);
        menu->actions().at(c)->setChecked(false);
    }
    auto menu = MenuOf(view);
    EXPECT_FALSE(view->isColumnHidden(0));
    EXPECT_FALSE(menu->actions().at(0)->isEnabled());
    EXPECT_TRUE(menu->actions().at(1)->isEnabled());  // a hidden one can come back
}

}  // namespace
}  // namespace tarvo::shell
