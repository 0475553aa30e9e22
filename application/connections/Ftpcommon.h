// Conversion of remote directory listings (Unix, DOS, VMS, AS/400 layouts)
// into six parallel lists: name, size, directory marker, date, time and
// link target.
//
// The conversion itself uses only the standard library; the TStrings forms
// at the end are thin adapters. Defining NEMBRA_FTPCOMMON_CORE leaves the
// adapters out, so the core also builds outside the Windows tree.
#pragma once

#include <string>
#include <vector>

// Values of the format flag.
enum : unsigned char {
  lfNone = 0,
  lfUnix = 1,
  lfDos = 2,
  lfVms = 3,  // on entry: apply the VMS rules to every line
  lfAs400 = 4,
};

// A calendar day; "today" for the year of Unix dates given with a time.
struct TFtpDate {
  int Year = 0;
  int Month = 0;
  int Day = 0;
};

// Today by the local clock.
TFtpDate FTP_Today();

// Converts a listing in place. On entry names holds the raw listing lines;
// on return the six lists have one entry per kept line, in listing order
// (the other five lists are emptied first). Lines that fit no format are
// dropped. A Unix date given with a time takes the year of *today (the local
// clock when null), or the year before when that date would lie more than a
// day ahead. flag: lfVms on entry forces the VMS rules; on return it holds
// lfVms when they were forced, else the format of the last recognised line
// (unchanged when none was).
void FTP_ConvertLines(std::vector<std::string>& names, std::vector<std::string>& sizes,
                      std::vector<std::string>& markers, std::vector<std::string>& dates,
                      std::vector<std::string>& times, std::vector<std::string>& links,
                      unsigned char& flag, const TFtpDate* today = nullptr);

// Takes the first blank-separated word off text and returns it; text keeps
// the rest with its outer blanks removed.
std::string GetFirstParam(std::string& text);

// flag := lfVms when path looks like a VMS path ("DEV:[DIR]"), else lfNone.
void FTP_SetupVMS(const std::string& path, unsigned char& flag);

// 1..12 for a month name, abbreviated to three letters or written in full
// (any case); 0 for anything else.
int GetMonthIndex(const std::string& word);
// "DD-MON-YYYY", "D/Mon/YYYY" or "MM/DD/YYYY" as MM/DD/YYYY; text that is not
// such a date comes back unchanged.
std::string NormalizeDate(const std::string& text);
// "HH:MM", "HH:MM:SS.ff", "HH:MMAM" or "HH:MMPM" as 24-hour HH:MM.
std::string NormalizeTime(const std::string& text);
// "MM-DD-YY", "MM-DD-YYYY" (or with '/') as MM/DD/YYYY; two-digit years below
// 30 are 20xx, the others 19xx. Empty when text is not such a date.
std::string DosDateToMDY(const std::string& text);

#ifndef NEMBRA_FTPCOMMON_CORE
#include "classlib/Classes.h"

void FTP_ConvertLines(TStrings* names, TStrings* sizes, TStrings* markers, TStrings* dates,
                      TStrings* times, TStrings* links, BYTE& flag, const TFtpDate* today = nullptr);
#endif
