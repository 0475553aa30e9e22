// The folder locator: its "Pidl" record and its change events.
#include "Shelltest.h"

namespace {

// A stream over fixed bytes that fails the test when asked for bytes past
// its end.
class TStrictStream : public TStream {
 public:
  explicit TStrictStream(std::string data) : data_(std::move(data)) {}
  int64_t Read(void* buffer, int64_t count) override {
    if (pos_ + count > static_cast<int64_t>(data_.size()))
      ADD_FAILURE() << "read of " << count << " bytes at " << pos_ << " of " << data_.size();
    int64_t n = std::min<int64_t>(count, static_cast<int64_t>(data_.size()) - pos_);
    if (n <= 0) return 0;
    memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : static_cast<int64_t>(data_.size());
    pos_ = base + offset;
    return pos_;
  }

 private:
  std::string data_;
  int64_t pos_ = 0;
};

std::string Written(TPTShellLocator& locator) {
  TStringStream out;
  locator.WriteData(&out);
  return out.DataString();
}

std::string Record0(uint32_t n, const std::string& bytes) {
  std::string r(1, '\0');
  for (int i = 0; i < 4; ++i) r += static_cast<char>((n >> (8 * i)) & 0xFF);
  return r + bytes;
}

TPidl PidlOf(const String& path) {
  TPidl pidl;
  EXPECT_EQ(ShellGetIdListFromPath(path, pidl), S_OK) << path;
  return pidl;
}

TEST(ShellLocator, GoldenRecords) {
  TPTShellLocator desktop;
  desktop.SetCSIDL(csidlDesktop);
  EXPECT_EQ(Written(desktop), std::string("\x01\x00", 2));
  EXPECT_TRUE(desktop.HasData());

  TPTShellLocator byPidl;  // kind 0, no PIDL: the desktop
  EXPECT_FALSE(byPidl.HasData());
  EXPECT_EQ(Written(byPidl), std::string(5, '\0'));
  TPTShellLocator back;
  back.SetCSIDL(csidlPersonal);
  TStrictStream in(std::string(5, '\0'));
  back.ReadData(&in);
  EXPECT_EQ(back.GetCSIDL(), csidlDesktop);
  EXPECT_EQ(IdListLen(back.GetIdList()), 2u);  // the shell's desktop PIDL

  String dir = MakeShellTestFolder("locator");
  TPTShellLocator folder;
  folder.SetPathName(dir);
  EXPECT_EQ(folder.GetCSIDL(), csidlNone);
  LPCITEMIDLIST pidl = folder.GetIdList();
  ASSERT_TRUE(pidl);
  std::string record = Written(folder);
  EXPECT_EQ(record, Record0(IdListLen(pidl), BytesOf(pidl)));
  TPTShellLocator read;
  TStrictStream stream(record);
  read.ReadData(&stream);
  EXPECT_TRUE(read.IsEqual(&folder));
  EXPECT_EQ(read.GetPathName(), dir);
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(record.size()));
}

