// The listing parsers: the lines of a remote directory listing become the
// rows of a connection's directory list and file list, by the parser of
// the profile's server type.
//
// The rows are made in plain C++ (the core); TDirParser adds them to the
// list views with their images and item data. Defining
// NEMBRA_PARSER2_CORE leaves the views out, so the core also builds outside
// the Windows tree.
#pragma once

#include <string>
#include <vector>

#include "application/connections/Ftpcommon.h"

// What a row stands for.
enum TDirEntryKind { dekUp, dekDirectory, dekLink, dekFile };

// Images of the directory list (the caller's small image list).
constexpr int kDirImageDirectory = 2;
constexpr int kDirImageUp = 3;
constexpr int kDirImageLink = 4;

struct TDirRow {
  TDirEntryKind Kind = dekFile;
  // As shown: a Unix link keeps " -> target".
  std::string Caption;
  // The entry's own name, exactly as the server gave it, and a link's target.
  std::string Name;
  std::string Target;
  // The sub-items: Size, Date, Permissions (the converter parsers: the
  // directory marker).
  std::string Size, Date, Permissions;
  // In the directory list; -1 in the file list (the name's system icon).
  int Image = -1;
};

struct TDirRows {
  std::vector<TDirRow> Directories;  // ".." first
  std::vector<TDirRow> Files;
};

// The six parsers, in the order of the server types.
enum TDirParserKind { dpUnix, dpApple, dpDos, dpMultiNet, dpAS400, dpOther };

// The parser a connection window uses for a profile's server type (0..5);
// every other value takes the Unix parser.
TDirParserKind ConnectionParserKind(int serverType);

// Rows of a listing. Unix and Apple lines are split by columns: the date is
// found by its month name (or an ISO date) after a numeric size or a
// device's "major, minor", else after five (Apple: four) columns; the name
// is the rest of the line after the one blank that follows the date. The
// other four go through FTP_ConvertLines. Entries "." and "..", "total"
// lines and lines that give no name make no row.
TDirRows ParseListingRows(TDirParserKind kind, const std::vector<std::string>& lines,
                          const TFtpDate* today = nullptr);

#ifndef NEMBRA_PARSER2_CORE
#include <map>

#include "classlib/Imglist.h"
#include "classlib/Listview.h"

// The data of an item a parser added (TListItem::Data).
struct TDirItemData {
  TDirEntryKind Kind = dekFile;
  String Name;
  String Target;
};

class TDirParser : public TComponent {
 public:
  explicit TDirParser(TComponent* owner);

  // The shell's small and large system image lists, shared (never destroyed
  // here); every remote file list shows its icons from them.
  TImageList* ImageList1;
  TImageList* ImageList2;

  // Each adds the rows of lines to the directory list (".." first) and the
  // file list; the caller empties both before and turns their redrawing off
  // and on around the call.
  void ParseUnixListing(TStrings* lines, TCustomListView* dirs, TCustomListView* files);
  void ParseAppleListing(TStrings* lines, TCustomListView* dirs, TCustomListView* files);
  void ParseDosListing(TStrings* lines, TCustomListView* dirs, TCustomListView* files);
  void ParseMultiNetListing(TStrings* lines, TCustomListView* dirs, TCustomListView* files);
  void ParseAS400Listing(TStrings* lines, TCustomListView* dirs, TCustomListView* files);
  void ParseOtherListing(TStrings* lines, TCustomListView* dirs, TCustomListView* files);

  using TParseMethod = void (TDirParser::*)(TStrings*, TCustomListView*, TCustomListView*);
  // The parser of a server type for the connection window.
  static TParseMethod ConnectionParser(int serverType);

  // The system image list index of a file name (by its extension, no disk
  // access); 0 when the shell gives none. Kept per lower-case extension.
  int GetFileIconIndex(const String& fileName);
  void InitSystemImageLists();

  // Adds rows to the views (dirs or files may be nullptr).
  void AddRows(const TDirRows& rows, TCustomListView* dirs, TCustomListView* files);
  // The data of an item a parser added; nullptr for any other.
  static const TDirItemData* ItemData(const TListItem* item);

 private:
  void Parse(TDirParserKind kind, TStrings* lines, TCustomListView* dirs, TCustomListView* files);
  std::map<String, int> icons_;
};

// The one module, made at start-up.
extern TDirParser* DirParser;
#endif
