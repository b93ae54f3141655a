#pragma once

// Numeric identifiers of the main dialog's controls. The run reads its settings
// only through these numbers, whichever front end supplies the texts.
namespace tarvo::control {

inline constexpr int kModeFirst = 1003;  // mode n is button 1002 + n
inline constexpr int kModeLast = 1010;

inline constexpr int kResponseFile = 1061;
inline constexpr int kItemParameterFile = 1085;
inline constexpr int kOutputFile = 1080;

inline constexpr int kItemCount = 1079;      // item responses: length
inline constexpr int kResponseStart = 1077;  // item responses: start column
inline constexpr int kExamineeIdStart = 1083;
inline constexpr int kExamineeIdLength = 1084;
inline constexpr int kThetaStart = 1076;
inline constexpr int kThetaLength = 1078;

inline constexpr int kItemIdStart = 1069;
inline constexpr int kItemIdLength = 1070;
inline constexpr int kAStart = 1064;
inline constexpr int kALength = 1065;
inline constexpr int kBStart = 1066;
inline constexpr int kBLength = 1071;  // b's length box is 1071, not 1067
inline constexpr int kCStart = 1068;
inline constexpr int kCLength = 1067;

// The response file's format: the dialog's Format box ("Fixed columns",
// "CSV with header", ...) or the runner's --format. The other seven have no
// box in the dialog (it names delimited columns by number in the start and
// length boxes, and keeps a key typed under "Key..."); the runner fills them
// from its options.
inline constexpr int kResponseFormat = 1201;
inline constexpr int kHeaderRow = 1202;    // "no": the first row is data
inline constexpr int kIdColumn = 1203;     // NAME or NUMBER
inline constexpr int kThetaColumn = 1204;  // NAME or NUMBER
inline constexpr int kItemColumns = 1205;  // FIRST:LAST or a list
inline constexpr int kKeyFile = 1206;      // a file whose first line is the answer key
inline constexpr int kAnswerKey = 1207;    // the answer key as typed: ACDB... or cells
inline constexpr int kDelimiter = 1208;    // a delimited file's cell delimiter: , ; | or tab

// The examinees' group field of the Response Input frame: start and length
// (a delimited file: the start is the group's column number).
inline constexpr int kGroupStart = 1211;
inline constexpr int kGroupLength = 1212;

// Status labels beside the form rows.
inline constexpr int kStatusExamineeId = 1033;
inline constexpr int kStatusTheta = 1034;
inline constexpr int kStatusResponses = 1035;
inline constexpr int kStatusItemId = 1036;
inline constexpr int kStatusA = 1038;
inline constexpr int kStatusB = 1040;
inline constexpr int kStatusC = 1042;

// Buttons.
inline constexpr int kBrowseItemFile = 1025;
inline constexpr int kBrowseResponseFile = 1110;
inline constexpr int kBrowseOutputFile = 1046;
inline constexpr int kGo = 1047;
inline constexpr int kExit = 1043;
inline constexpr int kHelp = 32651;

inline constexpr int kTitleBox = 1052;
inline constexpr int kVersionBox = 1051;

}  // namespace tarvo::control
