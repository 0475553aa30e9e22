// PIDL routines and containers on hand-made PIDLs; display-name texts.
#include "Shelltest.h"

namespace {

const std::string kNil = "(nil)";

struct TIdListCase {
  const char* name;
  bool nil;
  std::vector<std::string> items;
};

const TIdListCase kIdLists[] = {
    {"nil", true, {}},
    {"empty", false, {}},
    {"one item", false, {"a"}},
    {"three items", false, {"a", "bb", "ccc"}},
};

std::string Show(LPCITEMIDLIST pidl) { return pidl ? BytesOf(pidl) : kNil; }

TEST(IdLists, LengthCountAndTheArrayOfItems) {
  TScopedShellMalloc scoped;
  for (const auto& c : kIdLists) {
    SCOPED_TRACE(c.name);
    std::string bytes = PidlBytes(c.items);
    LPCITEMIDLIST pidl = c.nil ? nullptr : AsPidl(bytes);
    int count = static_cast<int>(c.items.size());
    EXPECT_EQ(IdListLen(pidl), c.nil ? 0u : bytes.size());
    EXPECT_EQ(IdListCount(pidl), count);

    TPTIdListArray array(pidl);
    EXPECT_EQ(array.GetCount(), count);
    EXPECT_EQ(array.GetItem(-1), nullptr);
    EXPECT_EQ(array.GetItem(count == 0 ? 1 : count), nullptr);
    if (c.nil) {
      EXPECT_EQ(array.GetItem(0), nullptr);
    } else if (count == 0) {
      EXPECT_EQ(Show(array.GetItem(0)), PidlBytes({}));
    }
    for (int i = 0; i < count; ++i) EXPECT_EQ(Show(array.GetItem(i)), PidlBytes({c.items[i]})) << i;

    for (int up = 0; up <= count; ++up) {
      std::vector<std::string> kept(c.items.begin(), c.items.end() - up);
      EXPECT_EQ(Show(array.GoUp(up)), PidlBytes(kept)) << up;
    }
    EXPECT_EQ(array.GoUp(count + 1), nullptr);
    EXPECT_EQ(array.GoUp(-1), nullptr);
  }
  EXPECT_EQ(scoped.Malloc.Live(), 0u);
}

TEST(IdLists, ConcatAndCopyWithTheGivenAllocator) {
  TCountingMalloc malloc;
  std::string a = PidlBytes({"a", "bb"}), b = PidlBytes({"ccc"}), empty = PidlBytes({});
  {
    TPidl ab = ConcatIdLists(&malloc, AsPidl(a), AsPidl(b));
    EXPECT_EQ(BytesOf(ab.get()), PidlBytes({"a", "bb", "ccc"}));
    EXPECT_EQ(BytesOf(ConcatIdLists(&malloc, nullptr, AsPidl(b)).get()), b);
    EXPECT_EQ(BytesOf(ConcatIdLists(&malloc, AsPidl(a), nullptr).get()), a);
    EXPECT_EQ(BytesOf(ConcatIdLists(&malloc, AsPidl(empty), AsPidl(empty)).get()), empty);
    EXPECT_EQ(BytesOf(ConcatIdLists(&malloc, nullptr, nullptr).get()), empty);
    TPidl copy = CopyIdList(&malloc, AsPidl(a));
    EXPECT_EQ(BytesOf(copy.get()), a);
    EXPECT_NE(static_cast<const void*>(copy.get()), static_cast<const void*>(a.data()));
    EXPECT_EQ(CopyIdList(&malloc, nullptr), nullptr);
    EXPECT_EQ(malloc.Live(), 2u);  // ab and copy
  }
  EXPECT_EQ(malloc.Live(), 0u);
  malloc.FailAlloc = true;
  EXPECT_EQ(ConcatIdLists(&malloc, AsPidl(a), AsPidl(b)), nullptr);
  EXPECT_EQ(CopyIdList(&malloc, AsPidl(a)), nullptr);
}

TEST(IdLists, ByteOrder) {
  const struct {
    std::vector<std::string> a, b;
    int sign;
  } cases[] = {
      {{"abc"}, {"abc"}, 0},
      {{"abc"}, {"abd"}, -1},
      {{"b"}, {"a"}, 1},
      {{"b"}, {"abc"}, -1},  // the item sizes come first
      {{"a"}, {"a", "b"}, -1},  // a prefix sorts first
      {{"a", "b"}, {"a"}, 1},
      {{}, {"a"}, -1},
  };
  for (const auto& c : cases) {
    std::string a = PidlBytes(c.a), b = PidlBytes(c.b);
    int r = ComparePidlBytes(AsPidl(a), AsPidl(b));
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << a.size() << " " << b.size();
  }
}

// A sorted list of PIDLs the caller keeps (no Malloc).
std::vector<std::string> SortedNames(TPTPidlList& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(BytesOf(list.PIDL(i)).substr(2, list.PIDL(i)->mkid.cb - 2));
  return names;
}

TEST(PidlList, SortedInsertAndDuplicates) {
  std::vector<std::string> keep;
  for (const char* n : {"m", "c", "x", "a", "c"}) keep.push_back(PidlBytes({n}));
  auto pidl = [&](size_t i) { return const_cast<LPITEMIDLIST>(AsPidl(keep[i])); };

  TPTPidlList list;
  list.Add(pidl(0));
  list.Add(pidl(1));
  list.Add(pidl(2));
  list.SetSorted(true);  // sorts at once
  EXPECT_EQ(SortedNames(list), (std::vector<std::string>{"c", "m", "x"}));
  EXPECT_EQ(list.Add(pidl(3)), 0);
  EXPECT_EQ(SortedNames(list), (std::vector<std::string>{"a", "c", "m", "x"}));

  // The default answer to a duplicate is an error.
  try {
    list.Add(pidl(4));
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "TPTPidlList: Duplicate PIDL");
  }
  EXPECT_EQ(list.Count(), 4);
  list.Duplicates = dupIgnore;
  EXPECT_EQ(list.Add(pidl(4)), 1);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.PIDL(1), pidl(1));
  list.Duplicates = dupAccept;
  int at = list.AddObject(pidl(4), reinterpret_cast<TObject*>(&list));
  EXPECT_EQ(at, 1);
  EXPECT_EQ(SortedNames(list), (std::vector<std::string>{"a", "c", "c", "m", "x"}));
  EXPECT_EQ(list.Objects(at), reinterpret_cast<TObject*>(&list));

  // Out of range: nothing.
  EXPECT_EQ(list.PIDL(5), nullptr);
  EXPECT_EQ(list.Objects(-1), nullptr);
  list.Delete(5);
  list.Insert(7, pidl(0));
  EXPECT_EQ(list.Count(), 5);
}

