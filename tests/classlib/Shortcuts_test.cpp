#include <gtest/gtest.h>

#include "classlib/Actnlist.h"
#include "support/Testutil.h"

TEST(ShortCutText, TextsRoundTrip) {
  struct Case {
    const char* text;
    TShortCut value;
  };
  const Case cases[] = {
      {"Ctrl+N", scCtrl | 'N'},
      {"Shift+Ctrl+F10", scShift | scCtrl | VK_F10},
      {"Alt+Enter", scAlt | VK_RETURN},
      {"Del", VK_DELETE},
      {"F1", VK_F1},
      {"F24", VK_F24},
      {"Shift+Ctrl+Alt+Z", scShift | scCtrl | scAlt | 'Z'},
      {"Ctrl+0", scCtrl | '0'},
      {"Num 5", VK_NUMPAD5},
      {"Esc", VK_ESCAPE},
      {"BkSp", VK_BACK},
      {"Shift+PgDn", scShift | VK_NEXT},
      {"Ins", VK_INSERT},
      {"Space", VK_SPACE},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextToShortCut(c.text), c.value) << c.text;
    EXPECT_EQ(ShortCutToText(c.value), c.text) << c.text;
  }
}

TEST(ShortCutText, ParsingIgnoresCaseAndModifierOrder) {
  EXPECT_EQ(TextToShortCut("ctrl+a"), TextToShortCut("Ctrl+A"));
  EXPECT_EQ(TextToShortCut("Ctrl+Shift+F10"), scShift | scCtrl | VK_F10);
  EXPECT_EQ(TextToShortCut("alt+shift+del"), scShift | scAlt | VK_DELETE);
  for (const char* bad : {"", "Ctrl+", "Shift+Alt+", "Nothing", "Ctrl+Nothing", "Ctrl-N", "+N"})
    EXPECT_EQ(TextToShortCut(bad), 0) << bad;
  EXPECT_EQ(ShortCutToText(0), "");
  EXPECT_EQ(ShortCutToText(scCtrl), "");  // modifiers without a key
}

TEST(ShortCutText, EveryNamedKeyHasItsOwnName) {
  // The keyboard layout names some keys alike (left and right Shift, a
  // numeric-pad key and the key sharing its scan code), and one named key
  // lies below Backspace.
  for (int key = 1; key < 256; ++key) {
    auto sc = static_cast<TShortCut>(scCtrl | key);
    String text = ShortCutToText(sc);
    if (text.empty()) continue;
    EXPECT_EQ(TextToShortCut(text), sc) << key << " " << text;
  }
}
