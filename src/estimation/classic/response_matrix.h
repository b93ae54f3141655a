#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/run_tables.h"

namespace tarvo {

// The scored responses in item order: the codes of every examinee for one
// item lie together, which is the order the item loops read them in.
class ItemMajorResponses {
  public:
    explicit ItemMajorResponses(const PersonTable& persons)
        : personCount_(persons.personCount()), codes_(persons.responses.size()) {
        const std::size_t itemCount = persons.itemCount;
        for (std::size_t j = 0; j < personCount_; ++j) {
            const std::uint8_t* row = persons.responses.data() + j * itemCount;
            for (std::size_t i = 0; i < itemCount; ++i) codes_[i * personCount_ + j] = row[i];
        }
    }

    // The codes of item index i (0-based) for every examinee.
    std::span<const std::uint8_t> Column(std::size_t i) const {
        return std::span<const std::uint8_t>(codes_).subspan(i * personCount_, personCount_);
    }

  private:
    std::size_t personCount_;
    std::vector<std::uint8_t> codes_;
};

}  // namespace tarvo
