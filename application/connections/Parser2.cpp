// The listing parsers: rows of the directory and file lists from listing lines.
#include "application/connections/Parser2.h"

#include <utility>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(const std::string& s, size_t from, size_t to) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i)
    if (!IsDigit(s[i])) return false;
  return true;
}

struct TWord {
  size_t Begin, End;  // in the line
};

// The line as listed without its line end: a trailing CR (and LF) only.
std::string WithoutLineEnd(const std::string& line) {
  size_t n = line.size();
  if (n > 0 && line[n - 1] == '\n') --n;
  if (n > 0 && line[n - 1] == '\r') --n;
  return line.substr(0, n);
}

// Words separated by blanks (and other characters up to 32, which the
// listing has no business holding between columns).
std::vector<TWord> SplitWords(const std::string& line, size_t limit) {
  std::vector<TWord> words;
  size_t i = 0;
  while (words.size() < limit) {
    while (i < line.size() && static_cast<unsigned char>(line[i]) <= ' ') ++i;
    if (i >= line.size()) break;
    size_t b = i;
    while (i < line.size() && static_cast<unsigned char>(line[i]) > ' ') ++i;
    words.push_back({b, i});
  }
  return words;
}

class TLine {
 public:
  explicit TLine(const std::string& text) : text_(text), words_(SplitWords(text_, 16)) {}
  int Count() const { return static_cast<int>(words_.size()); }
  std::string Word(int k) const { return text_.substr(words_[k].Begin, words_[k].End - words_[k].Begin); }
  const TWord& At(int k) const { return words_[k]; }
  // From the start of word a to the end of word b, blank runs as listed.
  std::string Span(int a, int b) const { return text_.substr(words_[a].Begin, words_[b].End - words_[a].Begin); }
  // What follows word k after exactly one separating character.
  std::string After(int k) const {
    size_t from = words_[k].End + 1;
    return from < text_.size() ? text_.substr(from) : std::string();
  }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  std::vector<TWord> words_;
};

bool IsNumber(const TLine& l, int k) { return AllDigits(l.Text(), l.At(k).Begin, l.At(k).End); }

// 1 to 31.
bool IsDay(const TLine& l, int k) {
  const TWord& w = l.At(k);
  if (w.End - w.Begin > 2 || !AllDigits(l.Text(), w.Begin, w.End)) return false;
  int d = std::stoi(l.Word(k));
  return d >= 1 && d <= 31;
}

// "2003", "9:05", "12:30".
bool IsYearOrTime(const TLine& l, int k) {
  std::string w = l.Word(k);
  if (w.size() == 4 && AllDigits(w, 0, 4)) return true;
  size_t colon = w.find(':');
  return colon != std::string::npos && (colon == 1 || colon == 2) && w.size() == colon + 3 &&
         AllDigits(w, 0, colon) && AllDigits(w, colon + 1, w.size());
}

// "2003-01-12".
bool IsIsoDate(const TLine& l, int k) {
  std::string w = l.Word(k);
  return w.size() == 10 && w[4] == '-' && w[7] == '-' && AllDigits(w, 0, 4) && AllDigits(w, 5, 7) &&
         AllDigits(w, 8, 10);
}

// "12:30" or "12:30:59" (with fractions).
bool IsIsoTime(const TLine& l, int k) {
  std::string w = l.Word(k);
  return w.size() >= 5 && AllDigits(w, 0, 2) && w[2] == ':' && AllDigits(w, 3, 5) &&
         (w.size() == 5 || w[5] == ':');
}

// The size before a date word at k: a number, or a device's "major, minor"
// (one word or two). first: the word the size starts at.
bool SizeBefore(const TLine& l, int k, int& first) {
  if (k < 1) return false;
  if (IsNumber(l, k - 1)) {
    first = k - 1;
    if (k >= 3) {
      std::string prev = l.Word(k - 2);
      if (prev.size() >= 2 && prev.back() == ',' && AllDigits(prev, 0, prev.size() - 1)) first = k - 2;
    }
    return true;
  }
  std::string w = l.Word(k - 1);
  size_t comma = w.find(',');
  if (comma != std::string::npos && AllDigits(w, 0, comma) && AllDigits(w, comma + 1, w.size())) {
    first = k - 1;
    return true;
  }
  return false;
}