TEST(PidlList, BinaryAndLinearSearchAgree) {
  std::vector<std::string> keep;
  for (int i = 0; i < 40; ++i)
    keep.push_back(PidlBytes({std::string(1 + i % 3, static_cast<char>('a' + (i * 7) % 26))}));
  TPTPidlList list;
  list.Duplicates = dupIgnore;
  list.SetSorted(true);
  for (auto& k : keep) list.Add(const_cast<LPITEMIDLIST>(AsPidl(k)));
  for (int i = 1; i < list.Count(); ++i) EXPECT_LT(ComparePidlBytes(list.PIDL(i - 1), list.PIDL(i)), 0);

  TPTPidlList linear;
  for (int i = list.Count() - 1; i >= 0; --i) linear.Add(list.PIDL(i));
  std::vector<std::string> probes = keep;
  probes.push_back(PidlBytes({"zz"}));
  probes.push_back(PidlBytes({}));
  for (auto& p : probes) {
    int sorted = list.IndexOf(AsPidl(p));
    int unsorted = linear.IndexOf(AsPidl(p));
    EXPECT_EQ(sorted == -1, unsorted == -1);
    EXPECT_EQ(sorted, list.LinearSearch(AsPidl(p)));
    if (sorted >= 0) {
      EXPECT_EQ(linear.PIDL(unsorted), list.PIDL(sorted));
    }
  }
}

// Compares by bytes, reversed when Reverse is set; while comparing it may
// sort another list with its own folder.
class TOrderFolder : public TFakeShellFolder {
 public:
  HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) override {
    if (Inner) Inner->Sort();
    int r = ComparePidlBytes(a, b);
    if (Reverse) r = -r;
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, static_cast<USHORT>(static_cast<short>((r > 0) - (r < 0))));
  }
  bool Reverse = false;
  TPTPidlList* Inner = nullptr;
};

TEST(PidlList, EachListComparesWithItsOwnFolder) {
  std::vector<std::string> keep;
  for (const char* n : {"d", "b", "a", "c"}) keep.push_back(PidlBytes({n}));
  TOrderFolder forward, reverse;
  reverse.Reverse = true;
  {
    TPTPidlList inner, outer;
    inner.SetShellFolder(&reverse);
    outer.SetShellFolder(&forward);
    forward.Inner = &inner;  // a sort inside the other list's comparison
    for (auto& k : keep) {
      inner.Add(const_cast<LPITEMIDLIST>(AsPidl(k)));
      outer.Add(const_cast<LPITEMIDLIST>(AsPidl(k)));
    }
    outer.SetSorted(true);
    EXPECT_EQ(SortedNames(outer), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SortedNames(inner), (std::vector<std::string>{"d", "c", "b", "a"}));
    inner.SetSorted(true);
    EXPECT_EQ(inner.IndexOf(AsPidl(keep[1])), 2);  // "b", searched in reverse order
    EXPECT_EQ(outer.IndexOf(AsPidl(keep[1])), 1);
    forward.Inner = nullptr;
  }
  EXPECT_EQ(forward.Refs(), 0);
  EXPECT_EQ(reverse.Refs(), 0);
}

