// The listing parsers: rows of every parser from lines as servers write
// them, the rows in the views, and real listings of vsftpd, pure-ftpd and
// proftpd parsed into the views.
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <set>
#include <tuple>

#include "application/connections/Parser2.h"
#include "classlib/Forms.h"
#include "protocols/Ftpscript.h"
#include "shellctl/Upttreelist.h"
#include "support/Peers.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

const TFtpDate kToday{2024, 3, 15};

struct Want {
  TDirEntryKind kind;
  String caption, name, target, size, date, perms;
};

}  // namespace

bool operator==(const TDirRow& r, const Want& w) {
  return std::tie(r.Kind, r.Caption, r.Name, r.Target, r.Size, r.Date, r.Permissions) ==
         std::tie(w.kind, w.caption, w.name, w.target, w.size, w.date, w.perms);
}

std::ostream& operator<<(std::ostream& os, const TDirRow& r) {
  return os << "{" << r.Kind << " [" << r.Caption << "] [" << r.Name << "] [" << r.Target << "] " << r.Size << " | "
            << r.Date << " | " << r.Permissions << "}";
}

namespace {


// The rows after "..": directories and links, then files.
std::vector<TDirRow> RowsOf(TDirParserKind kind, const std::vector<std::string>& lines) {
  TDirRows rows = ParseListingRows(kind, lines, &kToday);
  EXPECT_FALSE(rows.Directories.empty());
  if (rows.Directories.empty()) return {};
  EXPECT_EQ(rows.Directories[0].Kind, dekUp);
  EXPECT_EQ(rows.Directories[0].Caption, "..");
  EXPECT_EQ(rows.Directories[0].Image, kDirImageUp);
  std::vector<TDirRow> all(rows.Directories.begin() + 1, rows.Directories.end());
  for (const TDirRow& r : rows.Directories) EXPECT_NE(r.Kind, dekFile) << r;
  for (const TDirRow& r : rows.Files) {
    EXPECT_EQ(r.Kind, dekFile) << r;
    all.push_back(r);
  }
  return all;
}

struct LineCase {
  std::string line;
  std::vector<Want> want;  // empty: no row
};

void ExpectEachLine(TDirParserKind kind, const std::vector<LineCase>& cases) {
  for (const LineCase& c : cases) {
    std::vector<TDirRow> rows = RowsOf(kind, {c.line});
    ASSERT_EQ(rows.size(), c.want.size()) << "[" << c.line << "]";
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_TRUE(rows[i] == c.want[i]) << "[" << c.line << "] gave " << rows[i];
  }
}

}  // namespace

// ---------------------------------------------------------------- rows

