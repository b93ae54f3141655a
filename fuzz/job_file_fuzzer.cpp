// The job file: a run's settings as a small JSON document.
//
// Input: the file's text. A job file is taken or refused with a sentence
// naming the file; a refused one is not half taken into a fresh request.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "request/job_file.h"
#include "request/request_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    tarvo::request::RequestTexts texts;
    const std::string error = tarvo::request::ApplyJobJson(json, "fuzz.json", texts);
    if (!error.empty()) FUZZ_CHECK(error.rfind("job file fuzz.json", 0) == 0);
    return 0;
}