TEST(ShellLocator, BrokenRecordsReadAsTheDesktop) {
  std::string item = PidlBytes({"abc"});  // 7 bytes: cb 5, "abc", terminator
  const struct {
    const char* name;
    std::string record;
  } cases[] = {
      {"nothing", ""},
      {"kind only", std::string(1, '\0')},
      {"short length", std::string(3, '\0')},
      {"n = 1", Record0(1, std::string(1, '\0'))},
      {"n past the stream", Record0(40, item)},
      {"n past the stream by one", Record0(8, item)},
      {"chain past n", Record0(6, item.substr(0, 6))},
      {"item size 1", Record0(4, std::string("\x01\x00\x00\x00", 4))},
      {"no terminator", Record0(5, std::string("\x05\x00" "abc", 5))},
      {"kind 2", std::string("\x02\x00", 2)},
      {"kind 1 without its CSIDL", std::string(1, '\x01')},
      {"kind 1, CSIDL 200", std::string("\x01\xC8", 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TPTShellLocator locator;
    locator.SetPathName(ShellTestFolder());
    TStrictStream stream(c.record);
    locator.ReadData(&stream);
    EXPECT_EQ(locator.GetCSIDL(), csidlDesktop);
  }
  // A sound record with bytes to spare keeps only its chain.
  TPTShellLocator locator;
  TStrictStream stream(Record0(9, item + "xy"));
  locator.ReadData(&stream);
  EXPECT_EQ(BytesOf(locator.GetIdList()), item);
}

struct TChangeCounter {
  void Changed(TObject* sender) {
    ++Count;
    Sender = sender;
  }
  int Count = 0;
  TObject* Sender = nullptr;
};

// CompareIDs of this desktop fails; binding goes to the real one.
class TFailingCompareDesktop : public TFakeShellFolder {};

TEST(ShellLocator, ChangeEvents) {
  String dirA = MakeShellTestFolder("change\\a"), dirB = MakeShellTestFolder("change\\b");
  TPidl a = PidlOf(dirA), b = PidlOf(dirB);
  std::string empty = PidlBytes({});

  const struct {
    const char* name;
    std::function<void(TPTShellLocator&)> before;
    std::function<void(TPTShellLocator&)> action;
    int events;
  } cases[] = {
      {"the same PIDL twice", nullptr,
       [&](TPTShellLocator& l) {
         l.SetIdList(a.get());
         l.SetIdList(a.get());
       },
       1},
      {"another PIDL", [&](TPTShellLocator& l) { l.SetIdList(a.get()); },
       [&](TPTShellLocator& l) { l.SetIdList(b.get()); }, 1},
      {"the empty PIDL over the desktop", nullptr, [&](TPTShellLocator& l) { l.SetIdList(AsPidl(empty)); }, 0},
      {"a PIDL over a CSIDL", [&](TPTShellLocator& l) { l.SetCSIDL(csidlPersonal); },
       [&](TPTShellLocator& l) { l.SetIdList(nullptr); }, 1},
      {"the same CSIDL", [&](TPTShellLocator& l) { l.SetCSIDL(csidlPersonal); },
       [&](TPTShellLocator& l) { l.SetCSIDL(csidlPersonal); }, 0},
      {"Clear of a folder", [&](TPTShellLocator& l) { l.SetIdList(a.get()); },
       [&](TPTShellLocator& l) { l.Clear(); }, 1},
      {"Personal assigned over Desktop", [&](TPTShellLocator& l) { l.SetCSIDL(csidlDesktop); },
       [&](TPTShellLocator& l) {
         TPTShellLocator other;
         other.SetCSIDL(csidlPersonal);
         l.Assign(&other);
         EXPECT_EQ(l.GetCSIDL(), csidlPersonal);
       },
       1},
      {"an equal locator assigned", [&](TPTShellLocator& l) { l.SetIdList(a.get()); },
       [&](TPTShellLocator& l) {
         TPTShellLocator other;
         other.SetIdList(a.get());
         l.Assign(&other);
       },
       0},
      {"a folder assigned", nullptr,
       [&](TPTShellLocator& l) {
         TPTShellLocator other;
         other.SetIdList(b.get());
         l.Assign(&other);
         EXPECT_EQ(l.GetPathName(), dirB);
       },
       1},
      {"nil assigned to a folder", [&](TPTShellLocator& l) { l.SetIdList(a.get()); },
       [&](TPTShellLocator& l) { l.Assign(nullptr); }, 1},
      {"nil assigned to a CSIDL", [&](TPTShellLocator& l) { l.SetCSIDL(csidlPersonal); },
       [&](TPTShellLocator& l) { l.Assign(nullptr); }, 1},
      {"nil assigned to the desktop", nullptr, [&](TPTShellLocator& l) { l.Assign(nullptr); }, 0},
      {"an unparsable path over a folder", [&](TPTShellLocator& l) { l.SetIdList(a.get()); },
       [&](TPTShellLocator& l) {
         l.SetPathName(dirA + "\\missing");
         EXPECT_EQ(l.GetIdList(), nullptr);
       },
       1},
      {"a failing comparison", [&](TPTShellLocator& l) { l.SetIdList(a.get()); },
       [&](TPTShellLocator& l) {
         TFailingCompareDesktop failing;
         TScopedDesktop scoped(&failing);
         l.SetIdList(b.get());
       },
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TPTShellLocator locator;
    if (c.before) c.before(locator);
    TChangeCounter counter;
    locator.OnChange = {&counter, &TChangeCounter::Changed};
    c.action(locator);
    EXPECT_EQ(counter.Count, c.events);
    if (counter.Count) {
      EXPECT_EQ(counter.Sender, &locator);
    }
  }
}

TEST(ShellLocator, EqualityAndAssignment) {
  TPidl a = PidlOf(MakeShellTestFolder("equal"));
  TPTShellLocator byPidl, byCsidl, same;
  byPidl.SetIdList(a.get());
  same.SetIdList(a.get());
  byCsidl.SetCSIDL(csidlPersonal);
  EXPECT_TRUE(byPidl.IsEqual(&same));
  EXPECT_TRUE(byPidl.IsEqual(&byPidl));
  EXPECT_FALSE(byPidl.IsEqual(&byCsidl));
  EXPECT_FALSE(byPidl.IsEqual(nullptr));
  // A special folder's PIDL is cached, not copied by Assign.
  EXPECT_TRUE(byCsidl.GetIdList());
  TPTShellLocator copy;
  copy.Assign(&byCsidl);
  EXPECT_EQ(copy.GetCSIDL(), csidlPersonal);
  EXPECT_TRUE(copy.IsEqual(&byCsidl));
  EXPECT_EQ(copy.GetPathName(), byCsidl.GetPathName());

  TStringList notALocator;
  EXPECT_THROW(copy.Assign(&notALocator), EConvertError);
}

}  // namespace
