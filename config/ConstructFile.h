// Construct files: the text files that describe, per product and firmware version, which
// configuration parameters a module has, how they are grouped, which values they take and
// which AT command reads each of them.
//
// This unit is GUI-free. It reads a construct file, parses it into fixed-size ConfigParam
// records, builds the group table the Configuration page fills its tree from, and chooses
// the newest construct file of a directory when no file has the exact name of the device's
// product and firmware version. Message boxes and the web update belong to the page.
//
// File format, as the parser reads it. An entry starts at "[" and is a heading followed by
// fields, each ended by ";":
//   [Serial Port/Parity]10;                      heading, then the type field
//   Combo_list= None:Even:Odd;                   choices   (type 10 without width only)
//   Value_list= 0:1:2;                           values    (only right after the choices)
//   Range= 0;                                    lower bound (optional) ...
//   Max= 2;                                      ... always followed by the upper bound
//   description=<Parity bit of each character.>;
//   command= ATS13;
// The type field holds "10", "16", "String" or "Get" (tested in that order, by substring,
// case-sensitively), optionally followed by a width in parentheses, e.g. 16(4). The value of
// a keyed field starts two characters after its first "=" (the character right after "=" is
// skipped; a field without "=" gives the field minus its first character). The description
// is the text between the first "<" and the next ">". Everything after the command's ";" up
// to the next "[" is ignored. Keywords are found anywhere in a field, so a description that
// mentions "Range" is taken for a range, and a command without its ";" runs on to the next
// ";" of the file. A malformed entry yields empty texts, width 0 or type 0; what it consumes
// is decided by the cursor rules in ConstructFile.cpp.
//
// Threads: none of this is thread-safe; a CConstructData belongs to the thread that loads it
// (the GUI thread of the Configuration page).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Type codes of a parameter.
constexpr int32_t PT_NONE = 0;    // type field holds none of the keywords
constexpr int32_t PT_10 = 10;     // "10": the only type that may carry choice and value lists
constexpr int32_t PT_16 = 16;     // "16"
constexpr int32_t PT_STRING = 29; // "String"
constexpr int32_t PT_GET = 39;    // "Get": read-only, never saved nor exported

constexpr int kMaxParams = 1000;     // records per construct file
constexpr int kMaxGroupRows = 25;    // rows of the group table
constexpr int kGroupRowEntries = 40; // entry 0 = group name, entries 1..39 = parameter names
constexpr size_t kMaxConstructFileBytes = 65536; // bytes read from a construct file

// Text of the single tree item shown after a failed load.
constexpr const char* kConstructReadFailText = "CONSTRUCT FILE READ FAIL";

// One parameter of a construct file. Every text is zero-terminated and truncated to its
// field; a record is all zeros until filled.
struct ConfigParam {
    char group[32];         // group (folder of the tree)
    char name[128];         // parameter name (tree item text)
    int32_t type;           // PT_*
    int32_t width;          // number in parentheses of the type field, 0 when none
    char choiceList[256];   // choices separated by ":", empty for a free-text parameter
    char valueList[256];    // values sent for the choices, separated by ":", may be empty
    char rangeMin[64];      // lower bound shown to the user, empty when there is no range
    char rangeMax[64];      // upper bound shown to the user
    char description[2048]; // help text shown when the parameter is selected
    char command[128];      // read command followed by "\r\n"
};

// Longest command text stored before the "\r\n" that ends every command.
constexpr size_t kMaxCommandChars = sizeof(ConfigParam::command) - 3;

// Copies text into a fixed field: at most N - 1 bytes, always zero-terminated. Returns the
// number of bytes copied.
size_t CopyField(char* field, size_t fieldSize, std::string_view text);
template <size_t N> size_t CopyField(char (&field)[N], std::string_view text) {
    return CopyField(field, N, text);
}

// Stores a read command: the command text (cut to kMaxCommandChars bytes when longer, so the
// line end always survives) followed by "\r\n".
void SetCommand(ConfigParam& param, std::string_view commandText);