TEST(Parser2, UnixLines) {
  ExpectEachLine(
      dpUnix,
      {
          // The Part's own: directory, two blanks before a one-digit day, a two-word name, a link.
          {"drwxr-xr-x   2 ftp      ftp          512 Jan 12  2003 pub",
           {{dekDirectory, "pub", "pub", "", "512", "Jan 12  2003", "drwxr-xr-x"}}},
          {"-rw-r--r--   1 ftp      ftp         1024 Mar  5 09:15 my file.txt",
           {{dekFile, "my file.txt", "my file.txt", "", "1024", "Mar  5 09:15", "-rw-r--r--"}}},
          {"lrwxrwxrwx   1 root     root           7 Jan 12  2003 lib -> usr/lib",
           {{dekLink, "lib -> usr/lib", "lib", "usr/lib", "7", "Jan 12  2003", "lrwxrwxrwx"}}},
          // Names as listed: outer and double blanks, an arrow in a plain file's name, a CR at the end.
          {"-rw-r--r--   1 ftp      ftp            1 Mar  5  2023  lead.txt",
           {{dekFile, " lead.txt", " lead.txt", "", "1", "Mar  5  2023", "-rw-r--r--"}}},
          {"-rw-r--r--   1 ftp      ftp            1 Mar  5  2023 two  blanks.txt ",
           {{dekFile, "two  blanks.txt ", "two  blanks.txt ", "", "1", "Mar  5  2023", "-rw-r--r--"}}},
          {"-rw-r--r--   1 ftp      ftp            1 Mar  5  2023 a->b.txt",
           {{dekFile, "a->b.txt", "a->b.txt", "", "1", "Mar  5  2023", "-rw-r--r--"}}},
          {"-rw-r--r--   1 ftp      ftp            1 Mar  5  2023 crlf.txt\r",
           {{dekFile, "crlf.txt", "crlf.txt", "", "1", "Mar  5  2023", "-rw-r--r--"}}},
          {"lrwxrwxrwx   1 ftp      ftp            6 Mar  5  2023 dir link -> folder",
           {{dekLink, "dir link -> folder", "dir link", "folder", "6", "Mar  5  2023", "lrwxrwxrwx"}}},
          // Set-gid and sticky directories; the locking mark is a plain file.
          {"drwxr-sr-x   2 ftp      ftp         4096 Mar  5  2023 setgid",
           {{dekDirectory, "setgid", "setgid", "", "4096", "Mar  5  2023", "drwxr-sr-x"}}},
          {"drwxrwxrwt   9 root     root        4096 Mar  5 08:00 tmp",
           {{dekDirectory, "tmp", "tmp", "", "4096", "Mar  5 08:00", "drwxrwxrwt"}}},
          {"-rw-r-lr--   1 ftp      ftp           10 Mar  5  2023 locked.db",
           {{dekFile, "locked.db", "locked.db", "", "10", "Mar  5  2023", "-rw-r-lr--"}}},
          // No group column, a device, a pipe: the name stays whole.
          {"-rw-r--r--   1 ftp        4096 Feb  1  2020 my file.bin",
           {{dekFile, "my file.bin", "my file.bin", "", "4096", "Feb  1  2020", "-rw-r--r--"}}},
          {"crw-rw-rw-   1 root     root       1,   3 Mar  1  2023 null device",
           {{dekFile, "null device", "null device", "", "1,   3", "Mar  1  2023", "crw-rw-rw-"}}},
          {"brw-rw----   1 root     disk       8,0 Mar  1  2023 sda",
           {{dekFile, "sda", "sda", "", "8,0", "Mar  1  2023", "brw-rw----"}}},
          {"prw-r--r--   1 ftp      ftp            0 Mar  5  2023 pipe",
           {{dekFile, "pipe", "pipe", "", "0", "Mar  5  2023", "prw-r--r--"}}},
          // Full month names, any case; an owner named like a month.
          {"-rw-r--r--   1 jan      ftp           77 SEPTEMBER 9 2019 long.txt",
           {{dekFile, "long.txt", "long.txt", "", "77", "SEPTEMBER 9 2019", "-rw-r--r--"}}},
          {"-rw-r--r--   1 may      dec           12 jun  3  2021 Jan 12 2003 notes",
           {{dekFile, "Jan 12 2003 notes", "Jan 12 2003 notes", "", "12", "jun  3  2021", "-rw-r--r--"}}},
          // An ISO date.
          {"-rw-r--r--   1 ftp      ftp            5 2023-04-05 14:07 iso name.txt",
           {{dekFile, "iso name.txt", "iso name.txt", "", "5", "2023-04-05 14:07", "-rw-r--r--"}}},
          // No month name: five columns before a three-word date.
          {"-rw-r--r--   1 ftp      ftp            5 5. Mai 2023 name.txt",
           {{dekFile, "name.txt", "name.txt", "", "5", "5. Mai 2023", "-rw-r--r--"}}},
          // Dot entries, total lines, blank lines, lines without a name: no row.
          {"drwxr-xr-x   2 ftp      ftp          512 Jan 12  2003 .", {}},
          {"drwxr-xr-x   2 ftp      ftp          512 Jan 12  2003 ..", {}},
          {"lrwxrwxrwx   1 ftp      ftp            2 Jan 12  2003 .. -> /", {}},
          {"total 12", {}},
          {"Total 12", {}},
          {"", {}},
          {"   \r", {}},
          {"-rw-r--r--   1 ftp      ftp            5 Jan 12  2003", {}},
          {"-rw-r--r--   1 ftp      ftp            5 Jan 12  2003 ", {}},
          {"drwxr-xr-x", {}},
      });
}

