// The keyboard and mouse hook procedures called as the system calls them,
// with the key and button state faked: sequences of keys and clicks and
// what the bars do with them, and input only peeked at passed on.
#include "Menufixture.h"
#include "support/Winwait.h"

namespace {

struct TKey {
  WORD Key;
  bool Up;
  std::vector<int> Held;  // keys down while the hook runs
  bool Handled;
  int Code = HC_ACTION;
};

// Runs the key steps through the keyboard hook; the fake state holds the
// keys of each step.
void RunKeys(TFakeFrame& f, const std::vector<TKey>& keys) {
  for (size_t i = 0; i < keys.size(); ++i) {
    const TKey& k = keys[i];
    f.S.KeysDown.clear();
    for (int held : k.Held) f.S.KeysDown[held] = true;
    LPARAM data = 1 | (k.Up ? static_cast<LPARAM>(0xC0000000) : 0);
    LRESULT r = dxBarKeyboardHookProc(k.Code, k.Key, data);
    EXPECT_EQ(r != 0, k.Handled) << "step " << i << " key " << k.Key << (k.Up ? " up" : " down");
    ProcessQueuedMessages();
  }
  f.S.KeysDown.clear();
}

TdxBarPopupMenuLink* EditLink(TMenuFrame* form) { return form->Bar1->PopupMenuLinks()->Items(0); }

}  // namespace

