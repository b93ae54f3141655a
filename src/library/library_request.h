#pragma once

#include <string>

#include "core/response_matrix.h"
#include "core/run_request.h"
#include "request/request_parser.h"
#include "tarvo/tarvo.hpp"

namespace tarvo::lib {

// The library's typed options as the runner's option texts, checked by the
// one request parser: the same request, or the runner's refusal.
request::RequestCheck RequestOfOptions(const Responses& responses, const Options& options);

// The responses as the run reads them in memory: the cells in place, the
// thetas as texts that read back as the same doubles.
ResponseMatrix MatrixOf(const Responses& responses);

// What is wrong with the responses' shape (a size that does not match, no
// cells), in the words of a response file's message; empty when nothing is.
std::string ShapeProblem(const Responses& responses);

}  // namespace tarvo::lib
