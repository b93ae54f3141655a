#include "estimation/models/model_table.h"

#include <algorithm>
#include <array>

namespace tarvo::models {

namespace {
const std::array<const ItemModel*, 11> kRows{&kThreePL, &kThreePLCGiven, &kTwoPL,  &kOnePL,
                                             &kRasch,   &kFourPL,        &kGrm,    &kGpcm,
                                             &kPcm,     &kRsm,           &kNominal};
}  // namespace

std::span<const ItemModel* const> AllModels() { return kRows; }

const ItemModel& ModelFor(MarginalModel model) {
    switch (model) {
        case MarginalModel::ThreePL:
            return kThreePL;
        case MarginalModel::ThreePLCGiven:
            return kThreePLCGiven;
        case MarginalModel::TwoPL:
            return kTwoPL;
        case MarginalModel::OnePL:
            return kOnePL;
        case MarginalModel::Rasch:
            return kRasch;
        case MarginalModel::FourPL:
            return kFourPL;
    }
    return kThreePL;
}

const ItemModel& ModelFor(PolytomousModel model) {
    switch (model) {
        case PolytomousModel::Gpcm:
            return kGpcm;
        case PolytomousModel::Pcm:
            return kPcm;
        case PolytomousModel::Rsm:
            return kRsm;
        case PolytomousModel::Nominal:
            return kNominal;
        default:
            return kGrm;
    }
}

const ItemModel* ModelNamed(std::string_view name) {
    for (const ItemModel* row : kRows) {
        if (row->name == name) return row;
    }
    return nullptr;
}

Item NewItem(const ItemModel& model, int categories) {
    Item item;
    item.model = &model;
    item.categories = model.categories == 2 ? 2 : std::max(categories, 2);
    item.slopeFree = model.slopeFree;
    item.commonSlope = model.commonSlope;
    item.guessFree = model.guessFree;
    item.upperFree = model.upperFree;
    return item;
}

}  // namespace tarvo::models