struct TColumns {
  std::string Perms, Size, Date, Name;
  bool Ok = false;
};

// perms ... size date name: the date anchored on its month name or ISO form,
// else after fixedCount columns.
TColumns SplitUnixLine(const std::string& line, int fixedCount) {
  TColumns c;
  TLine l(line);
  if (l.Count() < 2) return c;
  c.Perms = l.Word(0);
  for (int k = 2; k < l.Count(); ++k) {
    int sizeFrom = 0;
    if (GetMonthIndex(l.Word(k)) > 0 && k + 2 < l.Count() && IsDay(l, k + 1) && IsYearOrTime(l, k + 2) &&
        SizeBefore(l, k, sizeFrom)) {
      c.Size = l.Span(sizeFrom, k - 1);
      c.Date = l.Span(k, k + 2);
      c.Name = l.After(k + 2);
      c.Ok = true;
      return c;
    }
    if (IsIsoDate(l, k) && k + 1 < l.Count() && IsIsoTime(l, k + 1) && SizeBefore(l, k, sizeFrom)) {
      c.Size = l.Span(sizeFrom, k - 1);
      c.Date = l.Span(k, k + 1);
      c.Name = l.After(k + 1);
      c.Ok = true;
      return c;
    }
  }
  // No date found: fixed columns, the date three words.
  int dateFrom = fixedCount;
  if (l.Count() <= dateFrom + 2) return c;
  c.Size = l.Word(fixedCount - 1);
  c.Date = l.Span(dateFrom, dateFrom + 2);
  c.Name = l.After(dateFrom + 2);
  c.Ok = true;
  return c;
}

bool IsDots(const std::string& name) { return name == "." || name == ".."; }

TDirRow UpRow() {
  TDirRow r;
  r.Kind = dekUp;
  r.Caption = r.Name = "..";
  r.Image = kDirImageUp;
  return r;
}

TDirRows ParseColumns(const std::vector<std::string>& lines, int fixedCount) {
  TDirRows rows;
  rows.Directories.push_back(UpRow());
  for (const std::string& raw : lines) {
    std::string line = WithoutLineEnd(raw);
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) continue;
    if (line.compare(start, 5, "total") == 0) continue;
    TColumns c = SplitUnixLine(line, fixedCount);
    if (!c.Ok || c.Name.empty()) continue;
    TDirRow r;
    r.Size = c.Size;
    r.Date = c.Date;
    r.Permissions = c.Perms;
    r.Caption = c.Name;
    r.Name = c.Name;
    switch (c.Perms[0]) {
      case 'd':
        if (IsDots(c.Name)) continue;
        r.Kind = dekDirectory;
        r.Image = kDirImageDirectory;
        rows.Directories.push_back(std::move(r));
        break;
      case 'l': {
        size_t arrow = c.Name.find(" -> ");
        if (arrow != std::string::npos) {
          r.Name = c.Name.substr(0, arrow);
          r.Target = c.Name.substr(arrow + 4);
        }
        if (r.Name.empty() || IsDots(r.Name)) continue;
        r.Kind = dekLink;
        r.Image = kDirImageLink;
        rows.Directories.push_back(std::move(r));
        break;
      }
      default:
        if (IsDots(c.Name)) continue;
        r.Kind = dekFile;
        rows.Files.push_back(std::move(r));
        break;
    }
  }
  return rows;
}

