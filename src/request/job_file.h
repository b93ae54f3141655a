#pragma once

// The job file: a run's complete settings as a small JSON document, the
// same from both front ends for the same settings:
//   {"tarvo_job": 1, "program": "TARVO 0.93",
//    "options": {"mode": "3", "response-file": "...", ...},
//    "format": {...}}
// "options" holds every option as the runner would take it (RequestOptions),
// "format" the response file's layout entries beyond its fixed columns.

#include <string>
#include <string_view>
#include <vector>

#include "core/run_request.h"
#include "input/text/input_file.h"
#include "output/result_file_open.h"
#include "request/request_texts.h"

namespace tarvo::request {

std::string JobJson(const RunRequest& request);

// Writes JobJson to path through the program's checked open, never over one
// of notThese (the files the job names: a job file written over its own
// response file would destroy it); on failure false, with error a sentence
// naming the file and the problem.
bool WriteJobFile(const RunRequest& request, const std::string& path,
                  const std::vector<NamedFile>& notThese, std::string& error);

// Reads a job file's options into texts, over what they hold. Empty, or the
// problem as a sentence naming the file (name) and what is wrong.
std::string ApplyJobJson(std::string_view json, const std::string& name, RequestTexts& texts);
// The file is read as every input is (input/text/input_file.h): a FIFO's
// open does not wait for its writer, and stop is asked while nothing comes.
std::string ReadJobFile(const std::string& path, RequestTexts& texts, const StopPoll& stop = {});

}  // namespace tarvo::request