TEST(PidlList, FreesItsPidlsThroughItsAllocator) {
  TCountingMalloc malloc;
  std::string a = PidlBytes({"a"}), b = PidlBytes({"b"});
  {
    TPTPidlList list;
    list.Malloc = &malloc;
    for (int i = 0; i < 3; ++i) list.Add(CopyIdList(&malloc, AsPidl(i % 2 ? a : b)).release());
    EXPECT_EQ(malloc.Live(), 3u);
    list.Delete(1);
    EXPECT_EQ(malloc.Live(), 2u);
    list.Clear();
    EXPECT_EQ(malloc.Live(), 0u);
    list.Add(CopyIdList(&malloc, AsPidl(a)).release());
  }
  EXPECT_EQ(malloc.Live(), 0u);  // the destructor clears
  // Without an allocator the PIDLs stay the caller's.
  TPidl mine = CopyIdList(&malloc, AsPidl(a));
  {
    TPTPidlList list;
    list.Add(mine.get());
  }
  EXPECT_EQ(malloc.Live(), 1u);
}

TEST(Strret, TheThreeKinds) {
  // Item 1 (bytes 0-12): cb, 01 02, "name", NUL, "tail"; item 2 (13-17): cb,
  // "abc"; the terminator at 18.
  std::string pidl = PidlBytes({std::string("\x01\x02name\0tail", 11), "abc"});
  auto offset = [](UINT at) {
    STRRET s{};
    s.uType = STRRET_OFFSET;
    s.uOffset = at;
    return s;
  };
  EXPECT_EQ(StrretToString(AsPidl(pidl), offset(4)), "name");
  EXPECT_EQ(StrretToString(AsPidl(pidl), offset(9)), "tail");  // no NUL: ends with its item
  EXPECT_EQ(StrretToString(AsPidl(pidl), offset(16)), "bc");   // ends before the terminator
  EXPECT_EQ(StrretToString(AsPidl(pidl), offset(18)), "");     // the terminator holds no text
  EXPECT_EQ(StrretToString(AsPidl(pidl), offset(500)), "");
  EXPECT_EQ(StrretToString(nullptr, offset(4)), "");

  struct {
    STRRET s;
    char after[16];
  } c;
  memset(&c, 'x', sizeof c);  // no NUL in the buffer nor right after it
  c.after[15] = '\0';
  c.s.uType = STRRET_CSTR;
  EXPECT_EQ(StrretToString(nullptr, c.s), std::string(sizeof c.s.cStr, 'x'));
  strcpy(c.s.cStr, "short");
  EXPECT_EQ(StrretToString(nullptr, c.s), "short");

  STRRET w{};
  w.uType = STRRET_WSTR;
  const wchar_t* texts[] = {L"caf\u00e9", L"\u4e2d\u6587", L""};
  const char* want[] = {"caf\xe9", "", ""};  // the code page (1252) has no CJK: refused
  for (int i = 0; i < 3; ++i) {
    size_t bytes = (wcslen(texts[i]) + 1) * sizeof(wchar_t);
    w.pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    memcpy(w.pOleStr, texts[i], bytes);
    EXPECT_EQ(StrretToString(nullptr, w), want[i]) << i;
    StrretFree(w);
  }
  w.pOleStr = nullptr;
  EXPECT_EQ(StrretToString(nullptr, w), "");
  StrretFree(w);
}

TEST(DoubleByteText, EnsureTrailingAndTrim) {
  const struct {
    const char* s;
    UINT cp;
    const char* want;
  } cases[] = {
      {"", 932, ""},
      {"abc", 932, "abc\\"},
      {"abc\\", 932, "abc\\"},
      {"T:\\\x83\x5C", 932, "T:\\\x83\x5C\\"},  // the last byte is a trail byte equal to '\'
      {"T:\\\x83\x5C\\", 932, "T:\\\x83\x5C\\"},
      {"T:\\\x83\x5C", 1252, "T:\\\x83\x5C"},  // no lead bytes in 1252
  };
  for (const auto& c : cases) EXPECT_EQ(EnsureTrailingCharDB(c.s, '\\', c.cp), c.want) << c.s << " " << c.cp;
  EXPECT_EQ(TrimRightDB("a\x83\x40 \t ", 932), "a\x83\x40");
  EXPECT_EQ(TrimRightDB(" \t", 932), "");
}

}  // namespace
