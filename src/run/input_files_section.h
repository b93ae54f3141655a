#pragma once

#include <string>
#include <vector>

#include "core/run_request.h"
#include "core/run_tables.h"
#include "report/run_report.h"

namespace tarvo {

// The input files as the run read them, as a section of the run report:
// under "inputs" the response file and the item parameter file (null when
// none was read), each with its name, its size in bytes and the SHA-256 of
// its bytes (both null for a pipe or when the file can no longer be read), so that a
// result can be traced to its inputs and checked against them.
ReportSection InputFilesSection(const RunSettings& settings);

// The examinees' groups as a section of the run report, for every run with
// a group field: under "groups" the field as the request names it, each
// label in order of first appearance with its count and whether it is the
// reference or a focal group, the reference, the focal groups, the count of
// examinees without a group, and whether the estimator used the groups (the
// classic estimator uses none: it runs as without them and says so). One
// summary line gives the same.
ReportSection GroupsSection(const RunRequest& request, const PersonTable& persons);

// Whether the request's estimator takes the examinees' groups.
bool EstimatorUsesGroups(const RunRequest& request);

// The reference group's label as a run takes it: the one asked for, else
// the first group in the file; empty when the file has no group.
std::string ReferenceGroup(const GroupSettings& groups, const PersonTable& persons);

// The focal groups' labels: those asked for, else every group but the
// reference, in order of first appearance.
std::vector<std::string> FocalGroups(const GroupSettings& groups, const PersonTable& persons);

}  // namespace tarvo