TDirRows ParseConverted(const std::vector<std::string>& lines, unsigned char format, const TFtpDate* today) {
  std::vector<std::string> names = lines, sizes, markers, dates, times, links;
  unsigned char flag = format;
  FTP_ConvertLines(names, sizes, markers, dates, times, links, flag, today);
  TDirRows rows;
  rows.Directories.push_back(UpRow());
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i].empty() || IsDots(names[i])) continue;
    TDirRow r;
    r.Caption = r.Name = names[i];
    r.Target = links[i];
    r.Size = sizes[i];
    r.Date = times[i].empty() ? dates[i] : dates[i] + " " + times[i];
    r.Permissions = markers[i];
    if (!markers[i].empty() || !links[i].empty()) {
      r.Kind = links[i].empty() ? dekDirectory : dekLink;
      r.Image = kDirImageDirectory;
      rows.Directories.push_back(std::move(r));
    } else {
      r.Kind = dekFile;
      rows.Files.push_back(std::move(r));
    }
  }
  return rows;
}

}  // namespace

TDirParserKind ConnectionParserKind(int serverType) {
  switch (serverType) {
    case 1:
      return dpApple;
    case 2:
      return dpDos;
    case 3:
      return dpMultiNet;
    case 4:
      return dpAS400;
    case 5:
      return dpOther;
    default:
      return dpUnix;
  }
}

TDirRows ParseListingRows(TDirParserKind kind, const std::vector<std::string>& lines, const TFtpDate* today) {
  switch (kind) {
    case dpApple:
      return ParseColumns(lines, 4);
    case dpDos:
      return ParseConverted(lines, lfDos, today);
    case dpMultiNet:
      return ParseConverted(lines, lfVms, today);
    case dpAS400:
      return ParseConverted(lines, lfAs400, today);
    case dpOther:
      return ParseConverted(lines, lfNone, today);
    case dpUnix:
    default:
      return ParseColumns(lines, 5);
  }
}

#ifndef NEMBRA_PARSER2_CORE

#include <shellapi.h>

#include <memory>
#include <unordered_set>

TDirParser* DirParser = nullptr;

namespace {

// Owns the item data of one list view's parsed rows; freed with the view.
class TDirItemStore : public TComponent {
 public:
  using TComponent::TComponent;
  std::vector<std::unique_ptr<TDirItemData>> Items;
  std::unordered_set<const void*> Made;
  void Clear() {
    Items.clear();
    Made.clear();
  }
  // Data of items this store made.
  bool Owns(const void* p) const { return Made.count(p) != 0; }
};

TDirItemStore* StoreOf(TCustomListView* view) {
  for (int i = 0; i < view->ComponentCount(); ++i)
    if (auto* s = dynamic_cast<TDirItemStore*>(view->Components(i))) return s;
  return new TDirItemStore(view);
}

String ExtensionKey(const String& name) {
  size_t dot = name.rfind('.');
  return dot == String::npos ? String() : LowerCase(name.substr(dot));
}

void AddTo(TCustomListView* view, const std::vector<TDirRow>& rows, TDirParser* parser, bool files) {
  if (!view || rows.empty()) return;
  TDirItemStore* store = StoreOf(view);
  if (view->Items()->Count() == 0) store->Clear();
  store->Items.reserve(store->Items.size() + rows.size());
  if (view->AllocBy() < view->Items()->Count() + static_cast<int>(rows.size()))
    view->SetAllocBy(view->Items()->Count() + static_cast<int>(rows.size()));
  view->Items()->BeginUpdate();
  struct TEnd {
    TListItems* items;
    ~TEnd() { items->EndUpdate(); }
  } end{view->Items()};
  for (const TDirRow& r : rows) {
    auto data = std::make_unique<TDirItemData>();
    data->Kind = r.Kind;
    data->Name = r.Name;
    data->Target = r.Target;
    TListItem* item = view->Items()->Add();
    item->SetCaption(r.Caption);
    item->SetImageIndex(files ? parser->GetFileIconIndex(r.Name) : r.Image);
    if (r.Kind != dekUp) {
      item->SubItems()->Add(r.Size);
      item->SubItems()->Add(r.Date);
      item->SubItems()->Add(r.Permissions);
    }
    item->SetData(data.get());
    store->Made.insert(data.get());
    store->Items.push_back(std::move(data));
  }
}

}  // namespace

