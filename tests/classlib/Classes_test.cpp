#include <gtest/gtest.h>

#include "classlib/Classes.h"
#include "support/Testutil.h"

TEST(StringList, SortedCaseInsensitiveAndDuplicates) {
  TStringList l;
  l.SetSorted(true);
  for (auto* s : {"pear", "Apple", "banana", "apple", "Cherry"}) l.Add(s);
  // dupIgnore drops "apple" as the same as "Apple".
  ASSERT_EQ(l.Count(), 4);
  EXPECT_EQ(l.CommaText(), "Apple,banana,Cherry,pear");
  EXPECT_EQ(l.IndexOf("BANANA"), 1);
  EXPECT_EQ(l.IndexOf("grape"), -1);
  EXPECT_THROW(l.Insert(0, "x"), EStringListError);
  l.Duplicates = dupError;
  EXPECT_THROW(l.Add("PEAR"), EStringListError);
  l.Duplicates = dupAccept;
  l.Add("PEAR");
  EXPECT_EQ(l.Count(), 5);
}

TEST(StringList, NamesValuesAndObjects) {
  TStringList l;
  l.SetText("Host=example.org\r\nPort=21\nempty=\rnoequals");
  ASSERT_EQ(l.Count(), 4);
  EXPECT_EQ(l.Values("host"), "example.org");
  EXPECT_EQ(l.Values("Port"), "21");
  EXPECT_EQ(l.Values("empty"), "");
  EXPECT_EQ(l.Values("noequals"), "");
  EXPECT_EQ(l.Names(0), "Host");
  EXPECT_EQ(l.Names(3), "");
  l.SetValue("Port", "2121");
  l.SetValue("User", "anon");
  l.SetValue("Host", "");
  EXPECT_EQ(l.Text(), "Port=2121\r\nempty=\r\nnoequals\r\nUser=anon\r\n");
  TObject marker;
  l.AddObject("obj", &marker);
  EXPECT_EQ(l.Objects(4), &marker);
  EXPECT_EQ(l.IndexOfObject(&marker), 4);
  EXPECT_THROW(l.Get(5), EStringListError);
}

TEST(StringList, CommaTextQuoting) {
  struct Case {
    const char* in;
    std::vector<String> items;
    const char* out;
  } cases[] = {
      {"a,b,c", {"a", "b", "c"}, "a,b,c"},
      {"  a , b ", {"a", "b"}, "a,b"},
      {"\"two words\",x", {"two words", "x"}, "\"two words\",x"},
      {"\"say \"\"hi\"\"\"", {"say \"hi\""}, "\"say \"\"hi\"\"\""},
      {",a", {"", "a"}, ",a"},
      {"a b", {"a", "b"}, "a,b"},
      {"\"\"", {""}, "\"\""},
  };
  for (auto& c : cases) {
    TStringList l;
    l.SetCommaText(c.in);
    std::vector<String> got;
    for (int i = 0; i < l.Count(); ++i) got.push_back(l[i]);
    EXPECT_EQ(got, c.items) << c.in;
    EXPECT_EQ(l.CommaText(), c.out) << c.in;
  }
}

TEST(StringList, ChangeEventsRespectUpdates) {
  TStringList l;
  int changes = 0, changing = 0;
  l.OnChange = [&](TObject*) { ++changes; };
  l.OnChanging = [&](TObject*) { ++changing; };
  l.Add("a");
  EXPECT_EQ(changes, 1);
  l.BeginUpdate();
  l.Add("b");
  l.Add("c");
  EXPECT_EQ(changes, 1);
  l.EndUpdate();
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(changing, 2);
}

TEST(StringList, FileRoundTrip) {
  String dir = MakeTempFolder("strings");
  TStringList l;
  l.Add("first");
  l.Add("");
  l.Add("third");
  l.SaveToFile(dir + "\\l.txt");
  EXPECT_EQ(ReadFileBytes(dir + "\\l.txt"), "first\r\n\r\nthird\r\n");
  TStringList m;
  m.LoadFromFile(dir + "\\l.txt");
  EXPECT_TRUE(m.Equals(&l));
  EXPECT_THROW(m.LoadFromFile(dir + "\\missing.txt"), EFOpenError);
}

namespace {
std::vector<String>* gLog;

class TProbe : public TComponent {
 public:
  TProbe(TComponent* owner, const String& name) : TComponent(owner) { SetName(name); }
  ~TProbe() override { gLog->push_back("destroy " + Name() + (IsDestroying() ? " (destroying)" : "")); }
  TComponent* watched = nullptr;

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == watched) {
      gLog->push_back(Name() + " lost " + static_cast<TProbe*>(c)->Name());
      watched = nullptr;
    }
  }
};
}  // namespace

TEST(Component, OwnerFreesOwnedAndNotifies) {
  std::vector<String> log;
  gLog = &log;
  auto* form = new TProbe(nullptr, "Form");
  auto* a = new TProbe(form, "A");
  auto* b = new TProbe(form, "B");
  auto* outside = new TProbe(nullptr, "Outside");
  EXPECT_EQ(form->ComponentCount(), 2);
  EXPECT_EQ(form->FindComponent("b"), b);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_THROW(new TProbe(form, "A"), EComponentError);
  EXPECT_EQ(form->ComponentCount(), 2);
  EXPECT_THROW(a->SetName("1bad"), EComponentError);

  // A sibling hears of a removal through the owner; an outsider through FreeNotification.
  a->watched = b;
  outside->watched = a;
  a->FreeNotification(outside);
  b->Free();
  EXPECT_EQ(form->ComponentCount(), 1);
  form->Free();
  EXPECT_EQ(outside->watched, nullptr);
  std::vector<String> want = {"destroy B (destroying)", "A lost B", "destroy Form (destroying)",
                              "destroy A (destroying)", "Outside lost A"};
  EXPECT_EQ(log, want);
  outside->Free();
}

