#pragma once

// The run's options, one table for both front ends: the runner takes them
// as --NAME VALUE, a job file as "NAME": "VALUE", and the dialog's controls
// stand for them. How an option's text reaches the request's texts, and how
// a request is written back as options that would run it again, is here
// once.

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/run_request.h"
#include "request/request_texts.h"

namespace tarvo::request {

struct OptionSpec {
    std::string_view name;   // --NAME and the job file's key
    std::string_view value;  // what the value is, for the help ("PATH"); empty: a flag
    std::string_view help;   // one line, or lines joined by '\n'
    int controlId = 0;       // the dialog's box the text stands for; 0: none
};

// Every option, in the order the help lists them and a request is written.
std::span<const OptionSpec> RunOptions();
const OptionSpec* FindOption(std::string_view name);

using OptionList = std::vector<std::pair<std::string, std::string>>;

// Sets the text of one option. Returns empty, or the refusal of a value
// whose shape is wrong before any number is read: a prior that is neither
// MEAN,SD nor none, a flag that is neither yes nor no, an empty report
// name, an unknown option.
std::string ApplyOption(std::string_view name, std::string_view value, RequestTexts& texts);

// The request as options that would run it again, in table order: the mode,
// every file and column, the method and, for the marginal estimator, every
// one of its settings written out; the runner's own settings when set.
OptionList RequestOptions(const RunRequest& request);

}  // namespace tarvo::request