TDirParser::TDirParser(TComponent* owner) : TComponent(owner) {
  SetName("DirParser");
  ImageList1 = new TImageList(this);
  ImageList1->SetName("ImageList1");
  ImageList2 = new TImageList(this);
  ImageList2->SetName("ImageList2");
  InitSystemImageLists();
}

void TDirParser::InitSystemImageLists() {
  SHFILEINFOA info{};
  auto small = SHGetFileInfoA("", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SHELLICONSIZE | SHGFI_SMALLICON);
  if (small) {
    ImageList1->SetShareImages(true);
    ImageList1->SetHandle(reinterpret_cast<HIMAGELIST>(small));
  }
  auto large = SHGetFileInfoA("", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SHELLICONSIZE);
  if (large) {
    ImageList2->SetShareImages(true);
    ImageList2->SetHandle(reinterpret_cast<HIMAGELIST>(large));
  }
}

int TDirParser::GetFileIconIndex(const String& fileName) {
  String key = ExtensionKey(fileName);
  auto found = icons_.find(key);
  if (found != icons_.end()) return found->second;
  SHFILEINFOA info{};
  int index = 0;
  if (SHGetFileInfoA(fileName.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                     SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SHELLICONSIZE))
    index = info.iIcon;
  icons_.emplace(key, index);
  return index;
}

void TDirParser::AddRows(const TDirRows& rows, TCustomListView* dirs, TCustomListView* files) {
  AddTo(dirs, rows.Directories, this, false);
  AddTo(files, rows.Files, this, true);
}

const TDirItemData* TDirParser::ItemData(const TListItem* item) {
  if (!item || !item->Data()) return nullptr;
  TCustomListView* view = item->ListView();
  for (int i = 0; i < view->ComponentCount(); ++i)
    if (auto* s = dynamic_cast<TDirItemStore*>(view->Components(i)))
      return s->Owns(item->Data()) ? static_cast<const TDirItemData*>(item->Data()) : nullptr;
  return nullptr;
}

void TDirParser::Parse(TDirParserKind kind, TStrings* lines, TCustomListView* dirs, TCustomListView* files) {
  std::vector<std::string> text;
  if (lines) {
    text.reserve(static_cast<size_t>(lines->Count()));
    for (int i = 0; i < lines->Count(); ++i) text.push_back(lines->Get(i));
  }
  AddRows(ParseListingRows(kind, text), dirs, files);
}

void TDirParser::ParseUnixListing(TStrings* lines, TCustomListView* dirs, TCustomListView* files) {
  Parse(dpUnix, lines, dirs, files);
}
void TDirParser::ParseAppleListing(TStrings* lines, TCustomListView* dirs, TCustomListView* files) {
  Parse(dpApple, lines, dirs, files);
}
void TDirParser::ParseDosListing(TStrings* lines, TCustomListView* dirs, TCustomListView* files) {
  Parse(dpDos, lines, dirs, files);
}
void TDirParser::ParseMultiNetListing(TStrings* lines, TCustomListView* dirs, TCustomListView* files) {
  Parse(dpMultiNet, lines, dirs, files);
}
void TDirParser::ParseAS400Listing(TStrings* lines, TCustomListView* dirs, TCustomListView* files) {
  Parse(dpAS400, lines, dirs, files);
}
void TDirParser::ParseOtherListing(TStrings* lines, TCustomListView* dirs, TCustomListView* files) {
  Parse(dpOther, lines, dirs, files);
}

TDirParser::TParseMethod TDirParser::ConnectionParser(int serverType) {
  switch (ConnectionParserKind(serverType)) {
    case dpApple:
      return &TDirParser::ParseAppleListing;
    case dpDos:
      return &TDirParser::ParseDosListing;
    case dpMultiNet:
      return &TDirParser::ParseMultiNetListing;
    case dpAS400:
      return &TDirParser::ParseAS400Listing;
    case dpOther:
      return &TDirParser::ParseOtherListing;
    case dpUnix:
    default:
      return &TDirParser::ParseUnixListing;
  }
}

#endif