TEST(Component, FreeNotificationIsUndoneWhenTheListenerGoesFirst) {
  std::vector<String> log;
  gLog = &log;
  auto* x = new TProbe(nullptr, "X");
  auto* y = new TProbe(nullptr, "Y");
  x->FreeNotification(y);
  y->watched = x;
  delete y;  // x must not call back into freed y
  x->Free();
  EXPECT_EQ(log.size(), 2u);
}

TEST(Streams, MemoryAndFile) {
  TMemoryStream m;
  m.WriteBuffer("hello world", 11);
  EXPECT_EQ(m.Size(), 11);
  m.SetPosition(6);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 100), 5);
  EXPECT_STREQ(buf, "world");
  EXPECT_THROW(m.ReadBuffer(buf, 1), EReadError);

  String dir = MakeTempFolder("streams");
  String name = dir + "\\f.bin";
  {
    TFileStream f(name, fmCreate | fmShareDenyWrite);
    f.CopyFrom(&m, 0);
    // A second writer is refused while we deny writing.
    EXPECT_THROW(TFileStream(name, fmOpenWrite | fmShareDenyNone), EFOpenError);
    TFileStream reader(name, fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(reader.Size(), 11);
  }
  {
    TFileStream f(name, fmOpenReadWrite);
    // Positions past 4 GiB are kept whole.
    EXPECT_EQ(f.Seek(5LL << 30, soBeginning), 5LL << 30);
    EXPECT_EQ(f.Position(), 5LL << 30);
    f.SetSize(3);
  }
  EXPECT_EQ(ReadFileBytes(name), "hel");
  // Creating an existing file empties it; a file another holds unshared
  // cannot be created over.
  {
    TFileStream f(name, fmCreate);
    EXPECT_EQ(f.Size(), 0);
  }
  EXPECT_EQ(ReadFileBytes(name), "");
  {
    TFileStream held(name, fmOpenRead | fmShareExclusive);
    EXPECT_THROW(TFileStream(name, fmCreate), EFCreateError);
  }
  EXPECT_THROW(TFileStream(dir + "\\nope\\x", fmCreate), EFCreateError);
}

namespace {
struct TTarget : TObject {
  int a = 0, b = 0;
  void A(TObject*) { ++a; }
  void B(TObject*) { ++b; }
};
struct TDerivedTarget : TTarget {};
}  // namespace

// Events bound apart to the same object and member are the same handler
// (the command bars compare an item's handler with its action's).
TEST(Events, BoundToTheSameObjectAndMemberCompareEqual) {
  TTarget x, y;
  TDerivedTarget d;
  TNotifyEvent xa1{&x, &TTarget::A}, xa2{&x, &TTarget::A}, xb{&x, &TTarget::B}, ya{&y, &TTarget::A};
  TNotifyEvent da1{&d, &TTarget::A}, da2{static_cast<TTarget*>(&d), &TTarget::A};
  auto lambda = [](TObject*) {};
  TNotifyEvent l1 = lambda, l2 = lambda, l1copy = l1, none, none2 = nullptr;
  struct TCase {
    const TNotifyEvent &p, &q;
    bool equal;
  } cases[] = {{xa1, xa2, true}, {xa1, xb, false}, {xa1, ya, false}, {da1, da2, true}, {l1, l1copy, true},
               {l1, l2, false},  {none, none2, true}, {none, xa1, false}, {l1, xa1, false}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].p == cases[i].q, cases[i].equal) << "case " << i;
    EXPECT_EQ(cases[i].q == cases[i].p, cases[i].equal) << "case " << i << " reversed";
  }
  xa2(nullptr);
  EXPECT_EQ(x.a, 1);
  EXPECT_FALSE(none);
}

TEST(Finally, RunsOnReturnAndOnExceptionAndKeepsTheFirstError) {
  std::vector<String> seen;
  auto body = [&](bool fail) {
    TFinally done([&] { seen.push_back("clean-up"); });
    if (fail) throw Exception("body failed");
    seen.push_back("body");
  };
  body(false);
  EXPECT_THROW(body(true), Exception);
  EXPECT_EQ(seen, std::vector<String>({"body", "clean-up", "clean-up"}));
  // A clean-up that raises after a normal return raises from the scope; one
  // that raises while the body's error unwinds leaves that error going on.
  auto failing = [](bool fail) {
    TFinally done([] { throw Exception("clean-up failed"); });
    if (fail) throw Exception("body failed");
  };
  for (bool fail : {false, true}) {
    try {
      failing(fail);
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, fail ? "body failed" : "clean-up failed");
    }
  }
  {
    TFinally dismissed([&] { seen.push_back("dismissed"); });
    dismissed.Dismiss();
  }
  EXPECT_EQ(seen.size(), 3u);
}

TEST(Finally, SetForScopeGivesTheOldValueBackNestedAndOnError) {
  int depth = 0;
  {
    auto outer = SetForScope(depth, depth + 1);
    {
      auto inner = SetForScope(depth, depth + 1);
      EXPECT_EQ(depth, 2);
    }
    EXPECT_EQ(depth, 1);
    try {
      auto failing = SetForScope(depth, 7);
      throw Exception("failed");
    } catch (const Exception&) {
    }
    EXPECT_EQ(depth, 1);
  }
  EXPECT_EQ(depth, 0);
}