TEST(BarsKeyboardHook, AltAndF10FocusTheMainMenu) {
  const struct {
    const char* Name;
    std::vector<TKey> Keys;
    bool Focused;
    bool UseF10 = true;
  } cases[] = {
      {"Alt alone", {{VK_MENU, false, {VK_MENU}, false}, {VK_MENU, true, {}, true}}, true},
      {"Alt with another key",
       {{VK_MENU, false, {VK_MENU}, false}, {'Q', false, {VK_MENU, 'Q'}, false}, {'Q', true, {VK_MENU}, false},
        {VK_MENU, true, {}, false}},
       false},
      {"Alt released while a key is down", {{VK_MENU, false, {VK_MENU}, false}, {VK_MENU, true, {VK_SHIFT}, false}},
       false},
      // Only taken from the queue counts: a peeked key-up is passed on.
      {"Alt up peeked, then taken",
       {{VK_MENU, false, {VK_MENU}, false}, {VK_MENU, true, {}, false, HC_NOREMOVE}, {VK_MENU, true, {}, true}},
       true},
      {"a negative code", {{VK_MENU, false, {VK_MENU}, false, -1}, {VK_MENU, true, {}, false, -1}}, false},
      {"F10 alone", {{VK_F10, false, {VK_F10}, false}, {VK_F10, true, {}, true}}, true},
      {"F10 without UseF10ForMenu", {{VK_F10, false, {VK_F10}, false}, {VK_F10, true, {}, false}}, false, false},
      {"Ctrl+F10", {{VK_F10, false, {VK_CONTROL, VK_F10}, false}, {VK_F10, true, {VK_CONTROL}, false}}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeFrame f;
    f.Form->Bar1->SetUseF10ForMenu(c.UseF10);
    RunKeys(f, c.Keys);
    EXPECT_EQ(f.MainMenu()->IsActive(), c.Focused);
    // Focused with its first item selected and no menu open.
    if (c.Focused) EXPECT_EQ(f.MainMenu()->SelectedControl(), f.Title("File"));
    EXPECT_FALSE(f.Shown("File"));
  }
}

TEST(BarsKeyboardHook, ShortcutsAndAccelerators) {
  {
    SCOPED_TRACE("Ctrl+N runs its action once, not when only peeked");
    TFakeFrame f;
    RunKeys(f, {{'N', false, {VK_CONTROL, 'N'}, false, HC_NOREMOVE},
                {'N', false, {VK_CONTROL, 'N'}, true},
                {'N', true, {VK_CONTROL}, false}});
    EXPECT_EQ(f.Form->Executed, std::vector<String>({"ActionNew"}));
    EXPECT_EQ(ActiveBarControl(), nullptr);
  }
  {
    SCOPED_TRACE("a shortcut of an entry of a toolbar");
    TFakeFrame f;
    f.Form->Button("Cut")->SetShortCut(0);
    f.Form->Button("Save")->SetShortCut(ShortCut('S', {ssCtrl}));
    RunKeys(f, {{'S', false, {VK_CONTROL, 'S'}, true}});
    EXPECT_EQ(f.Form->Executed, std::vector<String>({"ActionSave"}));
  }
  {
    SCOPED_TRACE("Alt+F opens File with its first entry selected");
    TFakeFrame f;
    RunKeys(f, {{VK_MENU, false, {VK_MENU}, false}, {'F', false, {VK_MENU, 'F'}, true}});
    ASSERT_TRUE(f.Shown("File"));
    EXPECT_EQ(f.Menu("File")->SelectedControl(), f.Form->MenuControl("File", "ButtonNew"));
    // The Alt key-up now goes to the open menu.
    RunKeys(f, {{'F', true, {VK_MENU}, true}, {VK_MENU, true, {}, true}});
    EXPECT_TRUE(f.Shown("File"));
    EXPECT_TRUE(f.Form->Executed.empty());
  }
  {
    SCOPED_TRACE("a shared accelerator focuses the first and opens nothing");
    TFakeFrame f;
    RunKeys(f, {{VK_MENU, false, {VK_MENU}, false}, {'T', false, {VK_MENU, 'T'}, true}});
    EXPECT_TRUE(f.MainMenu()->IsActive());
    EXPECT_EQ(f.MainMenu()->SelectedControl(), f.Title("Tools"));
    EXPECT_FALSE(f.Shown("Tools"));
    EXPECT_FALSE(f.Shown("Table"));
  }
  {
    SCOPED_TRACE("a letter without accelerator is passed on");
    TFakeFrame f;
    RunKeys(f, {{'Q', false, {VK_MENU, 'Q'}, false}});
    EXPECT_EQ(ActiveBarControl(), nullptr);
  }
}

TEST(BarsKeyboardHook, KeysGoToTheOpenMenus) {
  TFakeFrame f;
  f.Open("File", false);
  ASSERT_TRUE(f.Shown("File"));
  // The input method's key never reaches the bars.
  RunKeys(f, {{VK_PROCESSKEY, false, {VK_PROCESSKEY}, false}});
  // Down moves in the menu; its key-up goes there too.
  RunKeys(f, {{VK_DOWN, false, {VK_DOWN}, true}, {VK_DOWN, true, {}, true}});
  EXPECT_EQ(f.Menu("File")->SelectedControl(), f.Form->MenuControl("File", "ButtonOpen"));
  // Esc closes the menu (the bar stays in menu mode), a second Esc leaves
  // menu mode while the key is held: its key-up is swallowed.
  RunKeys(f, {{VK_ESCAPE, false, {VK_ESCAPE}, true}, {VK_ESCAPE, true, {}, true}});
  EXPECT_FALSE(f.Shown("File"));
  EXPECT_TRUE(f.MainMenu()->IsActive());
  RunKeys(f, {{VK_ESCAPE, false, {VK_ESCAPE}, true}});
  EXPECT_EQ(ActiveBarControl(), nullptr);
  RunKeys(f, {{VK_ESCAPE, true, {}, true}, {VK_ESCAPE, true, {}, false}});
  // A key that closes the menus after it was let go keeps its key-up.
  f.Open("File", false);
  RunKeys(f, {{VK_RETURN, false, {}, true}, {VK_RETURN, true, {}, false}});
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ActionNew"}));
}

TEST(BarsKeyboardHook, ContextMenuKeysAskThePopupMenuLink) {
  TFakeFrame f;
  TEdit* edit = f.Form->Edit1;
  ASSERT_TRUE(WaitUntil([&] { return SetForegroundWindow(f.Form->Handle()), GetForegroundWindow() == f.Form->Handle(); }));
  edit->SetFocus();
  SendMessageA(edit->Handle(), EM_SETSEL, 4, 4);
  ASSERT_EQ(GetFocus(), edit->Handle());
  POINT caret{};
  GetCaretPos(&caret);
  struct TSeen {
    int X, Y;
    bool ByMouse;
  };
  std::vector<TSeen> actions;
  EditLink(f.Form)->OnAction = [&](TdxBarPopupMenuLink*, int& x, int& y, bool byMouse, bool& allow) {
    actions.push_back({x, y, byMouse});
    allow = false;
  };
  // Shift+F10 down, and the Applications key up; refused, so passed on.
  RunKeys(f, {{VK_F10, false, {VK_SHIFT, VK_F10}, false}, {VK_APPS, true, {}, false}});
  // The link is asked to open at the caret for each key, and, for Shift+F10
  // as a shortcut of its menu too, with no point.
  ASSERT_EQ(actions.size(), 3u);
  const TPoint want[] = {TPoint(caret), TPoint(-1, -1), TPoint(caret)};
  for (size_t i = 0; i < actions.size(); ++i) {
    EXPECT_EQ(TPoint(actions[i].X, actions[i].Y), want[i]) << i;
    EXPECT_FALSE(actions[i].ByMouse);
  }
  // The control's own context popup that takes it ends it there.
  actions.clear();
  bool contextPopup = false;
  edit->OnContextPopup = [&](TObject*, TPoint p, bool& handled) {
    contextPopup = p == TPoint(-1, -1);
    handled = true;
  };
  RunKeys(f, {{VK_APPS, true, {}, true}});
  EXPECT_TRUE(contextPopup);
  EXPECT_TRUE(actions.empty());
}

TEST(BarsKeyboardHook, ADirectCallOfAnInBarEditIsTheLastHook) {
  TFakeFrame f;
  f.S.KeysDown[VK_CONTROL] = true;
  EXPECT_TRUE(dxBarKeyboardHookDirectCall('N', 1));
  EXPECT_FALSE(dxBarKeyboardHookDirectCall('Q', 1));
  f.S.KeysDown.clear();
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ActionNew"}));
}

namespace {

LRESULT Mouse(UINT msg, HWND wnd, TPoint screen, int code = HC_ACTION) {
  MOUSEHOOKSTRUCT info{};
  info.pt = screen;
  info.hwnd = wnd;
  info.wHitTestCode = HTCLIENT;
  return dxBarMouseHookProc(code, msg, reinterpret_cast<LPARAM>(&info));
}

}  // namespace

TEST(BarsMouseHook, OutsideClicksCloseTheMenusAndOutsideReleasesAreEaten) {
  TFakeFrame f;
  HWND client = f.Form->ClientHandle();
  TPoint outside(300, 300);
  const struct {
    const char* Name;
    UINT Msg;
    int Code;
    bool Inside;
    bool Handled;
    bool Closes;
  } cases[] = {
      {"left press outside", WM_LBUTTONDOWN, HC_ACTION, false, false, true},
      {"left press outside, peeked", WM_LBUTTONDOWN, HC_NOREMOVE, false, false, false},
      {"non-client right press outside", WM_NCRBUTTONDOWN, HC_ACTION, false, false, true},
      {"middle double click outside", WM_MBUTTONDBLCLK, HC_ACTION, false, false, true},
      {"left press inside", WM_LBUTTONDOWN, HC_ACTION, true, false, false},
      {"right release outside", WM_RBUTTONUP, HC_ACTION, false, true, false},
      {"middle release outside", WM_MBUTTONUP, HC_ACTION, false, true, false},
      {"right release inside", WM_RBUTTONUP, HC_ACTION, true, false, false},
      // A left release closes a menu under another (one with a parent).
      {"left release outside", WM_LBUTTONUP, HC_ACTION, false, false, true},
      {"a move", WM_MOUSEMOVE, HC_ACTION, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TdxBarSubMenuControl* menu = f.Open("File");
    ASSERT_TRUE(f.Shown("File"));
    HWND wnd = c.Inside ? menu->Handle() : client;
    EXPECT_EQ(Mouse(c.Msg, wnd, outside, c.Code) != 0, c.Handled);
    EXPECT_EQ(!f.Shown("File"), c.Closes);
    if (TCustomdxBarControl* active = ActiveBarControl()) active->HideAll();
  }
}

TEST(BarsMouseHook, ARightReleaseOnALinkedControlAsksItsLink) {
  TFakeFrame f;
  TEdit* edit = f.Form->Edit1;
  TPoint at = edit->ClientToScreen(TPoint(20, 5));
  std::vector<TPoint> points;
  std::vector<bool> byMouse;
  EditLink(f.Form)->OnAction = [&](TdxBarPopupMenuLink*, int& x, int& y, bool mouse, bool& allow) {
    points.push_back(TPoint(x, y));
    byMouse.push_back(mouse);
    allow = false;
  };
  EXPECT_EQ(Mouse(WM_RBUTTONUP, edit->Handle(), at), 0);
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0], TPoint(20, 5));
  EXPECT_TRUE(byMouse[0]);
  // Not linked: nothing asked.
  EXPECT_EQ(Mouse(WM_RBUTTONUP, f.Form->ClientHandle(), TPoint(300, 300)), 0);
  EXPECT_EQ(points.size(), 1u);
}
