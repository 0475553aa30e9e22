// The MRU list's rules without windows: adding, moving up, the limit, the
// shortened paths and the removal of a clicked entry.
#include "Barstest.h"
#include "bars/extitems/Dxbarextitems.h"

namespace {

String Joined(TStrings* items) {
  String s;
  for (int i = 0; i < items->Count(); ++i) s += (i ? " " : "") + items->Get(i);
  return s;
}

struct TMRUForm {
  ~TMRUForm() { Form->Free(); }
  TBarsForm* Form = new TBarsForm;
  TdxBarMRUListItem* List = new TdxBarMRUListItem(Form);
};

int ScreenTextWidth(const String& s) {
  HDC dc = GetDC(nullptr);
  SIZE size{};
  GetTextExtentPoint32A(dc, s.c_str(), static_cast<int>(s.size()), &size);
  ReleaseDC(nullptr, dc);
  return size.cx;
}

}  // namespace

TEST(BarsMRUList, NewestFirstCutToTheLimit) {
  struct TCase {
    const char* Name;
    int Max;
    std::vector<const char*> Added;
    const char* Items;
  } cases[] = {
      {"six into five", 5, {"a", "b", "c", "d", "e", "f"}, "f e d c b"},
      {"one added again moves up", 5, {"a", "b", "c", "d", "e", "B"}, "b e d c a"},
      {"no limit", 0, {"a", "b", "c", "d", "e", "f", "g"}, "g f e d c b a"},
      {"a limit below 0 is none", -3, {"a", "b", "c", "d", "e", "f"}, "f e d c b a"},
      {"a limit of one", 1, {"a", "b"}, "b"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMRUForm f;
    EXPECT_EQ(f.List->MaxItemCount(), 5);
    f.List->SetMaxItemCount(c.Max);
    EXPECT_EQ(f.List->MaxItemCount(), std::max(c.Max, 0));
    for (const char* s : c.Added) f.List->AddItem(s);
    EXPECT_EQ(Joined(f.List->Items()), c.Items);
  }
  // Lowering the limit cuts the oldest; objects find their entry too.
  TMRUForm f;
  f.List->SetMaxItemCount(0);
  TObject one, two;
  f.List->AddItem("one", &one);
  f.List->AddItem("two", &two);
  for (const char* s : {"x", "y", "z"}) f.List->AddItem(s);
  f.List->AddItem("renamed", &one);
  EXPECT_EQ(Joined(f.List->Items()), "one z y x two");
  f.List->SetMaxItemCount(3);
  EXPECT_EQ(Joined(f.List->Items()), "one z y");
  f.List->RemoveItem("Z");
  f.List->RemoveItem("", &one);
  f.List->RemoveItem("absent");
  EXPECT_EQ(Joined(f.List->Items()), "y");
}

TEST(BarsMRUList, LongPathsAreShortenedInTheMiddle) {
  String name = "report.txt";
  String longPath = "C:\\Projects";
  while (ScreenTextWidth(longPath) < 400) longPath += "\\folder";
  longPath += "\\" + name;
  String huge = "C:";
  while (huge.size() < 2000) huge += "\\deeper";
  huge += "\\" + name;
  struct TCase {
    const char* Name;
    String Path;
    bool Shortened;
  } cases[] = {
      {"short", "C:\\short\\" + name, false},
      {"wider than 300 pixels", longPath, true},
      {"2,000 characters", huge, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    String shown = dxBarMRUDisplayText(c.Path);
    if (!c.Shortened) {
      EXPECT_EQ(shown, c.Path);
      continue;
    }
    EXPECT_NE(shown.find("..."), String::npos) << shown;
    EXPECT_LT(shown.size(), c.Path.size());
    EXPECT_LE(ScreenTextWidth(shown), 300) << shown;
    EXPECT_EQ(shown.substr(0, 3), "C:\\") << shown;
    // A last part that fits stays whole.
    if (c.Path == longPath) EXPECT_EQ(shown.substr(shown.size() - name.size()), name) << shown;
  }
  // The list shows its entries so, numbered.
  TMRUForm f;
  EXPECT_EQ(f.List->GetDisplayText(longPath), dxBarMRUDisplayText(longPath));
}

TEST(BarsMRUList, AClickedEntryIsRemovedByItsTextAfterTheHandler) {
  struct TCase {
    const char* Name;
    bool Remove;
    std::function<void(TdxBarMRUListItem*)> Handler;
    const char* Items;
  } cases[] = {
      {"kept without RemoveItemOnClick", false, nullptr, "a b c d"},
      {"removed", true, nullptr, "a c d"},
      {"moved up by the handler", true, [](TdxBarMRUListItem* l) { l->AddItem("b"); }, "a c d"},
      {"a new entry added by the handler", true, [](TdxBarMRUListItem* l) { l->AddItem("new"); }, "new a c d"},
      {"the list cleared by the handler", true, [](TdxBarMRUListItem* l) { l->Items()->Clear(); }, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMRUForm f;
    f.List->SetMaxItemCount(0);
    for (const char* s : {"d", "c", "b", "a"}) f.List->AddItem(s);
    f.List->SetRemoveItemOnClick(c.Remove);
    int clickedIndex = -2;
    f.List->OnClick = [&](TObject*) {
      clickedIndex = f.List->ItemIndex();
      if (c.Handler) c.Handler(f.List);
    };
    f.List->SetItemIndex(1);
    f.List->DirectClick();
    EXPECT_EQ(clickedIndex, 1);
    EXPECT_EQ(Joined(f.List->Items()), c.Items);
    EXPECT_EQ(f.List->ItemIndex(), c.Remove ? -1 : 1);
  }
}
