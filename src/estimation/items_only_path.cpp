#include <string>

#include "estimation/driver.h"
#include "estimation/item_estimation.h"
#include "estimation/model.h"
#include "estimation/response_matrix.h"

namespace tarvo {

// Items for given abilities, one item at a time. Each item starts from
// a = b = c = 0 (mode 4 keeps its given c, mode 8 its a = 1); an item with
// fewer than 10 valid responses is reported with those values and -1 errors.
bool RunItemsOnly(int mode, ItemTable& items, const PersonTable& persons, RunHost& host,
                  ResultWriter& writer) {
    host.ProgressInit("Calibrating items...");
    host.ProgressSet(0, "Item 0");
    writer.ItemsOnlyHeader();
    const std::size_t itemCount = items.itemCount();
    if (mode == 8) {
        for (std::size_t i = 0; i < itemCount; ++i) {
            items.a[i] = 1;
            items.c[i] = 0;
        }
    }

    const ItemMajorResponses responses(persons);
    const std::string ofCount = " of " + std::to_string(itemCount) + ".";
    bool stopped = false;
    for (std::size_t i = 0; i < itemCount; ++i) {
        host.ProgressSet(RoundedPercent(i + 1, itemCount), "Item " + std::to_string(i + 1) + ofCount);
        host.Breathe();
        if (host.ProgressIsCancelled()) {
            stopped = true;
            break;
        }
        const auto column = responses.Column(i);
        ItemFitMSE(column, persons.theta, items.a[i], items.b[i], items.c[i], items.Nobs[i]);

        ItemRow row{i + 1, items.AccNo[i], items.Nobs[i]};
        writer.ItemBeforeEstimation(row);

        ItemStandardErrors se{-1, -1, -1};
        ItemParameters p{0, 0, 0};
        if (mode == 4) p.c = items.c[i];
        if (mode == 8) p.a = 1;
        if (items.Nobs[i] > 9) CalibrateItem(se, column, persons.theta, p, mode);
        if (se.seea == -1 && mode != 8) p.a = 0;
        if (se.seeb == -1) p.b = 0;
        if (se.seec == -1 && mode != 4) p.c = 0;
        items.seea[i] = se.seea;
        items.seeb[i] = se.seeb;
        items.seec[i] = se.seec;

        row.a = p.a;
        row.b = p.b;
        row.c = p.c;
        row.seea = se.seea;
        row.seeb = se.seeb;
        row.seec = se.seec;
        writer.ItemAfterEstimation(row);
    }
    host.ProgressShutdown();
    return stopped;
}

}  // namespace tarvo
