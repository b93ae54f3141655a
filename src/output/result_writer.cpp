#include "output/result_writer.h"

#include "core/run_tables.h"

namespace tarvo {

void ResultWriter::ItemsOnlyHeader() {
    if (csvLayout_) file_.WriteLine(ItemHeader(mode_));
}

void ResultWriter::ItemBeforeEstimation(const ItemRow& row) {
    if (csvLayout_) {
        file_.Write(ItemRowLeadCsv(row));
    } else {
        file_.WriteLine(ItemListingLine1(row));
    }
}

void ResultWriter::ItemAfterEstimation(const ItemRow& row) {
    if (csvLayout_) {
        file_.WriteLine(ItemRowValuesCsv(mode_, row));
    } else {
        file_.WriteLine(ItemListingLine2(row));
        file_.WriteLine(ItemListingLine3(row));
        file_.WriteLine("");
    }
}

void ResultWriter::ItemSection(const ItemTable& items) {
    file_.WriteLine(ItemHeader(mode_));
    for (std::size_t i = 0; i < items.itemCount(); ++i) {
        const ItemRow row{i + 1,      items.AccNo[i], items.Nobs[i], items.a[i],   items.b[i],
                          items.c[i], items.seea[i],  items.seeb[i], items.seec[i]};
        file_.WriteLine(ItemRowLeadCsv(row) + ItemRowValuesCsv(mode_, row));
    }
    file_.WriteLine("");
}

void ResultWriter::PersonHeader() { file_.WriteLine(tarvo::PersonHeader()); }

void ResultWriter::Person(std::size_t seq, std::string_view ExaminID, std::int32_t Nvalid,
                          double theta, double seetheta) {
    file_.WriteLine(PersonRow(seq, ExaminID, Nvalid, theta, seetheta));
}

void ResultWriter::PersonSection(const PersonTable& persons) {
    PersonHeader();
    for (std::size_t j = 0; j < persons.personCount(); ++j) {
        Person(j + 1, persons.ExaminID[j], persons.Nvalid[j], persons.theta[j],
               persons.seetheta[j]);
    }
}

}  // namespace tarvo