TEST(Parser2, AppleLines) {
  ExpectEachLine(
      dpApple,
      {
          {"drwxr-xr-x   1 owner      512 Jan 12  2003 Docs",
           {{dekDirectory, "Docs", "Docs", "", "512", "Jan 12  2003", "drwxr-xr-x"}}},
          {"-rw-r--r--   1 owner     2048 Jan  2 10:00 My Report.doc",
           {{dekFile, "My Report.doc", "My Report.doc", "", "2048", "Jan  2 10:00", "-rw-r--r--"}}},
          {"-rw-r--r--   1 owner     2048 x y z name", {{dekFile, "name", "name", "", "2048", "x y z", "-rw-r--r--"}}},
          {"total 3", {}},
      });
}

TEST(Parser2, ConverterParsers) {
  // DOS and IIS lines through the DOS and Other parsers.
  for (TDirParserKind kind : {dpDos, dpOther, dpAS400}) {
    ExpectEachLine(kind, {
                             {"03-12-99  01:30PM       <DIR>          pub",
                              {{dekDirectory, "pub", "pub", "", "", "03/12/1999 13:30", "<DIR>"}}},
                             {"07-04-23  09:05 AM              1234 report 2023.pdf",
                              {{dekFile, "report 2023.pdf", "report 2023.pdf", "", "1234", "07/04/2023 09:05", ""}}},
                             {"06-30-23  08:00PM       <DIR>          .", {}},
                             {"06-30-23  08:00PM       <DIR>          ..", {}},
                         });
  }
  // Unix lines through the converter: a link is a directory row with its target.
  ExpectEachLine(dpOther, {
                              {"lrwxrwxrwx   1 root root 7 Jan 12  2003 lib -> usr/lib",
                               {{dekLink, "lib", "lib", "usr/lib", "7", "01/12/2003 00:00", ""}}},
                          });
  // AS/400.
  ExpectEachLine(dpAS400, {
                              {"QSYS           18944 10/23/00 02:10:37 *DIR       QDLS/",
                               {{dekDirectory, "QDLS/", "QDLS/", "", "18944", "10/23/00 02:10:37", "<DIR>"}}},
                              {"QPGMR          *MEM       QGPL/QCLSRC.FILE/MEMBER.MBR",
                               {{dekFile, "QGPL/QCLSRC.FILE/MEMBER.MBR", "QGPL/QCLSRC.FILE/MEMBER.MBR", "", "N/A",
                                 "N/A N/A", ""}}},
                          });
  // VMS (MultiNet): every line by the VMS rules.
  std::vector<TDirRow> rows = RowsOf(dpMultiNet, {
                                                     "DISK$USER:[SMITH]",
                                                     "",
                                                     "PUB.DIR;1          1  26-MAR-2003 13:45:12.50  [SMITH]  (RWE,RWE,RE,RE)",
                                                     "NOTES.TXT;3       12/15  26-MAR-2003 08:00:00.00  [SMITH]  (RWED,RWED,RE,)",
                                                     "SECRET.TXT;1      %RMS-E-PRV, insufficient privilege",
                                                     "Total of 3 files, 13/16 blocks.",
                                                 });
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_TRUE(rows[0] == (Want{dekDirectory, "PUB", "PUB", "", "512", "03/26/2003 13:45", "<DIR>"})) << rows[0];
  EXPECT_TRUE(rows[1] == (Want{dekFile, "NOTES.TXT", "NOTES.TXT", "", "6144", "03/26/2003 08:00", ""})) << rows[1];
  EXPECT_TRUE(rows[2] == (Want{dekFile, "SECRET.TXT", "SECRET.TXT", "", "", "", ""})) << rows[2];
}

