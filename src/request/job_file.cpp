#include "request/job_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "core/program.h"
#include "input/text/input_file.h"
#include "request/option_table.h"

namespace tarvo::request {

namespace {

using Json = nlohmann::ordered_json;

// Raised whenever a key changes meaning or goes away.
constexpr int kJobVersion = 1;

// A job file is a few kB: every option once takes less than this. A larger
// file is not read, so that a wrong file name costs no memory.
constexpr std::size_t kLargestJobFile = 1u << 20;

constexpr const char* kJobKeys[] = {"tarvo_job", "program", "options", "format"};

}  // namespace

std::string JobJson(const RunRequest& request) {
    Json options = Json::object();
    for (const auto& [name, value] : RequestOptions(request)) options[name] = value;
    Json format = Json::object();
    for (const auto& [name, value] : request.format.entries) format[name] = value;
    const Json job{{"tarvo_job", kJobVersion},
                   {"program", std::string(kProgramName)},
                   {"options", std::move(options)},
                   {"format", std::move(format)}};
    // File names are the user's bytes, which need not be UTF-8.
    return job.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool WriteJobFile(const RunRequest& request, const std::string& path,
                  const std::vector<NamedFile>& notThese, std::string& error) {
    const std::string failure = WriteOutputFile(path, JobJson(request), notThese);
    if (failure.empty()) return true;
    error = "Job file " + path + " cannot be written: " + failure + ".";
    return false;
}

std::string ApplyJobJson(std::string_view json, const std::string& name, RequestTexts& texts) {
    const std::string where = "job file " + name + ": ";
    const Json job = Json::parse(json, nullptr, false);
    if (job.is_discarded() || !job.is_object()) return where + "not a JSON object.";
    if (!job.contains("tarvo_job") || !job["tarvo_job"].is_number_integer()) {
        return where + "no \"tarvo_job\" version: not a job file.";
    }
    if (job["tarvo_job"].get<int>() != kJobVersion) {
        return where + "version " + job["tarvo_job"].dump() + ", this program reads version " +
               std::to_string(kJobVersion) + ".";
    }
    for (const auto& [key, value] : job.items()) {
        if (std::find(std::begin(kJobKeys), std::end(kJobKeys), key) == std::end(kJobKeys)) {
            return where + "unknown key \"" + key +
                   "\"; a job file holds \"tarvo_job\", \"program\", \"options\" and "
                   "\"format\".";
        }
    }
    for (const char* part : {"options", "format"}) {
        if (job.contains(part) && !job[part].is_object()) {
            return where + "\"" + part + "\" must be an object of texts.";
        }
    }
    if (job.contains("options")) {
        for (const auto& [option, value] : job["options"].items()) {
            if (!value.is_string()) {
                return where + "the value of \"" + option + "\" must be a text, as the option " +
                       "takes it on the command line.";
            }
            if (const std::string refusal = ApplyOption(option, value.get<std::string>(), texts);
                !refusal.empty()) {
                return where + refusal;
            }
        }
    }
    if (job.contains("format")) {
        for (const auto& [entry, value] : job["format"].items()) {
            if (!value.is_string()) {
                return where + "the value of the format entry \"" + entry + "\" must be a text.";
            }
            texts.format.emplace_back(entry, value.get<std::string>());
        }
    }
    return {};
}

std::string ReadJobFile(const std::string& path, RequestTexts& texts, const StopPoll& stop) {
    // Through InputFile, as every input: the open does not wait for a FIFO's
    // writer, and the stop poll is asked while nothing comes. A job file is a
    // few kB: one past the cap is refused before more of it is kept.
    std::string text;
    {
        InputFile in(path, InputFile::kDefaultBufferSize, stop);
        while (in.Fill()) {
            text += in.Unread();
            in.Skip(in.Unread().size());
            if (text.size() > kLargestJobFile) {
                return "job file " + path + " is larger than " +
                       std::to_string(kLargestJobFile >> 20) +
                       " MB; a job file is a few kB of settings: is it a job file?";
            }
        }
        switch (in.Status()) {
            case ReadStatus::Read:
                break;
            case ReadStatus::Stopped:
                return "job file " + path + " was not read: a stop was asked for.";
            case ReadStatus::InUse:
                return "job file " + path + " cannot be read: it is in use by another run.";
            case ReadStatus::CannotRead:
                return "job file " + path + " cannot be read: " + std::strerror(errno) + ".";
        }
    }
    return ApplyJobJson(text, path, texts);
}

}  // namespace tarvo::request