// The construct data of the Configuration page: the records of the loaded file and the group
// table its tree is filled from.
//
// About 3 MB: create it on the heap (or as a member of a heap object). It cannot be copied,
// because the group table refers to texts inside its own records.
class CConstructData {
public:
    CConstructData();
    CConstructData(const CConstructData&) = delete;
    CConstructData& operator=(const CConstructData&) = delete;

    // Zeroes every record and parses text (cut at its first zero byte, as a file is) into
    // m_params, counting groups in m_nGroups. In remote mode entries of the group
    // "Security Settings" are read past but not stored. Entries beyond kMaxParams are read
    // past but not stored either. m_nGroups is capped at kMaxGroupRows. The group table is
    // not touched: call ClearGroupTable before and BuildGroupTable after.
    void ParseConstructText(std::string_view text, bool remoteMode);

    // Fills the group table from the records: one row per run of consecutive records with
    // the same group, entry 0 the group and entries 1.. the names, in file order. Nothing is
    // written when the first record has no group; the walk ends at the first record without
    // group. A run of more than 39 parameters continues in a new row with the same group
    // name; runs beyond the 25th row are left out. m_nGroups is raised, if needed, to cover
    // every row written (never above kMaxGroupRows). Rows are written over what is there:
    // clear the table before a new load. Always returns 1.
    int BuildGroupTable();

    // The failed-load state: records zeroed, m_nParams 0, row 0 of the group table holds
    // kConstructReadFailText and then a null entry, m_nGroups 1.
    void SetReadFailed();

    // Sets every entry of the group table to null (records and counts stay as they are).
    void ClearGroupTable();

    // Entries of a row up to its first null entry: a full row has no null entry, so readers
    // of the table must stop after kGroupRowEntries as this does. Empty for a row number
    // outside 0..kMaxGroupRows-1.
    std::span<const char* const> GroupRow(int row) const;

    // Zeroes every record and sets m_nParams to 0.
    void ResetRecords();

    ConfigParam m_params[kMaxParams];
    int32_t m_nParams = 0;          // records in use, 0..kMaxParams
    int32_t m_nGroups = 0;          // group rows the tree is filled from, 0..kMaxGroupRows
    std::string m_strConstructFile; // construct file name asked for by the last load
    // Rows of kGroupRowEntries references into m_params (group and name fields), or to
    // kConstructReadFailText; null ends a row, unused rows are all null.
    const char* m_groupTable[kMaxGroupRows][kGroupRowEntries];
};

// Name of the construct file of a product and firmware version, as the device reports them:
// product + "_" + version + ".vmcon".
std::string ConstructFileName(const std::string& productName, const std::string& version);

// Reads at most kMaxConstructFileBytes bytes of a file and returns the text up to the first
// zero byte. *ok (when given) is false, and the result empty, when the path is not a regular
// file that can be opened for reading.
std::string ReadConstructFile(const std::string& path, bool* ok);

// True when a file name may be a construct file: it ends in ".txt" or ".vmcon", ignoring
// case.
bool IsConstructFileCandidate(std::string_view fileName);

// True when a file name starts with the product name, ignoring case (always true for an
// empty product name).
bool IsPreferredConstructFile(std::string_view fileName, std::string_view productName);

// Version number encoded in a file name. Reading starts after the first "v" (exact case), or
// at the start when there is none; the digits up to the first "." give M, and the decimal
// number after that "." (digits, at most one point, digits) is added to M x 1,000,000.
// "KM40X_v1.2.3.vmcon" gives 1,000,002.3; without a "." in that run the version is 0.
double ConstructFileVersion(std::string_view fileName);

// Fallback search for a construct file in a directory, used when the device's own file is
// missing. Among the regular files that are candidates, a file preferred for productName
// beats every file that is not; among files of equal preference the higher version wins, and
// ties keep the earlier file. Files are visited in ascending order of their names in upper
// case (the order an NTFS directory lists them in), so that the choice between files of equal
// version does not depend on the file system. Returns the full path of the chosen file when its
// version is above 0, otherwise (also when the directory cannot be listed) an empty text.
std::string FindNewestConstructFile(const std::string& dir, const std::string& productName);