TEST(Parser2, EmptyListingsGiveOnlyTheUpRow) {
  for (TDirParserKind kind : {dpUnix, dpApple, dpDos, dpMultiNet, dpAS400, dpOther}) {
    EXPECT_TRUE(RowsOf(kind, {}).empty()) << kind;
    EXPECT_TRUE(RowsOf(kind, {"", "  ", "\r"}).empty()) << kind;
  }
}

TEST(Parser2, ServerTypesOfTheConnectionWindow) {
  const std::pair<int, TDirParserKind> cases[] = {{0, dpUnix},  {1, dpApple}, {2, dpDos},  {3, dpMultiNet},
                                                  {4, dpAS400}, {5, dpOther}, {6, dpUnix}, {-1, dpUnix}};
  for (auto [type, kind] : cases) EXPECT_EQ(ConnectionParserKind(type), kind) << type;
  EXPECT_TRUE(TDirParser::ConnectionParser(3) == &TDirParser::ParseMultiNetListing);
  EXPECT_TRUE(TDirParser::ConnectionParser(99) == &TDirParser::ParseUnixListing);
}

// ---------------------------------------------------------------- the views

namespace {

// Five coloured squares for the directory list (its images 2, 3, 4).
TImageList* MakeDirImages(TComponent* owner) {
  auto* list = new TImageList(owner);
  for (TColor c : {clGray, clGray, clYellow, clBlue, clAqua}) {
    TBitmap bmp;
    bmp.SetSize(16, 16);
    bmp.Canvas()->Brush()->SetColor(c);
    bmp.Canvas()->FillRect(TRect(0, 0, 16, 16));
    list->Add(&bmp, nullptr);
  }
  return list;
}

class TRemoteForm : public TForm {
 public:
  explicit TRemoteForm(TComponent* owner) : TForm(owner) {
    SetCaption("Remote lists");
    SetBounds(30, 30, 1000, 420);
    Images = MakeDirImages(this);
    Dirs = MakeList("Directories", 8, 420);
    Dirs->SetSmallImages(Images);
    Files = MakeList("Name", 436, 540);
    Files->SetSmallImages(DirParser->ImageList1);
    Files->SetLargeImages(DirParser->ImageList2);
    EndLoading();
  }
  TPTListView* MakeList(const char* first, int left, int width) {
    auto* l = new TPTListView(this);
    l->SetParent(this);
    l->SetBounds(left, 8, width, 370);
    l->SetViewStyle(vsReport);
    const std::pair<const char*, int> cols[] = {{first, width - 264}, {"Size", 50}, {"Date", 100}, {"Permissions", 90}};
    for (auto [caption, w] : cols) {
      TListColumn* c = l->Columns()->Add();
      c->SetCaption(caption);
      c->SetWidth(w);
    }
    return l;
  }
  // As the connection window fills them.
  void Fill(TDirParser::TParseMethod parse, TStrings* lines) {
    for (TPTListView* l : {Dirs, Files}) {
      SendMessageA(l->Handle(), WM_SETREDRAW, FALSE, 0);
      l->Items()->Clear();
    }
    (DirParser->*parse)(lines, Dirs, Files);
    for (TPTListView* l : {Dirs, Files}) {
      SendMessageA(l->Handle(), WM_SETREDRAW, TRUE, 0);
      InvalidateRect(l->Handle(), nullptr, TRUE);
    }
  }
  TImageList* Images;
  TPTListView* Dirs;
  TPTListView* Files;
};

struct TParserViews : ::testing::Test {
  static void SetUpTestSuite() {
    if (!DirParser) DirParser = new TDirParser(Application);
  }
  void SetUp() override { form = new TRemoteForm(Application); }
  void TearDown() override { form->Free(); }
  TRemoteForm* form = nullptr;
};

}  // namespace

TEST_F(TParserViews, RowsInTheViews) {
  ASSERT_TRUE(DirParser->ImageList1->HandleAllocated());
  ASSERT_TRUE(DirParser->ImageList2->HandleAllocated());
  EXPECT_TRUE(DirParser->ImageList1->ShareImages());
  TStringList lines;
  for (const char* l : {"total 5", "drwxr-xr-x 2 ftp ftp 512 Jan 12  2003 pub",
                        "lrwxrwxrwx 1 ftp ftp 7 Jan 12  2003 lib -> usr/lib", "-rw-r--r-- 1 ftp ftp 3 Mar  5 09:15 a.txt",
                        "-rw-r--r-- 1 ftp ftp 4 Mar  5 09:15 B.TXT", "-rw-r--r-- 1 ftp ftp 5 Mar  5 09:15 c.html",
                        "-rw-r--r-- 1 ftp ftp 6 Mar  5 09:15 README"})
    lines.Add(l);
  form->Fill(&TDirParser::ParseUnixListing, &lines);
  TListItems* dirs = form->Dirs->Items();
  ASSERT_EQ(dirs->Count(), 3);
  const std::tuple<const char*, int, TDirEntryKind, const char*> wantDirs[] = {
      {"..", 3, dekUp, ".."}, {"pub", 2, dekDirectory, "pub"}, {"lib -> usr/lib", 4, dekLink, "lib"}};
  for (int i = 0; i < 3; ++i) {
    auto [caption, image, kind, name] = wantDirs[i];
    EXPECT_EQ(dirs->Item(i)->Caption(), caption);
    EXPECT_EQ(dirs->Item(i)->ImageIndex(), image) << caption;
    const TDirItemData* d = TDirParser::ItemData(dirs->Item(i));
    ASSERT_TRUE(d) << caption;
    EXPECT_EQ(d->Kind, kind) << caption;
    EXPECT_EQ(d->Name, name) << caption;
  }
  EXPECT_EQ(TDirParser::ItemData(dirs->Item(2))->Target, "usr/lib");
  EXPECT_EQ(dirs->Item(0)->SubItems()->Count(), 0);
  EXPECT_EQ(dirs->Item(1)->SubItems()->Text(), "512\r\nJan 12  2003\r\ndrwxr-xr-x\r\n");

  TListItems* files = form->Files->Items();
  ASSERT_EQ(files->Count(), 4);
  int txt = DirParser->GetFileIconIndex("a.txt");
  EXPECT_GE(txt, 0);
  EXPECT_EQ(DirParser->GetFileIconIndex("B.TXT"), txt);
  EXPECT_EQ(DirParser->GetFileIconIndex("other.txt"), txt);
  EXPECT_EQ(files->Item(0)->ImageIndex(), txt);
  EXPECT_EQ(files->Item(1)->ImageIndex(), txt);
  for (int i = 0; i < files->Count(); ++i) {
    EXPECT_GE(files->Item(i)->ImageIndex(), 0);
    EXPECT_LT(files->Item(i)->ImageIndex(), ImageList_GetImageCount(DirParser->ImageList1->Handle()));
    EXPECT_EQ(TDirParser::ItemData(files->Item(i))->Kind, dekFile);
  }
  EXPECT_EQ(files->Item(3)->Caption(), "README");
  // Data of an item the parser did not add is not taken for its own.
  TListItem* other = form->Files->Items()->Add();
  other->SetData(form);
  EXPECT_EQ(TDirParser::ItemData(other), nullptr);

  // A second parse into emptied views starts over.
  TStringList dos;
  dos.Add("03-12-99  01:30PM       <DIR>          pub");
  form->Fill(&TDirParser::ParseDosListing, &dos);
  ASSERT_EQ(form->Dirs->Items()->Count(), 2);
  EXPECT_EQ(form->Files->Items()->Count(), 0);
  EXPECT_EQ(form->Dirs->Items()->Item(1)->ImageIndex(), 2);
  EXPECT_EQ(TDirParser::ItemData(form->Dirs->Items()->Item(1))->Kind, dekDirectory);
}

// ---------------------------------------------------------------- real servers

namespace {

struct TServer {
  const char* Name;
  TPeerPort Port;
  bool ListsPipes;  // pure-ftpd leaves special files out of its listings
};

void PrintTo(const TServer& s, std::ostream* os) { *os << s.Name; }

// What listing/ holds (tests/peers/ftplib.sh), by kind.
const std::map<String, TDirEntryKind> kListingKinds = {
    {"plain.txt", dekFile},   {"two  blanks.txt", dekFile}, {" lead.txt", dekFile}, {"a->b.txt", dekFile},
    {"pipe", dekFile},        {"folder", dekDirectory},     {"setgid", dekDirectory}, {"filelink", dekLink},
    {"dirlink", dekLink},
};

class TRealListings : public TParserViews, public ::testing::WithParamInterface<TServer> {};

}  // namespace

TEST_P(TRealListings, UnixParserKeepsEveryName) {
  // The names on the server's disk.
  std::set<String> onDisk;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((PeerFolder(GetParam().Name) + "root\\listing\\*").c_str(), &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  do {
    String n = fd.cFileName;
    if (n != "." && n != "..") onDisk.insert(n);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  std::set<String> known;
  for (auto& [n, k] : kListingKinds) known.insert(n);
  ASSERT_EQ(onDisk, known);

  auto* owner = new TComponent(nullptr);
  struct TFree {
    TComponent* c;
    ~TFree() { c->Free(); }
  } freeOwner{owner};
  TFtpClient* ftp = NewPeerFtpClient(owner, PeerPort(GetParam().Port));
  ftp->SetPassive(true);
  TFtpRecorder rec;
  rec.Attach(ftp);
  ftp->ConnectAsync();
  ASSERT_TRUE(rec.WaitDone(1, 30000));
  ASSERT_EQ(rec.Done[0].Error, 0) << rec.Done[0].ErrorMessage;
  String folder = MakeTempFolder("parser2_" + String(GetParam().Name));
  String file = folder + "\\lst.txt";
  ftp->SetLocalFileName(file);
  ftp->SetHostFileName("listing");
  ftp->DirAsync();
  ASSERT_TRUE(rec.WaitDone(2, 30000));
  ASSERT_EQ(rec.Done[1].Error, 0) << rec.Done[1].ErrorMessage;
  ftp->QuitAsync();
  rec.WaitDone(3, 10000);

  TStringList lines;
  lines.LoadFromFile(file);
  form->Fill(&TDirParser::ParseUnixListing, &lines);
  std::map<String, TDirEntryKind> parsed;
  for (TPTListView* l : {form->Dirs, form->Files})
    for (int i = 0; i < l->Items()->Count(); ++i) {
      const TDirItemData* d = TDirParser::ItemData(l->Items()->Item(i));
      ASSERT_TRUE(d);
      if (d->Kind == dekUp) {
        EXPECT_EQ(i, 0);
        EXPECT_EQ(l, form->Dirs);
        continue;
      }
      EXPECT_EQ(l == form->Files, d->Kind == dekFile) << d->Name;
      EXPECT_EQ(parsed.count(d->Name), 0u) << d->Name;
      parsed[d->Name] = d->Kind;
      if (d->Kind == dekLink) {
        EXPECT_EQ(l->Items()->Item(i)->Caption(), d->Name + " -> " + d->Target);
      }
    }
  std::map<String, TDirEntryKind> want = kListingKinds;
  if (!GetParam().ListsPipes) want.erase("pipe");
  EXPECT_EQ(parsed, want) << lines.Text();

  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  PumpFor(100);
  SaveScreenshot(form->Handle(), "remote-lists");
}

INSTANTIATE_TEST_SUITE_P(Servers, TRealListings,
                         ::testing::Values(TServer{"vsftpd", ppVsftpd, true}, TServer{"pureftpd", ppPureftpd, false},
                                           TServer{"proftpd", ppProftpd, true}),
                         [](const auto& info) { return String(info.param.Name); });
